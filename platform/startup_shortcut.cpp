#include "app/application.h"

// The Startup-folder shortcut comes with the menu work. Until then the check reports
// that it cannot look, which skips the start-time migration silently.

HRESULT Application::checkStartupShortcut(std::wstring&, bool&) noexcept
{
    return E_NOTIMPL;
}

HRESULT Application::migrateStartupShortcut(const std::wstring&, bool) noexcept
{
    return E_NOTIMPL;
}
