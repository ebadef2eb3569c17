// The control window's part in pausing the video wallpaper: the window events that may hide
// it, coalesced into one look at the windows shortly after the last of them, and the session
// and power notifications, registered with the window and unregistered before it goes.
#include "app/system_pauses.h"

#include <cstring>
#include <iterator>

#include "app/application.h"

namespace {

// The control window the window-event hooks post to; the hook callback has no context pointer.
thread_local HWND coverHookTarget = nullptr;
// One notice at a time waits in the queue: a burst of location changes posts once.
thread_local bool windowsChangePosted = false;

// The top-level window events after which a window may cover, or stop covering, a display.
constexpr DWORD kCoverEventRanges[][2] = {
    {EVENT_SYSTEM_FOREGROUND, EVENT_SYSTEM_FOREGROUND},
    {EVENT_SYSTEM_MOVESIZEEND, EVENT_SYSTEM_MOVESIZEEND},
    {EVENT_SYSTEM_MINIMIZESTART, EVENT_SYSTEM_MINIMIZEEND},
    {EVENT_OBJECT_SHOW, EVENT_OBJECT_HIDE},
    {EVENT_OBJECT_LOCATIONCHANGE, EVENT_OBJECT_LOCATIONCHANGE},
    {EVENT_OBJECT_CLOAKED, EVENT_OBJECT_UNCLOAKED},
};
static_assert(std::size(kCoverEventRanges) == kCoverHookCount);
static_assert(std::size(kFollowedPowerSettings) == kFollowedPowerSettingCount);

void CALLBACK onWindowEvent(HWINEVENTHOOK, DWORD, HWND window, LONG object, LONG child, DWORD, DWORD) noexcept
{
    if (!coverHookTarget || windowsChangePosted || !window || object != OBJID_WINDOW || child != CHILDID_SELF)
        return;
    // Only top-level windows: a child moves with its window, and a caret or a control changes nothing.
    if (GetAncestor(window, GA_PARENT) != GetDesktopWindow())
        return;
    windowsChangePosted = PostMessageW(coverHookTarget, WindowsChangedMessage, 0, 0) != FALSE;
}

std::optional<PauseChange> holds(PauseReasons reasons, bool hold) noexcept
{
    return PauseChange{reasons, hold ? reasons : PauseReasons{0}};
}

} // namespace

std::optional<PauseChange> pauseChangeOfSession(WPARAM event) noexcept
{
    switch (event) {
    case WTS_SESSION_LOCK:
    case WTS_SESSION_UNLOCK:
        return holds(PauseLocked, event == WTS_SESSION_LOCK);
    case WTS_CONSOLE_DISCONNECT:
    case WTS_REMOTE_DISCONNECT:
        return holds(PauseDisconnected, true);
    case WTS_CONSOLE_CONNECT:
    case WTS_REMOTE_CONNECT:
        return holds(PauseDisconnected, false);
    default:
        return std::nullopt;
    }
}

std::optional<PauseChange> pauseChangeOfPower(WPARAM event, LPARAM data) noexcept
{
    switch (event) {
    case PBT_APMSUSPEND:
        return holds(PauseSuspended, true);
    case PBT_APMRESUMEAUTOMATIC:
    case PBT_APMRESUMESUSPEND:
        return holds(PauseSuspended, false);
    case PBT_POWERSETTINGCHANGE:
        break;
    default:
        return std::nullopt;
    }
    const auto* setting = reinterpret_cast<const POWERBROADCAST_SETTING*>(data);
    if (!setting || setting->DataLength < sizeof(DWORD))
        return std::nullopt;
    DWORD value = 0;
    std::memcpy(&value, setting->Data, sizeof value);
    if (setting->PowerSetting == kConsoleDisplayStateSetting) {
        constexpr PauseReasons display = PauseDisplayOff | PauseDisplayDimmed;
        switch (value) {
        case 0:
            return PauseChange{display, PauseDisplayOff};
        case 1:
            return PauseChange{display, 0};
        case 2:
            return PauseChange{display, PauseDisplayDimmed};
        default:
            return std::nullopt;
        }
    }
    if (setting->PowerSetting == kPowerSavingStatusSetting)
        return holds(PauseBatterySaver, value != 0);
    if (setting->PowerSetting == kEnergySaverStatusSetting) {
        constexpr DWORD kEnergySaverOff = 1;
        // An unknown status changes nothing.
        if (value == 0)
            return std::nullopt;
        return holds(PauseEnergySaver, value != kEnergySaverOff);
    }
    return std::nullopt;
}

// A system that refuses a registration (or lacks it) only misses those notifications.
void Application::registerSystemNotifications() noexcept
{
    const HWND window = controlWindow_.get();
    sessionRegistered_ = system_.registerSessionNotification(window);
    for (std::size_t i = 0; i < std::size(kFollowedPowerSettings); ++i)
        powerRegistrations_[i] = system_.registerPowerSetting(window, *kFollowedPowerSettings[i]);
}

void Application::unregisterSystemNotifications() noexcept
{
    for (HPOWERNOTIFY& registration : powerRegistrations_) {
        if (registration)
            system_.unregisterPowerSetting(registration);
        registration = nullptr;
    }
    if (sessionRegistered_)
        system_.unregisterSessionNotification(controlWindow_.get());
    sessionRegistered_ = false;
}

void Application::onSessionChange(WPARAM event) noexcept
{
    if (const std::optional<PauseChange> change = pauseChangeOfSession(event))
        video_->setSystemPause(change->affected, change->holding);
}

void Application::onPowerBroadcast(WPARAM event, LPARAM data) noexcept
{
    if (const std::optional<PauseChange> change = pauseChangeOfPower(event, data))
        video_->setSystemPause(change->affected, change->holding);
}

// The hooks run only while a video is shown: without one, no window event wakes the program.
void Application::followVideoWindows() noexcept
{
    const bool wanted = video_ && video_->showing() && controlWindow_;
    if (wanted == coverHooksInstalled_)
        return;
    coverHooksInstalled_ = wanted;
    if (!wanted) {
        forgetVideoWindows();
        system_.killTimer(controlWindow_.get(), CoverCheckTimer);
        return;
    }
    coverHookTarget = controlWindow_.get();
    windowsChangePosted = false;
    for (std::size_t i = 0; i < coverHooks_.size(); ++i)
        coverHooks_[i].reset(SetWinEventHook(kCoverEventRanges[i][0], kCoverEventRanges[i][1], nullptr, onWindowEvent,
                                             0, 0, WINEVENT_OUTOFCONTEXT));
}

// Each notice restarts the one-shot timer: the windows are looked at once, a short while after
// the last change of a burst.
void Application::onWindowsChanged() noexcept
{
    windowsChangePosted = false;
    if (video_->showing())
        system_.setTimer(controlWindow_.get(), CoverCheckTimer, kCoverCheckDelayMs);
}

void Application::forgetVideoWindows() noexcept
{
    coverHooksInstalled_ = false;
    for (UniqueWinEventHook& hook : coverHooks_)
        hook.reset();
    if (coverHookTarget == controlWindow_.get())
        coverHookTarget = nullptr;
    windowsChangePosted = false;
}
