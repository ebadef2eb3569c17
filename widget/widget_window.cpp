#include "app/application.h"

#include "tray/strings.h"

// The desktop widget is not built yet. Its window stays absent; the texts it would show
// are kept, so the widget picks them up once it exists.

namespace {
constexpr std::size_t kTooltipLimit = 127;
}

LRESULT Application::handleWidgetMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) noexcept
{
    return DefWindowProcW(window, message, wParam, lParam);
}

void Application::createWidget() noexcept {}

void Application::layoutWidget() noexcept {}

void Application::updateWidgetZOrder(bool) noexcept {}

void Application::setWidgetTooltip(const std::wstring& text) noexcept
{
    widgetTooltipText = text.substr(0, kTooltipLimit);
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

void Application::redrawWidget() noexcept {}

void Application::invalidateWidgetFace() noexcept {}

void Application::cancelWidgetGesture() noexcept
{
    widgetDragMode = 0;
    widgetClickArmed = false;
}

void Application::destroyWidget() noexcept {}
