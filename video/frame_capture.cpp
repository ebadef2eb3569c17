// "Use current video frame": the frame the video shows becomes the still wallpaper.
#include "app/application.h"
#include "video/video_wallpaper.h"

void Application::useCurrentFrame() noexcept
{
    if (!video.activeVideo)
        return;
    // Held still, the video keeps the moment of the saved frame, so undo reopens it right there
    // and not wherever it had played on to while the picture was written.
    const bool paused = SUCCEEDED(video.activeVideo->setPaused(true));
    const std::wstring path = newDataFilePath();
    HRESULT code = E_FAIL;
    if (!path.empty()) {
        code = video.activeVideo->saveFramePng(imagingFactory.Get(), path);
        if (SUCCEEDED(code)) {
            // The still keeps the video's fit and display, so it looks as the video did; the
            // commit records the video, at its position, for undo.
            WallpaperState still = currentState;
            still.mode = ModeStill;
            still.files.assign(1, path);
            still.index = 0;
            cancelPendingVideo();
            code = commitState(std::move(still), false);
            updateTimers();
            if (SUCCEEDED(code))
                return;
        }
        DeleteFileW(path.c_str());
    }
    if (paused && video.activeVideo && !video.videoCovered)
        (void)video.activeVideo->setPaused(false);
    showNotification(text(kVideoFrameFailed), code);
}
