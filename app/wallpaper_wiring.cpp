// How the wallpaper engine and the video side reach each other and the user.
#include "app/application.h"

#include <string>

void Application::wallpaperNotify(const LocalizedText& message, HRESULT code, std::wstring_view suffix) noexcept
{
    std::wstring line = text(message);
    line += suffix;
    showNotification(line, code);
}

void Application::wallpaperShown(WallpaperMode mode) noexcept
{
    // A video that was opening before the pictures came does not hide that they are being opened.
    if (engine_ && engine_->checkingFiles())
        return;
    showStateTooltip(mode);
}

void Application::slideshowTimerChanged(bool restart) noexcept
{
    updateTimers(restart);
}

void Application::fileListChecking(bool) noexcept
{
    showStatusTooltip();
}

HRESULT Application::openVideo(const WallpaperState& state, bool restoring, std::optional<COLORREF> background) noexcept
{
    if (const HRESULT hr = video_->open(state, restoring, background); FAILED(hr))
        return hr;
    widget_.setWidgetTooltip(text(kOpeningVideoTooltip));
    return S_OK;
}

void Application::cancelVideoOpening() noexcept
{
    video_->cancelPending();
}

bool Application::videoOpening() const noexcept
{
    return video_->opening();
}

bool Application::videoShown() const noexcept
{
    return video_->showing();
}

double Application::videoPosition() const noexcept
{
    return video_->activeTime();
}

HRESULT Application::redrawVideo(FitMode fit, std::optional<COLORREF> background) noexcept
{
    return video_->redraw(fit, background);
}

void Application::showCommittedVideo(bool ready, COLORREF background) noexcept
{
    video_->showReadyVideo(ready, background);
}

HRESULT Application::videoReady(const WallpaperState& state, bool restoring) noexcept
{
    return engine_->commitState(state, restoring, true);
}

HRESULT Application::videoStopped(const std::wstring& framePath) noexcept
{
    return engine_->replaceVideoWithStill(framePath);
}

HRESULT Application::videoFrameChosen(const std::wstring& framePath) noexcept
{
    return engine_->commitVideoFrame(framePath);
}

void Application::videoWindowsCreated() noexcept
{
    createWidget();
}

// The shell is restarting: its new windows come a moment later, with "TaskbarCreated".
void Application::videoWindowsLost() noexcept
{
    triggerRelayout();
}

void Application::videoTimerChanged() noexcept
{
    updateTimers();
}

void Application::videoNotify(const LocalizedText& message, HRESULT code) noexcept
{
    showNotification(text(message), code);
}
