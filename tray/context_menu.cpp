#include "tray/context_menu.h"

#include "platform/unique_handle.h"
#include "platform/monitors.h"
#include "tray/banner.h"
#include "tray/menu_model.h"

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

UINT trackContextMenu(HWND window, POINT point, MenuState state, const std::vector<DisplayWallpaper>& displays,
                      IWICImagingFactory* imaging, HINSTANCE instance, bool highContrast) noexcept
{
    // Outlives the menu: the banner item points at it until the tracking has ended.
    BannerImage banner;
    UniqueMenu menu(CreatePopupMenu());
    if (!menu.get())
        return 0;

    state.banner = false;
    if (!highContrast) {
        const std::uint32_t dpi = getMonitorMetrics(MonitorFromPoint(point, MONITOR_DEFAULTTONEAREST)).dpi;
        state.banner = insertBannerItem(banner, menu.get(), kCommandBanner, imaging, instance, dpi);
    }
    try {
        appendItems(menu.get(), buildMenuModel(state, displays));
    } catch (...) {
        return 0;
    }
    SetMenuDefaultItem(menu.get(), kCommandRestoreDefault, FALSE);

    // Without the foreground the menu would not close when the user clicks elsewhere.
    SetForegroundWindow(window);
    const UINT command = static_cast<UINT>(
        TrackPopupMenuEx(menu.get(), TPM_RETURNCMD | TPM_NONOTIFY | TPM_RIGHTBUTTON, point.x, point.y, window, nullptr));
    // Lets the menu's foreground switch complete before the next message.
    PostMessageW(window, WM_NULL, 0, 0);
    return command;
}
