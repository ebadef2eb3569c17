#pragma once
// Registers the development desktop's desktop-wallpaper object as the per-user server of
// CLSID_DesktopWallpaper, and removes it again. Used by the DLL's DllRegisterServer (so
// `regsvr32 peltorine_devdesktop_wallpaper.dll` works) and directly by tests.
//
// Windows looks for per-user servers under HKCU\Software\Classes\CLSID. Wine 8's COM reads
// only the machine's classes (HKLM\Software\Classes), so under Wine the same keys are written
// there too; Wine's prefixes let any user write HKLM.
#include "platform/win32_error.h"

#include <windows.h>

#include <string>

inline constexpr wchar_t kDesktopWallpaperClassKey[] =
    L"Software\\Classes\\CLSID\\{C2CF3110-460E-4FC1-B9D0-8A1C0C9CC4BD}";

[[nodiscard]] inline bool runningOnWine() noexcept
{
    const HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
    return ntdll && GetProcAddress(ntdll, "wine_get_version");
}

namespace devdesktop_registration {

[[nodiscard]] inline HRESULT setString(HKEY key, const wchar_t* name, const std::wstring& value) noexcept
{
    const auto bytes = static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t));
    return hresultFromWin32(
        static_cast<DWORD>(RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()), bytes)));
}

[[nodiscard]] inline HRESULT writeServerKeys(HKEY root, const std::wstring& dllPath) noexcept
{
    const std::wstring serverKey = std::wstring(kDesktopWallpaperClassKey) + L"\\InprocServer32";
    HKEY classKey = nullptr;
    if (const LSTATUS status =
            RegCreateKeyExW(root, kDesktopWallpaperClassKey, 0, nullptr, 0, KEY_WRITE, nullptr, &classKey, nullptr);
        status != ERROR_SUCCESS)
        return hresultFromWin32(static_cast<DWORD>(status));
    HRESULT hr = setString(classKey, nullptr, L"Peltorine development desktop wallpaper");
    RegCloseKey(classKey);
    if (FAILED(hr))
        return hr;
    HKEY server = nullptr;
    if (const LSTATUS status =
            RegCreateKeyExW(root, serverKey.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &server, nullptr);
        status != ERROR_SUCCESS)
        return hresultFromWin32(static_cast<DWORD>(status));
    hr = setString(server, nullptr, dllPath);
    if (SUCCEEDED(hr))
        hr = setString(server, L"ThreadingModel", L"Both");
    RegCloseKey(server);
    return hr;
}

[[nodiscard]] inline HRESULT deleteServerKeys(HKEY root) noexcept
{
    const LSTATUS status = RegDeleteTreeW(root, kDesktopWallpaperClassKey);
    if (status == ERROR_SUCCESS || status == ERROR_FILE_NOT_FOUND)
        return S_OK;
    return hresultFromWin32(static_cast<DWORD>(status));
}

} // namespace devdesktop_registration

// dllPath: the full Windows path of peltorine_devdesktop_wallpaper.dll.
[[nodiscard]] inline HRESULT registerDevDesktopWallpaper(const std::wstring& dllPath) noexcept
{
    try {
        if (const HRESULT hr = devdesktop_registration::writeServerKeys(HKEY_CURRENT_USER, dllPath); FAILED(hr))
            return hr;
        if (runningOnWine())
            return devdesktop_registration::writeServerKeys(HKEY_LOCAL_MACHINE, dllPath);
        return S_OK;
    } catch (...) {
        return E_OUTOFMEMORY;
    }
}

// Removes what registerDevDesktopWallpaper wrote; S_OK also when nothing was registered.
[[nodiscard]] inline HRESULT unregisterDevDesktopWallpaper() noexcept
{
    const HRESULT user = devdesktop_registration::deleteServerKeys(HKEY_CURRENT_USER);
    const HRESULT machine = runningOnWine() ? devdesktop_registration::deleteServerKeys(HKEY_LOCAL_MACHINE) : S_OK;
    return FAILED(user) ? user : machine;
}
