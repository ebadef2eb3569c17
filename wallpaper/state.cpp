// The wallpaper state, its one level of undo, and the operations that move between them.
#include "app/application.h"
#include "platform/paths.h"
#include "wallpaper/desktop.h"

#include <string>
#include <string_view>
#include <utility>

namespace {

// A still picture that every targeted display already shows, under the same position and
// with nothing of the shell's own in the way, needs no change and no undo record.
bool alreadyShown(const WallpaperState& state, WallpaperMode currentMode, const DesktopSnapshot& desktop) noexcept
{
    if (state.mode != ModeStill || (currentMode != ModeNone && currentMode != ModeStill))
        return false;
    if (!desktop.enabled || desktop.slideshowItems || desktop.position != state.fit)
        return false;
    bool anyTargeted = false;
    for (const DisplayWallpaper& display : desktop.displays) {
        if (!state.monitor.empty() && display.monitorId != state.monitor)
            continue;
        anyTargeted = true;
        if (!equalsIgnoringAsciiCase(display.wallpaper, state.files.front()))
            return false;
    }
    return anyTargeted;
}

bool showsPictures(WallpaperMode mode) noexcept
{
    return mode == ModeStill || mode == ModeSlideshow;
}

} // namespace

HRESULT Application::captureUndoEntry(UndoEntry& entry) noexcept
{
    entry.state = currentState;
    // With video playback, a playing video's current time goes into entry.state.position here,
    // so that an undo reopens the video where it was.
    if (!desktopWallpaper)
        return E_POINTER;
    return captureDesktop(*desktopWallpaper.Get(), entry.desktop);
}

std::int32_t Application::commitState(WallpaperState state, bool restoring) noexcept
{
    // A video state is committed together with its ready video, which the video tick hands
    // over; video playback is not built yet, so a video state never has one.
    if (state.mode == ModeVideo)
        return E_INVALIDARG;
    // Guards against states that would index past their files or restore from nothing.
    if (showsPictures(state.mode) && state.index >= state.files.size())
        return E_INVALIDARG;
    if (restoring && !undoEntry)
        return E_UNEXPECTED;

    UndoEntry before;
    if (const HRESULT hr = captureUndoEntry(before); FAILED(hr))
        return hr;

    // A display that could not be captured could not be put back either: a change that would
    // touch one is refused before anything changes.
    if (const HRESULT hr = restoring                   ? unreadableTouchedByRestore(before.desktop, undoEntry->desktop)
                           : showsPictures(state.mode) ? unreadableTouchedBy(before.desktop, state.monitor)
                                                       : S_OK;
        FAILED(hr))
        return hr;

    HRESULT result = S_OK;
    if (restoring) {
        result = restoreDesktop(*desktopWallpaper.Get(), undoEntry->desktop);
    } else if (showsPictures(state.mode)) {
        if (alreadyShown(state, currentState.mode, before.desktop))
            return S_FALSE;
        result = applyStillImage(*desktopWallpaper.Get(), state.monitor, state.files[state.index], state.fit);
    }
    if (FAILED(result)) {
        // Put back whatever the failed change touched; the failure itself is what gets reported.
        (void)restoreDesktop(*desktopWallpaper.Get(), before.desktop);
        return result;
    }

    if (restoring) {
        // An undo brings back the settings of the state it restores; a state of nothing of
        // ours takes the position the shell had.
        settings.fitMode = state.mode == ModeNone ? undoEntry->desktop.position : state.fit;
        writeSetting(L"Fit", std::to_wstring(settings.fitMode));
        if (state.mode == ModeSlideshow) {
            settings.slideshowInterval = state.interval;
            writeSetting(L"Interval", std::to_wstring(settings.slideshowInterval));
        }
        undoEntry.reset();
    } else {
        undoEntry = std::move(before);
    }

    // With video playback: for a video state, read the background colour into videoBackground
    // and show the video's windows here.
    showStateTooltip(state.mode);
    // With video playback: the committed video becomes activeVideo here (destroying the previous
    // one), and videoCovered and nextCoverCheck are reset.
    currentState = std::move(state);
    slideshowStopped = false;
    // A new or restored slideshow starts a full interval from now.
    updateTimers(true);
    return S_OK;
}

void Application::switchToState(WallpaperState state, bool restoring) noexcept
{
    cancelPendingVideo();
    const bool isVideo = state.mode == ModeVideo;
    const HRESULT result = isVideo ? openVideo(state, restoring) : commitState(std::move(state), restoring);
    updateTimers();
    if (FAILED(result))
        showNotification(text(isVideo ? kVideoOpenFailed : kWallpaperChangeFailed), result);
}

void Application::setFit(FitMode fit) noexcept
{
    // Span covers every display and never combines with one chosen display.
    if (fit == FitSpan && (!settings.targetMonitor.empty() || !currentState.monitor.empty()))
        return;

    // With video playback: a pending open counts here, and a playing video with this fit
    // already in force needs nothing either.
    const bool videoOpening = false;
    if (fit == settings.fitMode && (currentState.mode != ModeNone || !videoOpening)) {
        DESKTOP_WALLPAPER_POSITION position = DWPOS_FILL;
        if (desktopWallpaper && SUCCEEDED(desktopWallpaper->GetPosition(&position)) && position == fit)
            return;
    }

    cancelPendingVideo();
    updateTimers();

    UndoEntry before;
    if (const HRESULT hr = captureUndoEntry(before); FAILED(hr)) {
        showNotification(text(kFitChangeFailed), hr);
        return;
    }
    // With video playback: a playing video is redrawn with the new fit instead, and the
    // shell's position is left alone.
    if (const HRESULT hr = desktopWallpaper->SetPosition(static_cast<DESKTOP_WALLPAPER_POSITION>(fit)); FAILED(hr)) {
        showNotification(text(kFitChangeFailed), hr);
        return;
    }
    settings.fitMode = fit;
    currentState.fit = fit;
    undoEntry = std::move(before);
    writeSetting(L"Fit", std::to_wstring(fit));
}

void Application::undoLastChange() noexcept
{
    if (!undoEntry)
        return;
    // With video playback: when the entry is the playing video with only another fit (same
    // files compared as paths, same display), the video is redrawn with the entry's fit and
    // background colour instead of being reopened, and the entry is consumed.
    switchToState(undoEntry->state, true);
}

void Application::restoreDefaultWallpaper() noexcept
{
    const auto defaultUsable = [this] {
        return !settings.defaultWallpaperPath.empty() &&
               GetFileAttributesW(settings.defaultWallpaperPath.c_str()) != INVALID_FILE_ATTRIBUTES;
    };
    if (!defaultUsable()) {
        chooseDefaultWallpaper();
        if (!defaultUsable())
            return;
    }
    // The default always goes to every display, whatever display is chosen for the next change.
    WallpaperState state;
    state.mode = ModeStill;
    state.files.push_back(settings.defaultWallpaperPath);
    state.fit = settings.fitMode;
    switchToState(std::move(state), false);
}
