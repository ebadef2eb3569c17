#include "app/application.h"

// The context menu and its banner come with the menu work; until then the icon's
// right click and keyboard selection reach here and open nothing.

void Application::showContextMenu(POINT) noexcept {}

void Application::measureBannerItem(MEASUREITEMSTRUCT&) noexcept {}

void Application::drawBannerItem(const DRAWITEMSTRUCT&) noexcept {}
