#pragma once
#include <windows.h>
#include <shellapi.h>

#include <cstdint>
#include <string>

// The few calls whose effects tests must see or steer: the clock, the control window's
// timers, the debugger output, the notification area and the high-contrast mode. The program uses the standard
// instance; a test hands the Application one that records and controls these.
class SystemServices {
public:
    virtual ~SystemServices() = default;

    virtual std::uint64_t tickCount() noexcept { return GetTickCount64(); }
    virtual void setTimer(HWND window, UINT_PTR id, UINT milliseconds) noexcept
    {
        SetTimer(window, id, milliseconds, nullptr);
    }
    virtual void killTimer(HWND window, UINT_PTR id) noexcept { KillTimer(window, id); }
    virtual void debugOutput(const std::wstring& line) noexcept { OutputDebugStringW(line.c_str()); }
    virtual BOOL notifyIcon(DWORD message, NOTIFYICONDATAW& data) noexcept { return Shell_NotifyIconW(message, &data); }
    // The system's high-contrast mode.
    virtual bool highContrastOn() noexcept
    {
        HIGHCONTRASTW contrast{};
        contrast.cbSize = sizeof(contrast);
        return SystemParametersInfoW(SPI_GETHIGHCONTRAST, sizeof(contrast), &contrast, 0) &&
               (contrast.dwFlags & HCF_HIGHCONTRASTON) != 0;
    }

    static SystemServices& standard() noexcept;
};
