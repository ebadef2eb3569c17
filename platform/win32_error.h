#pragma once
#include <windows.h>

// The program's one rule for turning a Win32 error into an HRESULT: a value of zero
// or below passes unchanged, any other becomes 0x80070000 with its low 16 bits.
[[nodiscard]] constexpr HRESULT hresultFromWin32(DWORD error) noexcept
{
    const auto value = static_cast<LONG>(error);
    if (value <= 0)
        return static_cast<HRESULT>(value);
    return static_cast<HRESULT>((error & 0x0000FFFF) | 0x80070000);
}

// The last error of the calling thread, converted by the rule above.
[[nodiscard]] inline HRESULT lastErrorResult() noexcept
{
    return hresultFromWin32(GetLastError());
}

// For a call that is known to have failed: a last error of zero still reports a failure, E_FAIL,
// so that the failure never passes for success.
[[nodiscard]] inline HRESULT failureFromLastError() noexcept
{
    const HRESULT hr = lastErrorResult();
    return FAILED(hr) ? hr : E_FAIL;
}
