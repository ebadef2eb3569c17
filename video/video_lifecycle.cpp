#include "video/video_lifecycle.h"

#include <new>
#include <utility>

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
    // The shell may have destroyed the host (Explorer restarted): build the windows again.
    if (active_ && !active_->windowsAlive())
        events_.videoWindowsLost();
    tickShown();
    if (pending_)
        tickPending();
}

void VideoLifecycle::tickShown() noexcept
{
    const std::uint64_t now = system_.tickCount();
    if (active_ && now >= nextCoverCheck_) {
        nextCoverCheck_ = now + kCoverCheckMs;
        const bool covered = active_->foregroundCoversVideo();
        // A pause or resume that fails is tried again at the next check.
        if (covered != covered_ && SUCCEEDED(active_->setPaused(covered || userPaused_))) {
            covered_ = covered;
            events_.videoTimerChanged();
        }
    }
    if (active_ && !covered_ && !userPaused_) {
        HRESULT shown = active_->pumpFrame();
        if (shown == S_OK)
            shown = active_->render(fit_, background_);
        if (FAILED(shown))
            stopToStill(shown);
    }
}

void VideoLifecycle::tickPending() noexcept
{
    HRESULT result = pending_->video->pumpFrame();
    if (result == S_FALSE) {
        if (system_.tickCount() < pending_->deadline)
            return;
        result = HRESULT_FROM_WIN32(ERROR_TIMEOUT);
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
        stopToStill(result);
        return;
    }
    active_->showWindows();
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
    covered_ = false;
    userPaused_ = false;
    nextCoverCheck_ = 0;
}

HRESULT VideoLifecycle::setUserPaused(bool paused) noexcept
{
    if (!active_)
        return HRESULT_FROM_WIN32(ERROR_NOT_READY);
    if (paused == userPaused_)
        return S_FALSE;
    if (const HRESULT hr = active_->setPaused(paused || covered_); FAILED(hr))
        return hr;
    userPaused_ = paused;
    events_.videoTimerChanged();
    return S_OK;
}

HRESULT VideoLifecycle::redraw(FitMode fit, std::optional<COLORREF> background) noexcept
{
    if (!active_)
        return HRESULT_FROM_WIN32(ERROR_NOT_READY);
    const COLORREF colour = background.value_or(background_);
    if (const HRESULT hr = active_->render(fit, colour); FAILED(hr))
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
    return (covered_ || userPaused_) && !pending_ ? kCoveredVideoTickMs : kVideoTickMs;
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
    covered_ = false;
    userPaused_ = false;
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
