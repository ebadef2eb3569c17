#include "wallpaper/wallpaper_engine.h"

#include "common/picture_files.h"
#include "settings/stored_pictures.h"
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

WallpaperEngine::WallpaperEngine(IDesktopWallpaper& desktop, IWICImagingFactory& imaging, Settings& settings,
                                 WallpaperEvents& events, FileCheckRunner* fileChecks,
                                 std::function<void()> fileCheckFinished) noexcept
    : desktop_(desktop),
      imaging_(imaging),
      settings_(settings),
      events_(events),
      checker_(fileChecks ? *fileChecks : inlineChecks_, std::move(fileCheckFinished))
{
}

UINT WallpaperEngine::slideshowPeriod() const noexcept
{
    if (currentState_.mode != ModeSlideshow || slideshowStopped_)
        return 0;
    return static_cast<UINT>(currentState_.interval) * 1000u;
}

std::wstring WallpaperEngine::displayForNextChange() const
{
    return ::displayForNextChange(settings_.fitMode(), settings_.targetMonitor());
}

bool WallpaperEngine::defaultUsable() const noexcept
{
    const std::wstring& path = settings_.defaultWallpaperPath();
    return !path.empty() && GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

HRESULT WallpaperEngine::captureUndoEntry(UndoEntry& entry) noexcept
{
    entry.state = currentState_;
    // An undo reopens a playing video where it was.
    if (events_.videoShown())
        entry.state.position = events_.videoPosition();
    return captureDesktop(desktop_, entry.desktop);
}

HRESULT WallpaperEngine::commitState(WallpaperState state, bool restoring, bool videoReady) noexcept
{
    // A video state is committed together with its ready video, which the video side hands over.
    if ((state.mode == ModeVideo) != videoReady)
        return E_INVALIDARG;
    // Guards against states that would index past their files or restore from nothing.
    if (showsPictures(state.mode) && state.index >= state.files.size())
        return E_INVALIDARG;
    if (restoring && !undoEntry_)
        return E_UNEXPECTED;

    UndoEntry before;
    if (const HRESULT hr = captureUndoEntry(before); FAILED(hr))
        return hr;

    // A display that could not be captured could not be put back either: a change that would
    // touch one is refused before anything changes.
    if (const HRESULT hr = restoring                   ? unreadableTouchedByRestore(before.desktop, undoEntry_->desktop)
                           : showsPictures(state.mode) ? unreadableTouchedBy(before.desktop, state.monitor)
                                                       : S_OK;
        FAILED(hr))
        return hr;

    HRESULT result = S_OK;
    if (restoring) {
        result = restoreDesktop(desktop_, undoEntry_->desktop);
    } else if (showsPictures(state.mode)) {
        if (alreadyShown(state, currentState_.mode, before.desktop))
            return S_FALSE;
        result = applyStillImage(desktop_, state.monitor, state.files[state.index], state.fit);
    }
    if (FAILED(result)) {
        // Put back whatever the failed change touched; the failure itself is what gets reported.
        (void)restoreDesktop(desktop_, before.desktop);
        return result;
    }

    if (restoring) {
        // An undo brings back the settings of the state it restores; a state of nothing of
        // ours takes the position the shell had.
        const FitMode fit = state.mode == ModeNone ? undoEntry_->desktop.position : state.fit;
        reportSettingsFailure(settings_.setFitMode(fit));
        if (state.mode == ModeSlideshow)
            reportSettingsFailure(settings_.setSlideshowInterval(state.interval));
        dropUndoEntry();
    } else {
        keepUndoEntry(std::move(before));
    }

    COLORREF background = 0;
    if (videoReady)
        (void)desktop_.GetBackgroundColor(&background);
    // The previous video, if any, stops and its windows close.
    events_.showCommittedVideo(videoReady, background);
    const WallpaperMode mode = state.mode;
    currentState_ = std::move(state);
    slideshowStopped_ = false;
    events_.wallpaperShown(mode);
    // A new or restored slideshow starts a full interval from now.
    events_.slideshowTimerChanged(true);
    releaseUnusedPictures();
    return S_OK;
}

void WallpaperEngine::switchToState(WallpaperState state, bool restoring) noexcept
{
    events_.cancelVideoOpening();
    const bool isVideo = state.mode == ModeVideo;
    std::optional<COLORREF> background;
    if (isVideo && restoring && undoEntry_)
        background = undoEntry_->desktop.backgroundColor;
    const HRESULT result =
        isVideo ? events_.openVideo(state, restoring, background) : commitState(std::move(state), restoring);
    events_.slideshowTimerChanged(false);
    if (FAILED(result))
        events_.wallpaperNotify(isVideo ? kVideoOpenFailed : kWallpaperChangeFailed, result);
}

void WallpaperEngine::setFit(FitMode fit) noexcept
{
    // Span covers every display and never combines with one chosen display.
    if (fit == FitSpan && (!settings_.targetMonitor().empty() || !currentState_.monitor.empty()))
        return;

    // The fit in force needs nothing, unless a video opening over nothing of ours waits for it.
    if (fit == settings_.fitMode() && (currentState_.mode != ModeNone || !events_.videoOpening())) {
        if (events_.videoShown())
            return;
        DESKTOP_WALLPAPER_POSITION position = DWPOS_FILL;
        if (SUCCEEDED(desktop_.GetPosition(&position)) && position == fit)
            return;
    }

    events_.cancelVideoOpening();
    events_.slideshowTimerChanged(false);

    UndoEntry before;
    if (const HRESULT hr = captureUndoEntry(before); FAILED(hr)) {
        events_.wallpaperNotify(kFitChangeFailed, hr);
        return;
    }
    // A playing video is drawn again with the new fit; the shell's position is left alone.
    const HRESULT changed = events_.videoShown() ? events_.redrawVideo(fit, std::nullopt)
                                                 : desktop_.SetPosition(static_cast<DESKTOP_WALLPAPER_POSITION>(fit));
    if (FAILED(changed)) {
        events_.wallpaperNotify(kFitChangeFailed, changed);
        return;
    }
    currentState_.fit = fit;
    keepUndoEntry(std::move(before));
    reportSettingsFailure(settings_.setFitMode(fit));
}

void WallpaperEngine::setSlideshowInterval(std::int32_t seconds) noexcept
{
    if (const HRESULT hr = settings_.setSlideshowInterval(seconds); FAILED(hr)) {
        reportSettingsFailure(hr);
        return;
    }
    if (currentState_.mode == ModeSlideshow) {
        currentState_.interval = seconds;
        // Arming again restarts the period: the next picture comes a full interval from now.
        events_.slideshowTimerChanged(true);
    }
}

// The playing video with only another fit is drawn again with the entry's fit and colour
// instead of being reopened.
bool WallpaperEngine::undoRedrawsVideo() const noexcept
{
    return events_.videoShown() && undoEntry_->state.mode == ModeVideo &&
           samePaths(currentState_.files, undoEntry_->state.files) &&
           currentState_.monitor == undoEntry_->state.monitor && undoEntry_->state.fit != currentState_.fit;
}

void WallpaperEngine::undoVideoFit() noexcept
{
    const FitMode fit = undoEntry_->state.fit;
    if (const HRESULT hr = events_.redrawVideo(fit, undoEntry_->desktop.backgroundColor); FAILED(hr)) {
        events_.wallpaperNotify(kVideoFitUndoFailed, hr);
        return;
    }
    events_.cancelVideoOpening();
    currentState_.fit = fit;
    dropUndoEntry();
    reportSettingsFailure(settings_.setFitMode(fit));
    events_.slideshowTimerChanged(false);
    releaseUnusedPictures();
}

void WallpaperEngine::undoLastChange() noexcept
{
    if (!undoEntry_)
        return;
    cancelFileCheck();
    if (undoRedrawsVideo())
        undoVideoFit();
    else
        switchToState(undoEntry_->state, true);
}

void WallpaperEngine::showDefaultWallpaper() noexcept
{
    cancelFileCheck();
    WallpaperState state;
    state.mode = ModeStill;
    state.files.push_back(settings_.defaultWallpaperPath());
    state.fit = settings_.fitMode();
    switchToState(std::move(state), false);
}

HRESULT WallpaperEngine::replaceVideoWithStill(const std::wstring& framePath) noexcept
{
    HRESULT result = S_FALSE;
    if (!framePath.empty()) {
        result = applyStillImage(desktop_, currentState_.monitor, framePath, currentState_.fit);
        if (SUCCEEDED(result)) {
            currentState_.mode = ModeStill;
            currentState_.files.assign(1, framePath);
            currentState_.index = 0;
        }
    }
    // Without it the shell's own wallpaper, which lay under the video, shows.
    if (currentState_.mode == ModeVideo)
        currentState_ = WallpaperState{};
    if (SUCCEEDED(result))
        releaseUnusedPictures();
    return result;
}

HRESULT WallpaperEngine::commitVideoFrame(const std::wstring& framePath) noexcept
{
    // The still keeps the video's fit and display, so it looks as the video did; the commit
    // records the video, at its position, for undo.
    WallpaperState still = currentState_;
    still.mode = ModeStill;
    still.files.assign(1, framePath);
    still.index = 0;
    cancelFileCheck();
    events_.cancelVideoOpening();
    const HRESULT result = commitState(std::move(still), false);
    events_.slideshowTimerChanged(false);
    return result;
}

void WallpaperEngine::releaseUnusedPictures() noexcept
{
    try {
        std::vector<std::wstring> used = currentState_.files;
        used.push_back(settings_.defaultWallpaperPath());
        used.insert(used.end(), shellPictures_.begin(), shellPictures_.end());
        if (undoEntry_) {
            used.insert(used.end(), undoEntry_->state.files.begin(), undoEntry_->state.files.end());
            for (const DisplayWallpaper& display : undoEntry_->desktop.displays)
                used.push_back(display.wallpaper);
        }
        removeStoredPicturesExcept(settings_.dataFolder(), used);
    } catch (...) {
        // Out of memory: the pictures stay until the next change.
    }
}

void WallpaperEngine::sweepStoredPictures() noexcept
{
    DesktopSnapshot shown;
    // A display whose wallpaper cannot be read might show one of ours: nothing goes then.
    if (FAILED(captureDesktop(desktop_, shown)) || !shown.unreadable.empty())
        return;
    try {
        shellPictures_.clear();
        for (DisplayWallpaper& display : shown.displays)
            shellPictures_.push_back(std::move(display.wallpaper));
    } catch (...) {
        return;
    }
    releaseUnusedPictures();
}

// The entry's desktop is what the shell went on showing where the change did not reach, so its
// pictures stay in use until the next capture records the shell again.
void WallpaperEngine::dropUndoEntry() noexcept
{
    if (!undoEntry_)
        return;
    try {
        for (DisplayWallpaper& display : undoEntry_->desktop.displays)
            shellPictures_.push_back(std::move(display.wallpaper));
    } catch (...) {
    }
    undoEntry_.reset();
}

void WallpaperEngine::keepUndoEntry(UndoEntry entry) noexcept
{
    undoEntry_ = std::move(entry);
    // The new entry records everything the shell showed.
    shellPictures_.clear();
}

void WallpaperEngine::reportSettingsFailure(HRESULT code) noexcept
{
    if (FAILED(code))
        events_.wallpaperNotify(kSettingsSaveFailed, code);
}
