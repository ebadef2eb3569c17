// The video's frame as a still picture: "Use current video frame", and the fall back to a still
// when playback fails.
#include "video/video_lifecycle.h"
#include "video/video_wallpaper.h"

void VideoLifecycle::useCurrentFrame() noexcept
{
    if (!active_)
        return;
    // Held still, the video keeps the moment of the saved frame, so undo reopens it right there
    // and not wherever it had played on to while the picture was written.
    const bool paused = SUCCEEDED(active_->setPaused(true));
    const std::wstring path = settings_.newDataFilePath();
    HRESULT code = E_FAIL;
    if (!path.empty()) {
        code = active_->saveFramePng(&imaging_, path);
        if (SUCCEEDED(code)) {
            code = events_.videoFrameChosen(path);
            if (SUCCEEDED(code))
                return;
        }
        DeleteFileW(path.c_str());
    }
    // Held still for the picture only: it plays on unless another reason holds it.
    if (paused && active_) {
        enginePaused_ = true;
        applyPause();
    }
    events_.videoNotify(kVideoFrameFailed, code);
}

void VideoLifecycle::stopToStill(HRESULT code) noexcept
{
    // The frame it showed stays on the desktop as a still picture, when it can be kept.
    std::wstring frame = active_ ? settings_.newDataFilePath() : std::wstring();
    if (!frame.empty() && FAILED(active_->saveFramePng(&imaging_, frame))) {
        DeleteFileW(frame.c_str());
        frame.clear();
    }
    if (FAILED(events_.videoStopped(frame)) && !frame.empty())
        DeleteFileW(frame.c_str());
    active_.reset();
    hostDeadline_ = 0;
    reasons_ &= ~kVideoPauseReasons;
    enginePaused_ = false;
    events_.videoTimerChanged();
    events_.videoNotify(kVideoStopped, code);
}
