// The desktop widget's side of the program: the placement and texts it keeps in the settings,
// and what it does with what the widget reports.
#include "app/application.h"

void Application::createWidget() noexcept
{
    widget_.connect(instance_, controlWindow_.get());
    if (widget_.dragMode() == DragIdle) {
        const std::optional<POINT> position = settings_.widgetPosition();
        widget_.setPlacement(settings_.widgetSize(), position.value_or(POINT{0, 0}), position.has_value());
    }
    const WallpaperMode mode = engine_->currentState().mode;
    const wchar_t* status = engine_->checkingFiles() ? text(kOpeningPicturesTooltip)
                            : mode == ModeVideo      ? text(kVideoTooltip)
                            : mode == ModeSlideshow  ? text(kSlideshowTooltip)
                                                     : text(kIdleTooltip);
    widget_.createWidget(status);
}

// A running gesture carries the live size; the settings take over again when it ends.
void Application::layoutWidget() noexcept
{
    if (widget_.dragMode() == DragIdle) {
        const std::optional<POINT> position = settings_.widgetPosition();
        widget_.setPlacement(settings_.widgetSize(), position.value_or(POINT{0, 0}), position.has_value());
    }
    widget_.layoutWidget();
}

void Application::showStateTooltip(WallpaperMode mode) noexcept
{
    switch (mode) {
    case ModeVideo:
        widget_.setWidgetTooltip(text(kVideoTooltip));
        break;
    case ModeSlideshow:
        widget_.setWidgetTooltip(text(kSlideshowTooltip));
        break;
    default:
        widget_.setWidgetTooltip(text(kIdleTooltip));
        break;
    }
}

void Application::showStatusTooltip() noexcept
{
    if (engine_ && engine_->checkingFiles())
        widget_.setWidgetTooltip(text(kOpeningPicturesTooltip));
    else if (video_ && video_->opening())
        widget_.setWidgetTooltip(text(kOpeningVideoTooltip));
    else if (engine_)
        showStateTooltip(engine_->currentState().mode);
}

// Inside the drag-and-drop call: the list is applied once the control window gets to it.
void Application::widgetFilesDropped(std::vector<std::wstring> paths) noexcept
{
    pendingDroppedFiles_ = std::move(paths);
    PostMessageW(controlWindow_.get(), FilesDroppedMessage, 0, 0);
}

void Application::widgetRestoreDefault() noexcept
{
    restoreDefaultWallpaper();
}

void Application::widgetOpenMenu(POINT point) noexcept
{
    showContextMenu(point);
}

void Application::widgetMoved(POINT position) noexcept
{
    reportSettingsResult(settings_.setWidgetPosition(position));
}

void Application::widgetResized(int size) noexcept
{
    reportSettingsResult(settings_.setWidgetSize(size));
}

void Application::widgetSystemColoursChanged() noexcept
{
    refreshHighContrast();
}

void Application::widgetDpiChanged() noexcept
{
    if (widget_.dragMode() == DragIdle)
        layoutWidget();
}
