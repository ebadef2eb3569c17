#include "app/application.h"

// Video wallpapers are not built yet: opening one fails honestly, nothing is ever pending or
// playing, and the video timer never runs.

HRESULT Application::openVideo(const WallpaperState&, bool) noexcept
{
    return HRESULT_FROM_WIN32(ERROR_NOT_SUPPORTED);
}

void Application::cancelPendingVideo() noexcept {}

UINT Application::videoTimerPeriod() const noexcept
{
    return 0;
}

void Application::videoTick() noexcept {}

void Application::relayoutVideo() noexcept {}
