#include "app/application.h"
#include "platform/win32_error.h"
#include "tray/banner.h"

#include <commctrl.h>
#include <windowsx.h>

#include <utility>

namespace {

// The control window the foreground hook posts to; the hook callback has no context pointer.
thread_local HWND hookTargetWindow = nullptr;

// Icon events of the version-4 protocol arrive in the low word of LPARAM.
constexpr UINT kIconContextMenu = WM_CONTEXTMENU;
constexpr UINT kIconKeySelect = NIN_KEYSELECT;
constexpr UINT kIconDoubleClick = WM_LBUTTONDBLCLK;

constexpr ULONG_PTR kBannerItemId = 11;

void CALLBACK onForegroundEvent(HWINEVENTHOOK, DWORD, HWND, LONG, LONG, DWORD, DWORD) noexcept
{
    if (hookTargetWindow)
        PostMessageW(hookTargetWindow, ForegroundChangedMessage, 0, 0);
}

} // namespace

HRESULT Application::initializeWindows() noexcept
{
    if (!engine_ || !video_)
        return E_UNEXPECTED;
    INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_WIN95_CLASSES};
    InitCommonControlsEx(&controls);

    if (const HRESULT hr = controlClass_.registerClass(instance_, {kControlWindowClass, 0, nullptr}); FAILED(hr))
        return hr;

    // A real top-level window, never shown: message-only windows miss the broadcasts.
    controlWindow_.reset(CreateWindowExW(WS_EX_TOOLWINDOW, kControlWindowClass, kProductName, WS_POPUP, 0, 0, 0, 0,
                                         nullptr, nullptr, instance_, this));
    if (!controlWindow_)
        return failureFromLastError();

    registerSystemNotifications();

    fileCheckWindow_ = controlWindow_.get();
    hookTargetWindow = controlWindow_.get();
    foregroundHook_.reset(SetWinEventHook(EVENT_SYSTEM_FOREGROUND, EVENT_SYSTEM_FOREGROUND, nullptr, onForegroundEvent,
                                          0, 0, WINEVENT_OUTOFCONTEXT | WINEVENT_SKIPOWNPROCESS));

    trayIcon_.add(controlWindow_.get(), TrayCallbackMessage);
    migrateStartupShortcutAtStart();
    refreshHighContrast();

    relayoutDeadline_ = system_.tickCount() + kRelayoutRetryMs;
    // The shell may still be starting: its desktop missing, or made but not yet shown. Until the
    // widget is on screen, the relayout timer tries again for a while.
    createWidget();
    if (!widget_.shown())
        system_.setTimer(controlWindow_.get(), RelayoutTimer, kRelayoutDelayMs);
    return S_OK;
}

LRESULT Application::handleMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) noexcept
{
    if (trayIcon_.handleTaskbarCreated(message)) {
        triggerRelayout();
        return 0;
    }

    switch (message) {
    case WM_CLOSE:
        PostQuitMessage(0);
        return 0;
    case WM_DESTROY:
        unregisterSystemNotifications();
        forgetVideoWindows();
        break;
    case WM_NCDESTROY:
        if (hookTargetWindow == window)
            hookTargetWindow = nullptr;
        break;
    case WM_WTSSESSION_CHANGE:
        onSessionChange(wParam);
        return 0;
    case WM_POWERBROADCAST:
        onPowerBroadcast(wParam, lParam);
        return TRUE;
    case WM_SETTINGCHANGE:
        refreshHighContrast();
        if (widget_.dragMode() == DragIdle)
            layoutWidget();
        return 0;
    case WM_DRAWITEM: {
        const auto* item = reinterpret_cast<const DRAWITEMSTRUCT*>(lParam);
        if (item && item->CtlType == ODT_MENU && item->itemID == kBannerItemId && item->itemData != 0) {
            drawBannerItem(*reinterpret_cast<const BannerImage*>(item->itemData), *item);
            return TRUE;
        }
        break;
    }
    case WM_MEASUREITEM: {
        auto* item = reinterpret_cast<MEASUREITEMSTRUCT*>(lParam);
        if (item && item->CtlType == ODT_MENU && item->itemID == kBannerItemId && item->itemData != 0) {
            measureBannerItem(*reinterpret_cast<const BannerImage*>(item->itemData), *item);
            return TRUE;
        }
        break;
    }
    case WM_DISPLAYCHANGE:
    case WM_THEMECHANGED:
        triggerRelayout();
        return 0;
    case WM_TIMER:
        onTimer(wParam);
        settleCommand();
        return 0;
    case WM_COPYDATA:
        return onCommandMessage(reinterpret_cast<HWND>(wParam), reinterpret_cast<const COPYDATASTRUCT*>(lParam));
    case TrayCallbackMessage:
        onTrayEvent(LOWORD(lParam), wParam);
        return 0;
    case FilesDroppedMessage:
        takeDroppedFiles();
        return 0;
    case FileCheckFinishedMessage:
        engine_->takeFileCheck();
        settleCommand();
        return 0;
    case ForegroundChangedMessage:
        widget_.followForeground();
        return 0;
    case WindowsChangedMessage:
        onWindowsChanged();
        return 0;
    default:
        break;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

void Application::takeDroppedFiles() noexcept
{
    if (!pendingDroppedFiles_)
        return;
    std::vector<std::wstring> files = std::move(*pendingDroppedFiles_);
    pendingDroppedFiles_.reset();
    applyFileList(std::move(files));
}

void Application::onTimer(UINT_PTR id) noexcept
{
    switch (id) {
    case SlideshowTimer:
        engine_->advanceSlideshow();
        break;
    case VideoTimer:
        video_->tick();
        break;
    case RelayoutTimer:
        system_.killTimer(controlWindow_.get(), RelayoutTimer);
        if (std::exchange(relayoutDue_, false))
            relayoutAfterDisplayChange();
        else
            relayoutWhatIsMissing();
        if (shellWindowsMissing() && system_.tickCount() < relayoutDeadline_)
            system_.setTimer(controlWindow_.get(), RelayoutTimer, kRelayoutDelayMs);
        break;
    case ErrorFlashTimer:
        system_.killTimer(controlWindow_.get(), ErrorFlashTimer);
        widget_.setErrorFlash(false);
        break;
    case CoverCheckTimer:
        system_.killTimer(controlWindow_.get(), CoverCheckTimer);
        video_->updateCover();
        break;
    default:
        break;
    }
}

// A burst of display, theme or taskbar events ends in one relayout 400 ms after the last. While
// the shell's windows are missing (Explorer restarting), what needs them is tried again every
// 400 ms until kRelayoutRetryMs after the last event.
void Application::triggerRelayout() noexcept
{
    relayoutDue_ = true;
    relayoutDeadline_ = system_.tickCount() + kRelayoutRetryMs;
    system_.setTimer(controlWindow_.get(), RelayoutTimer, kRelayoutDelayMs);
}

bool Application::shellWindowsMissing() const noexcept
{
    return !widget_.shown() || video_->awaitingHost();
}

// A retry touches only what the shell's windows are still missing for: a video playing in its
// windows is not built again every 400 ms while the widget waits for the desktop.
void Application::relayoutWhatIsMissing() noexcept
{
    if (!widget_.shown()) {
        widget_.cancelWidgetGesture();
        createWidget();
        layoutWidget();
    }
    if (video_->awaitingHost())
        video_->relayout();
}

void Application::relayoutAfterDisplayChange() noexcept
{
    widget_.cancelWidgetGesture();
    createWidget();
    layoutWidget();
    video_->relayout();
}

void Application::refreshHighContrast() noexcept
{
    highContrast_ = system_.highContrastOn();
    widget_.setHighContrast(highContrast_);
}

// The previous version's Startup shortcut is replaced at every start; only a real failure is told.
void Application::migrateStartupShortcutAtStart() noexcept
{
    std::wstring path;
    bool exists = false;
    if (FAILED(startup_.checkStartupShortcut(path, exists)))
        return;
    if (const HRESULT hr = startup_.migrateStartupShortcut(path, exists); FAILED(hr))
        showNotification(text(kStartupChangeFailed), hr);
}

// Icon events of the version-4 protocol carry the anchor in WPARAM: the click point, or for
// the keyboard (NIN_KEYSELECT, the context-menu key) the icon's place.
void Application::onTrayEvent(UINT event, WPARAM anchor) noexcept
{
    switch (event) {
    case kIconContextMenu:
    case kIconKeySelect:
        showContextMenu(POINT{GET_X_LPARAM(anchor), GET_Y_LPARAM(anchor)});
        break;
    case kIconDoubleClick:
        restoreDefaultWallpaper();
        break;
    default:
        break;
    }
}
