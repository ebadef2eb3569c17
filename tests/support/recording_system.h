#pragma once
#include "platform/system_services.h"

#include <map>
#include <string>
#include <vector>

// A SystemServices for in-process tests: time stands still until the test moves it,
// timers are recorded instead of armed (the test delivers WM_TIMER itself), debugger lines
// and notification-area calls are kept for inspection.
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

    std::uint64_t now = 1'000'000;
    std::vector<TimerEvent> timerEvents;
    std::map<UINT_PTR, UINT> armedTimers; // id -> period, for the timers armed now
    std::vector<std::wstring> debugLines;
    std::vector<IconCall> iconCalls;
    BOOL iconCallResult = TRUE; // what notifyIcon answers (FALSE: no taskbar)
    bool highContrast = false;

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

    bool isArmed(UINT_PTR id) const { return armedTimers.count(id) != 0; }
    UINT periodOf(UINT_PTR id) const
    {
        const auto found = armedTimers.find(id);
        return found == armedTimers.end() ? 0 : found->second;
    }
};
