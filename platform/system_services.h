#pragma once
#include <windows.h>
#include <shellapi.h>

#include <cstdint>
#include <string>
#include <vector>

// The few calls whose effects tests must see or steer: the clock, the control window's
// timers, the debugger output, the notification area, the high-contrast mode, the session and
// power notifications and the windows above the desktop. The program uses the standard
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

    // WM_WTSSESSION_CHANGE for this session, to window. False when the system refuses it.
    virtual bool registerSessionNotification(HWND window) noexcept;
    virtual void unregisterSessionNotification(HWND window) noexcept;
    // WM_POWERBROADCAST with PBT_POWERSETTINGCHANGE for one power setting, to window; null when refused.
    virtual HPOWERNOTIFY registerPowerSetting(HWND window, const GUID& setting) noexcept
    {
        return RegisterPowerSettingNotification(window, &setting, DEVICE_NOTIFY_WINDOW_HANDLE);
    }
    virtual void unregisterPowerSetting(HPOWERNOTIFY registration) noexcept
    {
        UnregisterPowerSettingNotification(registration);
    }
    // The screen rectangles of the windows above the desktop layer that desktopLayer belongs to
    // (platform/top_windows.h).
    virtual std::vector<RECT> windowsAboveDesktop(HWND desktopLayer) noexcept;

    static SystemServices& standard() noexcept;
};
