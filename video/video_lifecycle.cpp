#include "app/application.h"

// Video wallpapers are not built yet: opening one fails honestly, and the timers only
// follow the slideshow.

HRESULT Application::openVideo(const WallpaperState&, bool) noexcept
{
    return HRESULT_FROM_WIN32(ERROR_NOT_SUPPORTED);
}

void Application::updateVideoTimer() noexcept
{
    if (currentState.mode != ModeSlideshow)
        system->killTimer(controlWindow, SlideshowTimer);
    // No video is ever shown or opened yet, so the video timer never runs.
    system->killTimer(controlWindow, VideoTimer);
}

void Application::videoTick() noexcept {}

void Application::relayoutVideo() noexcept {}
