// The application's side of the desktop widget: the placement and texts it keeps in the
// settings, and what it does with what the widget reports.
#include "app/application.h"

#include <cwchar>

#include "common/strings.h"

void Application::createWidget() noexcept
{
    widget.connect(instance, controlWindow.get());
    if (widget.dragMode() == DragIdle)
        widget.setPlacement(settings.widgetSize, settings.widgetPosition, settings.widgetPositionSet);
    const wchar_t* status = currentState.mode == ModeVideo       ? text(kVideoTooltip)
                            : currentState.mode == ModeSlideshow ? text(kSlideshowTooltip)
                                                                 : text(kIdleTooltip);
    widget.createWidget(status);
}

bool Application::layoutWidget() noexcept
{
    // A running gesture carries the live size; the settings take over again when it ends.
    if (widget.dragMode() == DragIdle)
        widget.setPlacement(settings.widgetSize, settings.widgetPosition, settings.widgetPositionSet);
    return widget.layoutWidget();
}

void Application::setWidgetTooltip(const std::wstring& text) noexcept
{
    widget.setWidgetTooltip(text);
}

void Application::showStateTooltip(WallpaperMode mode) noexcept
{
    switch (mode) {
    case ModeVideo:
        setWidgetTooltip(text(kVideoTooltip));
        break;
    case ModeSlideshow:
        setWidgetTooltip(text(kSlideshowTooltip));
        break;
    default:
        setWidgetTooltip(text(kIdleTooltip));
        break;
    }
}

void Application::destroyWidget() noexcept
{
    widget.destroyWidget();
}

// Inside the drag-and-drop call: the list is applied once the control window gets to it.
void Application::widgetFilesDropped(std::vector<std::wstring> paths) noexcept
{
    pendingDroppedFiles = std::move(paths);
    PostMessageW(controlWindow.get(), FilesDroppedMessage, 0, 0);
}

void Application::widgetRestoreDefault() noexcept
{
    restoreDefaultWallpaper();
}

void Application::widgetOpenMenu(POINT point) noexcept
{
    showContextMenu(point);
}

// A failed write is told by writeSetting; the widget stays where the user put it.
void Application::widgetMoved(POINT position) noexcept
{
    settings.widgetPosition = position;
    settings.widgetPositionSet = true;
    wchar_t value[32] = {};
    swprintf(value, 32, L"%ld,%ld", static_cast<long>(position.x), static_cast<long>(position.y));
    writeSetting(L"WidgetPosition", value);
}

void Application::widgetResized(int size) noexcept
{
    settings.widgetSize = size;
    writeSetting(L"WidgetSize", std::to_wstring(size));
}

void Application::widgetSystemColoursChanged() noexcept
{
    refreshHighContrast();
}
