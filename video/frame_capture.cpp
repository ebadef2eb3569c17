// "Use current video frame": the frame the video shows becomes the still wallpaper.
#include "app/application.h"
#include "video/video_wallpaper.h"

void Application::useCurrentFrame() noexcept
{
    if (!video.activeVideo)
        return;
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
    showNotification(text(kVideoFrameFailed), code);
}
