#include "app/application.h"
#include "platform/unique_handle.h"
#include "platform/monitors.h"
#include "tray/banner.h"
#include "tray/menu_model.h"
#include "wallpaper/desktop.h"

#include <algorithm>

namespace {

void appendItems(HMENU menu, const std::vector<MenuItem>& items) noexcept
{
    UINT firstRadio = 0;
    UINT lastRadio = 0;
    UINT checkedRadio = 0;
    for (const MenuItem& item : items) {
        if (item.banner)
            continue; // insertBannerItem has put it at the top already
        if (item.separator) {
            AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
        } else if (!item.submenu.empty()) {
            UniqueMenu submenu(CreatePopupMenu());
            if (!submenu)
                continue;
            appendItems(submenu.get(), item.submenu);
            // Once appended, the submenu goes with its parent.
            if (AppendMenuW(menu, MF_POPUP | MF_STRING, reinterpret_cast<UINT_PTR>(submenu.get()), item.text.c_str()))
                (void)submenu.release();
        } else {
            UINT flags = MF_STRING;
            if (item.checked && !item.radio)
                flags |= MF_CHECKED;
            if (item.greyed)
                flags |= MF_GRAYED;
            AppendMenuW(menu, flags, item.id, item.text.c_str());
            if (item.radio) {
                firstRadio = firstRadio == 0 ? item.id : std::min(firstRadio, item.id);
                lastRadio = std::max(lastRadio, item.id);
                if (item.checked)
                    checkedRadio = item.id;
            }
        }
    }
    if (checkedRadio != 0)
        CheckMenuRadioItem(menu, firstRadio, lastRadio, checkedRadio, MF_BYCOMMAND);
}

} // namespace

void Application::showContextMenu(POINT point) noexcept
{
    UniqueMenu menu(CreatePopupMenu());
    if (!menu.get())
        return;

    // Outlives the menu: the banner item points at it until the tracking has ended.
    BannerImage banner;
    bool bannerShown = false;
    if (!highContrast) {
        const std::uint32_t dpi = getMonitorMetrics(MonitorFromPoint(point, MONITOR_DEFAULTTONEAREST)).dpi;
        bannerShown = insertBannerItem(banner, menu.get(), kCommandBanner, imagingFactory.Get(), instance, dpi);
    }

    // Command 101 + i means the display the user saw as entry i, so the same list goes to the command.
    std::vector<DisplayWallpaper> displays;
    if (desktopWallpaper)
        displays = listDisplays(*desktopWallpaper.Get());

    MenuState state;
    state.language = settings.language;
    state.fitMode = settings.fitMode;
    state.slideshowInterval = settings.slideshowInterval;
    state.targetMonitor = settings.targetMonitor;
    state.widgetSize = settings.widgetSize;
    state.currentMode = currentState.mode;
    state.currentFit = currentState.fit;
    state.currentMonitor = currentState.monitor;
    state.undoAvailable = undoEntry.has_value();
    // With video playback: a playing video (activeVideo) makes its frame available.
    state.videoActive = false;
    std::wstring shortcutPath;
    state.startupKnown = SUCCEEDED(startup.checkStartupShortcut(shortcutPath, state.startupExists));
    state.banner = bannerShown;
    appendItems(menu.get(), buildMenuModel(state, displays));
    SetMenuDefaultItem(menu.get(), kCommandRestoreDefault, FALSE);

    // Without the foreground the menu would not close when the user clicks elsewhere.
    SetForegroundWindow(controlWindow.get());
    const UINT command = static_cast<UINT>(TrackPopupMenuEx(menu.get(), TPM_RETURNCMD | TPM_NONOTIFY | TPM_RIGHTBUTTON,
                                                            point.x, point.y, controlWindow.get(), nullptr));
    // Lets the menu's foreground switch complete before the next message.
    PostMessageW(controlWindow.get(), WM_NULL, 0, 0);
    menu.reset();

    if (command != 0)
        executeCommand(command, displays);
    banner.bitmap.reset();
}
