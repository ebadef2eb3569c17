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

bool isSeparator(wchar_t c) noexcept
{
    return c == L'\\' || c == L'/';
}

// Paths compared as paths: either separator, and runs of them, count as one.
bool samePath(std::wstring_view left, std::wstring_view right) noexcept
{
    std::size_t i = 0;
    std::size_t j = 0;
    while (i < left.size() && j < right.size()) {
        if (isSeparator(left[i]) && isSeparator(right[j])) {
            while (i < left.size() && isSeparator(left[i]))
                ++i;
            while (j < right.size() && isSeparator(right[j]))
                ++j;
            continue;
        }
        if (left[i] != right[j])
            return false;
        ++i;
        ++j;
    }
    return i == left.size() && j == right.size();
}

bool samePaths(const std::vector<std::wstring>& left, const std::vector<std::wstring>& right) noexcept
{
    if (left.size() != right.size())
        return false;
    for (std::size_t i = 0; i < left.size(); ++i) {
        if (!samePath(left[i], right[i]))
            return false;
    }
    return true;
}

bool showsPictures(WallpaperMode mode) noexcept
{
    return mode == ModeStill || mode == ModeSlideshow;
}

} // namespace

HRESULT Application::captureUndoEntry(UndoEntry& entry) noexcept
{
    entry.state = currentState;
    // An undo reopens a playing video where it was.
    if (video.activeVideo)
        entry.state.position = video.activeTime();
    if (!desktopWallpaper)
        return E_POINTER;
    return captureDesktop(*desktopWallpaper.Get(), entry.desktop);
}

std::int32_t Application::commitState(WallpaperState state, bool restoring, VideoWallpaperPtr readyVideo) noexcept
{
    // A video state is committed together with its ready video, which the video tick hands over.
    if ((state.mode == ModeVideo) != (readyVideo != nullptr))
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

    COLORREF background = 0;
    if (readyVideo)
        (void)desktopWallpaper->GetBackgroundColor(&background);
    // The previous video, if any, stops and its windows close.
    video.activate(std::move(readyVideo), background);
    showStateTooltip(state.mode);
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

    // The fit in force needs nothing, unless a video opening over nothing of ours waits for it.
    const bool videoOpening = video.pendingVideo.has_value();
    if (fit == settings.fitMode && (currentState.mode != ModeNone || !videoOpening)) {
        if (video.activeVideo)
            return;
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
    // A playing video is drawn again with the new fit; the shell's position is left alone.
    const HRESULT changed = video.activeVideo
                                ? video.redrawActive(fit, video.videoBackground)
                                : desktopWallpaper->SetPosition(static_cast<DESKTOP_WALLPAPER_POSITION>(fit));
    if (const HRESULT hr = changed; FAILED(hr)) {
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
    // The playing video with only another fit is drawn again with the entry's fit and colour
    // instead of being reopened.
    if (video.activeVideo && undoEntry->state.mode == ModeVideo &&
        samePaths(currentState.files, undoEntry->state.files) && currentState.monitor == undoEntry->state.monitor &&
        undoEntry->state.fit != currentState.fit) {
        const COLORREF colour = undoEntry->desktop.backgroundColor;
        if (const HRESULT hr = video.redrawActive(undoEntry->state.fit, colour); FAILED(hr)) {
            showNotification(text(kVideoFitUndoFailed), hr);
            return;
        }
        cancelPendingVideo();
        video.videoBackground = colour;
        settings.fitMode = currentState.fit = undoEntry->state.fit;
        undoEntry.reset();
        writeSetting(L"Fit", std::to_wstring(settings.fitMode));
        updateTimers();
        return;
    }
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
