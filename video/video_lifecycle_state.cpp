#include "video/video_lifecycle.h"

#include "video/video_libraries.h"
#include "video/video_wallpaper.h"

void VideoWallpaperDeleter::operator()(VideoWallpaper* video) const noexcept
{
    delete video;
}

VideoLifecycle::~VideoLifecycle()
{
    shutdown();
}

HRESULT VideoLifecycle::open(WallpaperState state, bool restoring, std::uint64_t now) noexcept
{
    if (state.files.empty())
        return E_INVALIDARG;
    const VideoLibraries* libraries = nullptr;
    if (!mediaFoundationStarted) {
        if (const HRESULT hr = loadVideoLibraries(libraries); FAILED(hr))
            return hr;
        if (const HRESULT hr = libraries->startup(MF_VERSION, MFSTARTUP_LITE); FAILED(hr))
            return hr;
        mediaFoundationStarted = true;
    }
    VideoWallpaperPtr video(new (std::nothrow) VideoWallpaper());
    if (!video)
        return E_OUTOFMEMORY;
    if (const HRESULT hr = video->open(state.files.front(), state.position); FAILED(hr))
        return hr;
    // A newer request replaces an open still under way.
    pendingVideo.reset();
    pendingVideo.emplace();
    pendingVideo->video = std::move(video);
    pendingVideo->state = std::move(state);
    pendingVideo->deadline = now + kVideoOpenTimeoutMs;
    pendingVideo->restoring = restoring;
    return S_OK;
}

void VideoLifecycle::cancelPending() noexcept
{
    pendingVideo.reset();
}

UINT VideoLifecycle::timerPeriod() const noexcept
{
    if (!activeVideo && !pendingVideo)
        return 0;
    return videoCovered && !pendingVideo ? kCoveredVideoTickMs : kVideoTickMs;
}

void VideoLifecycle::shutDownWhenIdle() noexcept
{
    if (activeVideo || pendingVideo || !mediaFoundationStarted)
        return;
    const VideoLibraries* libraries = nullptr;
    if (SUCCEEDED(loadVideoLibraries(libraries)))
        libraries->shutdown();
    mediaFoundationStarted = false;
}

void VideoLifecycle::shutdown() noexcept
{
    pendingVideo.reset();
    activeVideo.reset();
    videoCovered = false;
    shutDownWhenIdle();
}

void VideoLifecycle::activate(VideoWallpaperPtr ready, COLORREF background) noexcept
{
    if (ready) {
        videoBackground = background;
        ready->showWindows();
    }
    activeVideo = std::move(ready);
    videoCovered = false;
    nextCoverCheck = 0;
}

HRESULT VideoLifecycle::redrawActive(FitMode fit, COLORREF background) noexcept
{
    return activeVideo ? activeVideo->render(fit, background) : HRESULT_FROM_WIN32(ERROR_NOT_READY);
}

double VideoLifecycle::activeTime() const noexcept
{
    return activeVideo ? activeVideo->currentTime() : 0.0;
}

std::vector<RECT> rectanglesOf(const std::vector<DisplayWallpaper>& displays)
{
    std::vector<RECT> rectangles;
    rectangles.reserve(displays.size());
    for (const DisplayWallpaper& display : displays)
        rectangles.push_back(display.rect);
    return rectangles;
}
