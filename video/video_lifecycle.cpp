#include "video/video_lifecycle.h"

#include <algorithm>
#include <new>
#include <utility>

#include "video/occlusion.h"
#include "video/video_libraries.h"
#include "video/video_wallpaper.h"
#include "wallpaper/desktop.h"

void VideoWallpaperDeleter::operator()(VideoWallpaper* video) const noexcept
{
    delete video;
}

VideoLifecycle::VideoLifecycle(IDesktopWallpaper& desktop, IWICImagingFactory& imaging, const Settings& settings,
                               SystemServices& system, VideoEvents& events, VideoHostLookup findHost,
                               VideoOpener opener) noexcept
    : desktop_(desktop), imaging_(imaging), settings_(settings), system_(system), events_(events),
      findHost_(std::move(findHost)), opener_(std::move(opener))
{
}

VideoLifecycle::~VideoLifecycle()
{
    shutdown();
}

HRESULT VideoLifecycle::open(const WallpaperState& state, bool restoring, std::optional<COLORREF> background) noexcept
{
    if (state.files.empty())
        return E_INVALIDARG;
    if (!mediaFoundationStarted_) {
        const VideoLibraries* libraries = nullptr;
        if (const HRESULT hr = loadVideoLibraries(libraries); FAILED(hr))
            return hr;
        if (const HRESULT hr = libraries->startup(MF_VERSION, MFSTARTUP_LITE); FAILED(hr))
            return hr;
        mediaFoundationStarted_ = true;
    }
    VideoWallpaperPtr video(new (std::nothrow) VideoWallpaper());
    if (!video)
        return E_OUTOFMEMORY;
    // The device the shown video uses, when one is shown: a switch makes none.
    if (const HRESULT hr = video->createGraphics(); FAILED(hr))
        return hr;
    video->useClock(system_);
    const HRESULT opened = opener_ ? opener_(*video, state.files.front(), state.position)
                                   : video->open(state.files.front(), state.position);
    if (FAILED(opened))
        return opened;
    try {
        pending_.reset();
        pending_.emplace(PendingVideo{std::move(video), state, system_.tickCount() + kVideoOpenTimeoutMs, restoring,
                                      background});
    } catch (...) {
        return E_OUTOFMEMORY;
    }
    return S_OK;
}

void VideoLifecycle::cancelPending() noexcept
{
    pending_.reset();
}

void VideoLifecycle::tick() noexcept
{
    // The shell may have destroyed the host (Explorer restarted): wait for its new one.
    if (active_ && !awaitingHost() && !active_->windowsAlive())
        awaitHost(HRESULT_FROM_WIN32(ERROR_NOT_FOUND));
    if (awaitingHost())
        tickAwaitingHost();
    else
        tickShown();
    if (pending_)
        tickPending();
}

void VideoLifecycle::tickShown() noexcept
{
    if (!active_)
        return;
    // A pause or resume that failed is tried again.
    if (enginePaused_ != (reasons_ != 0)) {
        applyPause();
        if (!active_)
            return;
        if (enginePaused_ == (reasons_ != 0))
            events_.videoTimerChanged();
    }
    if (reasons_ != 0 || enginePaused_) {
        // Paused for long: the decoder's memory goes back, the frame on screen stays.
        if (enginePaused_ && !active_->engineReleased() &&
            system_.tickCount() - pausedSince_ >= kReleasePausedVideoMs) {
            active_->releaseEngine();
            events_.videoTimerChanged();
        }
        return;
    }
    HRESULT shown = active_->pumpFrame();
    if (shown == S_OK)
        shown = active_->render(fit_, background_);
    if (FAILED(shown)) {
        stopToStill(shown);
        return;
    }
    // The timer follows the video's frames: it wakes when the next one is due.
    if (const UINT wait = active_->frameWaitMs(kVideoTickMs, shown == S_OK); wait != frameWaitMs_) {
        frameWaitMs_ = wait;
        events_.videoTimerChanged();
    }
}

void VideoLifecycle::tickPending() noexcept
{
    HRESULT result = pending_->video->pumpFrame();
    // Its first frame came at an earlier tick, while the shell had no host for the windows.
    if (result == S_FALSE && pending_->video->hasVideoFrame())
        result = S_OK;
    if (result == S_FALSE) {
        if (system_.tickCount() < pending_->deadline)
            return;
        result = HRESULT_FROM_WIN32(ERROR_TIMEOUT);
    }
    // The shell restarting has no host yet: the video waits for the new one, as a shown one does.
    if (SUCCEEDED(result) && !(findHost_ && findHost_().hostWindow)) {
        if (pending_->hostDeadline == 0)
            pending_->hostDeadline = system_.tickCount() + kShellWaitMs;
        if (system_.tickCount() < pending_->hostDeadline)
            return;
        result = HRESULT_FROM_WIN32(ERROR_NOT_FOUND);
    }
    if (SUCCEEDED(result))
        result = commitPending();
    pending_.reset();
    events_.videoTimerChanged();
    if (FAILED(result))
        events_.videoNotify(kVideoPlayFailed, result);
}

// The pending video has its first frame: its windows, its first drawing, and the commit.
HRESULT VideoLifecycle::commitPending() noexcept
{
    PendingVideo& pending = *pending_;
    if (const HRESULT hr = prepareWindows(*pending.video, pending.state.monitor); FAILED(hr))
        return hr;
    COLORREF colour = 0;
    if (pending.background)
        colour = *pending.background;
    else if (FAILED(desktop_.GetBackgroundColor(&colour)))
        colour = 0;
    if (const HRESULT hr = pending.video->render(pending.state.fit, colour); FAILED(hr))
        return hr;

    ready_ = std::move(pending.video);
    readyState_ = std::move(pending.state);
    const bool restoring = pending.restoring;
    pending_.reset();
    const HRESULT result = events_.videoReady(readyState_, restoring);
    // Not taken: the ready video closes with its windows.
    ready_.reset();
    return result;
}

HRESULT VideoLifecycle::prepareWindows(VideoWallpaper& video, const std::wstring& monitor) noexcept
{
    std::vector<RECT> displays;
    try {
        displays = rectanglesOf(targetDisplaysOf(desktop_, monitor));
    } catch (...) {
        return E_OUTOFMEMORY;
    }
    if (const HRESULT hr = video.createWindows(displays, findHost_); FAILED(hr))
        return hr;
    // The widget goes back above the new windows.
    events_.videoWindowsCreated();
    return S_OK;
}

void VideoLifecycle::relayout() noexcept
{
    if (!active_)
        return;
    HRESULT result = prepareWindows(*active_, monitor_);
    if (SUCCEEDED(result))
        result = active_->render(fit_, background_);
    if (FAILED(result)) {
        // The shell may be restarting or still making its wallpaper layer: the video waits.
        awaitHost(result);
        return;
    }
    hostDeadline_ = 0;
    active_->showWindows();
    // New windows, perhaps on other displays: which of them are hidden is asked again.
    updateCover();
}

void VideoLifecycle::updateCover() noexcept
{
    if (!active_)
        return;
    const std::vector<VideoWindow>& windows = active_->videoWindows();
    std::vector<bool> hidden;
    try {
        std::vector<RECT> areas;
        areas.reserve(windows.size());
        for (const VideoWindow& window : windows)
            areas.push_back(window.screenRect);
        hidden = areasCovered(areas, system_.windowsAboveDesktop(active_->videoHost().hostWindow));
    } catch (...) {
        return;
    }
    bool showsAgain = false;
    for (std::size_t i = 0; i < hidden.size(); ++i) {
        showsAgain = showsAgain || (windows[i].hidden && !hidden[i]);
        active_->setWindowHidden(i, hidden[i]);
    }
    const bool allHidden = !hidden.empty() && std::all_of(hidden.begin(), hidden.end(), [](bool h) { return h; });
    changeReasons(PauseCovered, allHidden ? PauseReasons{PauseCovered} : PauseReasons{0});
    // A display that shows again gets the current frame now, not at the next new one (a paused
    // video has none). While the system holds the video, its resume draws everything.
    if (showsAgain && active_ && (reasons_ & kSystemPauseReasons) == 0) {
        if (const HRESULT hr = active_->render(fit_, background_); FAILED(hr))
            stopToStill(hr);
    }
}

std::vector<bool> VideoLifecycle::hiddenDisplays() const
{
    std::vector<bool> hidden;
    if (active_) {
        for (const VideoWindow& window : active_->videoWindows())
            hidden.push_back(window.hidden);
    }
    return hidden;
}

void VideoLifecycle::applyPause() noexcept
{
    if (!active_)
        return;
    const bool pause = reasons_ != 0;
    if (pause == enginePaused_)
        return;
    const HRESULT hr = setEnginePaused(pause);
    // A file gone while its engine was let go of: the frame on screen stays as a still.
    if (FAILED(hr) && active_->engineReleased())
        stopToStill(hr);
}

HRESULT VideoLifecycle::setEnginePaused(bool pause) noexcept
{
    const HRESULT hr = !pause && active_->engineReleased() ? active_->reopenEngine() : active_->setPaused(pause);
    if (FAILED(hr))
        return hr;
    enginePaused_ = pause;
    pausedSince_ = system_.tickCount();
    // Playing again: looked at every quarter frame until the next new frame sets the pace.
    if (!pause)
        frameWaitMs_ = active_->frameWaitMs(kVideoTickMs, false);
    return S_OK;
}

void VideoLifecycle::changeReasons(PauseReasons affected, PauseReasons holding) noexcept
{
    const PauseReasons next = (reasons_ & ~affected) | (holding & affected);
    if (next == reasons_)
        return;
    reasons_ = next;
    applyPause();
    events_.videoTimerChanged();
}

void VideoLifecycle::setSystemPause(PauseReasons affected, PauseReasons holding) noexcept
{
    affected &= kSystemPauseReasons;
    const PauseReasons next = (reasons_ & ~affected) | (holding & affected);
    // The last system reason goes: the windows are put right while the video still stands
    // still, then it plays on from where it was.
    if ((reasons_ & kSystemPauseReasons) != 0 && (next & kSystemPauseReasons) == 0)
        resumeAfterSystemPause();
    changeReasons(affected, holding);
}

void VideoLifecycle::resumeAfterSystemPause() noexcept
{
    if (!active_)
        return;
    if (windowsOutdated()) {
        relayout();
        return;
    }
    updateCover();
    if (active_ && !covered()) {
        if (const HRESULT hr = active_->render(fit_, background_); FAILED(hr))
            stopToStill(hr);
    }
}

// The shell may have made a new host, or the displays changed, while the session was locked
// or the system slept.
bool VideoLifecycle::windowsOutdated() noexcept
{
    if (!active_->windowsAlive())
        return true;
    if (!findHost_ || findHost_().hostWindow != active_->videoHost().hostWindow)
        return true;
    std::vector<RECT> displays;
    try {
        displays = rectanglesOf(targetDisplaysOf(desktop_, monitor_));
    } catch (...) {
        return false;
    }
    const std::vector<VideoWindow>& windows = active_->videoWindows();
    if (displays.size() != windows.size())
        return true;
    for (std::size_t i = 0; i < displays.size(); ++i) {
        if (!EqualRect(&displays[i], &windows[i].screenRect))
            return true;
    }
    return false;
}

void VideoLifecycle::awaitHost(HRESULT code) noexcept
{
    hostFailure_ = code;
    if (awaitingHost())
        return;
    active_->destroyWindows();
    // Never 0, which means "not waiting".
    hostDeadline_ = system_.tickCount() + kShellWaitMs;
    if (hostDeadline_ == 0)
        hostDeadline_ = 1;
    events_.videoWindowsLost();
}

void VideoLifecycle::tickAwaitingHost() noexcept
{
    if (system_.tickCount() < hostDeadline_)
        return;
    hostDeadline_ = 0;
    stopToStill(hostFailure_);
}

void VideoLifecycle::showReadyVideo(bool ready, COLORREF background) noexcept
{
    if (ready && ready_) {
        background_ = background;
        fit_ = readyState_.fit;
        monitor_ = readyState_.monitor;
        ready_->showWindows();
        active_ = std::move(ready_);
    } else {
        active_.reset();
    }
    hostDeadline_ = 0;
    frameWaitMs_ = kVideoTickMs;
    // The new video plays from its first frame unless the system holds it or windows hide it.
    reasons_ &= ~kVideoPauseReasons;
    enginePaused_ = false;
    updateCover();
    applyPause();
}

HRESULT VideoLifecycle::setUserPaused(bool paused) noexcept
{
    if (!active_)
        return HRESULT_FROM_WIN32(ERROR_NOT_READY);
    if (paused == userPaused())
        return S_FALSE;
    const PauseReasons next = paused ? reasons_ | PauseUser : reasons_ & ~PauseUser;
    const bool pause = next != 0;
    if (pause != enginePaused_) {
        if (const HRESULT hr = setEnginePaused(pause); FAILED(hr)) {
            if (active_->engineReleased())
                stopToStill(hr);
            return hr;
        }
    }
    reasons_ = next;
    events_.videoTimerChanged();
    return S_OK;
}

HRESULT VideoLifecycle::redraw(FitMode fit, std::optional<COLORREF> background) noexcept
{
    if (!active_)
        return HRESULT_FROM_WIN32(ERROR_NOT_READY);
    const COLORREF colour = background.value_or(background_);
    // Without windows, the fit and colour are kept for the windows of the new host.
    if (const HRESULT hr = awaitingHost() ? S_OK : active_->render(fit, colour); FAILED(hr))
        return hr;
    fit_ = fit;
    background_ = colour;
    return S_OK;
}

double VideoLifecycle::activeTime() const noexcept
{
    return active_ ? active_->currentTime() : 0.0;
}

UINT VideoLifecycle::timerPeriod() const noexcept
{
    if (!active_ && !pending_)
        return 0;
    if (!pending_ && reasons_ != 0 && enginePaused_) {
        // A paused video waiting for the shell's new host still gives up at its deadline.
        if (awaitingHost())
            return kPausedHostWaitTickMs;
        return active_ && !active_->engineReleased() ? kReleasePausedVideoMs : 0;
    }
    // An opening video is looked at every 15 ms for its first frame.
    if (pending_ || !active_)
        return active_ ? std::min(kVideoTickMs, frameWaitMs_) : kVideoTickMs;
    return reasons_ != 0 || enginePaused_ ? kVideoTickMs : frameWaitMs_;
}

void VideoLifecycle::shutDownWhenIdle() noexcept
{
    if (active_ || pending_ || ready_ || !mediaFoundationStarted_)
        return;
    const VideoLibraries* libraries = nullptr;
    if (SUCCEEDED(loadVideoLibraries(libraries)))
        libraries->shutdown();
    mediaFoundationStarted_ = false;
}

void VideoLifecycle::shutdown() noexcept
{
    pending_.reset();
    ready_.reset();
    active_.reset();
    hostDeadline_ = 0;
    reasons_ &= ~kVideoPauseReasons;
    enginePaused_ = false;
    shutDownWhenIdle();
}

std::vector<RECT> rectanglesOf(const std::vector<DisplayWallpaper>& displays)
{
    std::vector<RECT> rectangles;
    rectangles.reserve(displays.size());
    for (const DisplayWallpaper& display : displays)
        rectangles.push_back(display.rect);
    return rectangles;
}
