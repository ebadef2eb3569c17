#pragma once
#include "platform/system_services.h"

#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

// A SystemServices for in-process tests: time stands still until the test moves it,
// timers are recorded instead of armed (the test delivers WM_TIMER itself), debugger lines,
// notification-area calls and the session and power registrations are kept for inspection.
// The windows above the desktop are the real ones unless the test sets windowsAbove.
class RecordingSystem : public SystemServices {
public:
    struct TimerEvent {
        bool armed; // false: killed
        UINT_PTR id;
        UINT milliseconds; // 0 for a kill
        std::uint64_t at;  // the clock when it happened
    };
    struct IconCall {
        DWORD message;
        NOTIFYICONDATAW data;
    };
    // One session or power registration call, and whether the window was still there.
    struct Registration {
        enum Kind { RegisterSession, UnregisterSession, RegisterPower, UnregisterPower } kind;
        GUID setting; // the power setting; zero for the session
        bool windowAlive;
    };

    std::uint64_t now = 1'000'000;
    std::vector<TimerEvent> timerEvents;
    std::map<UINT_PTR, UINT> armedTimers; // id -> period, for the timers armed now
    std::vector<std::wstring> debugLines;
    std::vector<IconCall> iconCalls;
    BOOL iconCallResult = TRUE; // what notifyIcon answers (FALSE: no taskbar)
    bool highContrast = false;
    std::vector<Registration> registrations;
    bool sessionRegistrationResult = true; // false: the system refuses session notifications
    bool powerRegistrationResult = true;   // false: every power registration is refused
    // What windowsAboveDesktop answers; nullopt: the real top-level windows.
    std::optional<std::vector<RECT>> windowsAbove;
    int windowQueries = 0; // calls of windowsAboveDesktop

    std::uint64_t tickCount() noexcept override { return now; }
    void setTimer(HWND, UINT_PTR id, UINT milliseconds) noexcept override
    {
        timerEvents.push_back({true, id, milliseconds, now});
        armedTimers[id] = milliseconds;
    }
    void killTimer(HWND, UINT_PTR id) noexcept override
    {
        timerEvents.push_back({false, id, 0, now});
        armedTimers.erase(id);
    }
    void debugOutput(const std::wstring& line) noexcept override { debugLines.push_back(line); }
    BOOL notifyIcon(DWORD message, NOTIFYICONDATAW& data) noexcept override
    {
        iconCalls.push_back({message, data});
        return iconCallResult;
    }

    bool highContrastOn() noexcept override { return highContrast; }

    bool registerSessionNotification(HWND window) noexcept override
    {
        registrations.push_back({Registration::RegisterSession, GUID{}, IsWindow(window) != FALSE});
        return sessionRegistrationResult;
    }
    void unregisterSessionNotification(HWND window) noexcept override
    {
        registrations.push_back({Registration::UnregisterSession, GUID{}, IsWindow(window) != FALSE});
    }
    HPOWERNOTIFY registerPowerSetting(HWND window, const GUID& setting) noexcept override
    {
        registrations.push_back({Registration::RegisterPower, setting, IsWindow(window) != FALSE});
        if (!powerRegistrationResult)
            return nullptr;
        powerWindows_.push_back({window, setting});
        // A handle is the registration's number, from 1.
        return reinterpret_cast<HPOWERNOTIFY>(powerWindows_.size());
    }
    void unregisterPowerSetting(HPOWERNOTIFY registration) noexcept override
    {
        const std::size_t number = reinterpret_cast<std::size_t>(registration);
        const bool known = number >= 1 && number <= powerWindows_.size();
        registrations.push_back({Registration::UnregisterPower, known ? powerWindows_[number - 1].second : GUID{},
                                 known && IsWindow(powerWindows_[number - 1].first) != FALSE});
    }
    std::vector<RECT> windowsAboveDesktop(HWND desktopLayer) noexcept override
    {
        ++windowQueries;
        return windowsAbove ? *windowsAbove : SystemServices::windowsAboveDesktop(desktopLayer);
    }

    bool isArmed(UINT_PTR id) const { return armedTimers.count(id) != 0; }
    UINT periodOf(UINT_PTR id) const
    {
        const auto found = armedTimers.find(id);
        return found == armedTimers.end() ? 0 : found->second;
    }

private:
    std::vector<std::pair<HWND, GUID>> powerWindows_;
};
