// The program's side of video wallpapers: opening in the background, the tick that pulls and
// draws frames and pauses under a covering window, the rebuild of the windows, and the fall
// back to a still picture when playback fails.
#include "app/application.h"
#include "video/video_wallpaper.h"
#include "wallpaper/desktop.h"

#include <utility>

HRESULT Application::openVideo(const WallpaperState& state, bool restoring) noexcept
{
    WallpaperState request;
    try {
        request = state;
    } catch (...) {
        return E_OUTOFMEMORY;
    }
    if (const HRESULT hr = video.open(std::move(request), restoring, system->tickCount()); FAILED(hr))
        return hr;
    setWidgetTooltip(text(kOpeningVideoTooltip));
    return S_OK;
}

void Application::cancelPendingVideo() noexcept
{
    video.cancelPending();
}

UINT Application::videoTimerPeriod() const noexcept
{
    return video.timerPeriod();
}

void Application::videoTick() noexcept
{
    // The shell may have destroyed the host (Explorer restarted): build the windows again.
    if (video.activeVideo && !video.activeVideo->windowsAlive())
        relayoutAfterDisplayChange();

    const std::uint64_t now = system->tickCount();
    if (video.activeVideo && now >= video.nextCoverCheck) {
        video.nextCoverCheck = now + kCoverCheckMs;
        const bool covered = video.activeVideo->foregroundCoversVideo();
        // A pause or resume that fails is tried again at the next check.
        if (covered != video.videoCovered && SUCCEEDED(video.activeVideo->setPaused(covered))) {
            video.videoCovered = covered;
            updateTimers();
        }
    }
    if (video.activeVideo && !video.videoCovered) {
        HRESULT shown = video.activeVideo->pumpFrame();
        if (shown == S_OK)
            shown = video.activeVideo->render(currentState.fit, video.videoBackground);
        if (FAILED(shown))
            stopVideoToStill(shown);
    }

    if (!video.pendingVideo)
        return;
    PendingVideo& pending = *video.pendingVideo;
    HRESULT result = pending.video->pumpFrame();
    if (result == S_FALSE) {
        if (system->tickCount() < pending.deadline)
            return;
        result = HRESULT_FROM_WIN32(ERROR_TIMEOUT);
    }
    if (SUCCEEDED(result)) {
        std::vector<RECT> displays;
        try {
            displays = rectanglesOf(targetDisplaysOf(*desktopWallpaper.Get(), pending.state.monitor));
        } catch (...) {
            result = E_OUTOFMEMORY;
        }
        if (SUCCEEDED(result))
            result = pending.video->createWindows(displays, findVideoHost);
        if (SUCCEEDED(result)) {
            // The widget goes back above the new windows.
            createWidget();
            COLORREF colour = 0;
            if (FAILED(desktopWallpaper->GetBackgroundColor(&colour)))
                colour = 0;
            if (pending.restoring && undoEntry)
                colour = undoEntry->desktop.backgroundColor;
            result = pending.video->render(pending.state.fit, colour);
        }
        if (SUCCEEDED(result)) {
            VideoWallpaperPtr ready = std::move(pending.video);
            WallpaperState state = std::move(pending.state);
            const bool restoring = pending.restoring;
            video.pendingVideo.reset();
            result = commitState(std::move(state), restoring, std::move(ready));
        }
    }
    video.pendingVideo.reset();
    updateTimers();
    if (FAILED(result))
        showNotification(text(kVideoPlayFailed), result);
}

void Application::relayoutVideo() noexcept
{
    if (!video.activeVideo)
        return;
    HRESULT result = S_OK;
    std::vector<RECT> displays;
    try {
        displays = rectanglesOf(targetDisplaysOf(*desktopWallpaper.Get(), currentState.monitor));
    } catch (...) {
        result = E_OUTOFMEMORY;
    }
    if (SUCCEEDED(result))
        result = video.activeVideo->createWindows(displays, findVideoHost);
    if (SUCCEEDED(result))
        result = video.activeVideo->render(currentState.fit, video.videoBackground);
    if (FAILED(result)) {
        stopVideoToStill(result);
        return;
    }
    video.activeVideo->showWindows();
}

void Application::stopVideoToStill(HRESULT code) noexcept
{
    // The frame it showed stays on the desktop as a still picture, when it can be kept.
    const std::wstring path = newDataFilePath();
    if (!path.empty() && video.activeVideo) {
        HRESULT result = video.activeVideo->saveFramePng(imagingFactory.Get(), path);
        if (SUCCEEDED(result)) {
            result = applyStillImage(*desktopWallpaper.Get(), currentState.monitor, path, currentState.fit);
            if (SUCCEEDED(result)) {
                currentState.mode = ModeStill;
                currentState.files.assign(1, path);
                currentState.index = 0;
            }
        }
        if (FAILED(result))
            DeleteFileW(path.c_str());
    }
    // Without it the shell's own wallpaper, which lay under the video, shows.
    if (currentState.mode == ModeVideo)
        currentState = WallpaperState{};
    video.activeVideo.reset();
    video.videoCovered = false;
    updateTimers();
    showNotification(text(kVideoStopped), code);
}
