#include "tray/menu_model.h"

#include "common/strings.h"

namespace {

MenuItem command(UINT id, std::wstring text)
{
    MenuItem item;
    item.id = id;
    item.text = std::move(text);
    return item;
}

MenuItem separator()
{
    MenuItem item;
    item.separator = true;
    return item;
}

MenuItem submenu(const wchar_t* text, std::vector<MenuItem> items)
{
    MenuItem item;
    item.text = text;
    item.submenu = std::move(items);
    return item;
}

std::vector<MenuItem> fitItems(const MenuState& state)
{
    // The fit in force: the shown wallpaper's own, or the setting while nothing of ours is shown.
    const FitMode inForce = state.currentMode != ModeNone ? state.currentFit : state.fitMode;
    // Span covers every display, so it cannot go with one chosen display.
    const bool oneDisplay = !state.targetMonitor.empty() || !state.currentMonitor.empty();
    std::vector<MenuItem> items;
    for (const FitMode fit : kMenuFitOrder) {
        MenuItem item = command(kCommandFirstFit + static_cast<UINT>(fit), pick(kFitNames[fit], state.language));
        item.checked = fit == inForce;
        item.greyed = fit == FitSpan && oneDisplay;
        items.push_back(std::move(item));
    }
    return items;
}

std::vector<MenuItem> intervalItems(const MenuState& state)
{
    std::vector<MenuItem> items;
    UINT id = kCommandFirstInterval;
    for (const std::int32_t seconds : kAllowedIntervals) {
        MenuItem item = command(id++, std::to_wstring(seconds) + pick(kIntervalSuffix, state.language));
        // The setting for the next slideshow, not the interval of a running one.
        item.checked = seconds == state.slideshowInterval;
        items.push_back(std::move(item));
    }
    return items;
}

std::vector<MenuItem> displayItems(const MenuState& state, const std::vector<DisplayWallpaper>& displays)
{
    std::vector<MenuItem> items;
    MenuItem all = command(kCommandAllDisplays, pick(kAllDisplaysItem, state.language));
    all.checked = state.targetMonitor.empty();
    items.push_back(std::move(all));
    for (std::size_t i = 0; i < displays.size(); ++i) {
        MenuItem item =
            command(kCommandFirstDisplay + static_cast<UINT>(i), displayLabel(state.language, i, displays[i].rect));
        item.checked = displays[i].monitorId == state.targetMonitor;
        item.greyed = state.fitMode == FitSpan;
        items.push_back(std::move(item));
    }
    return items;
}

std::vector<MenuItem> widgetItems(const MenuState& state)
{
    std::vector<MenuItem> items;
    UINT id = kCommandFirstWidgetSize;
    for (const std::int32_t size : kWidgetSizes) {
        std::wstring text = std::to_wstring(size);
        if (size == kDefaultWidgetSize)
            text += pick(kDefaultSizeSuffix, state.language);
        MenuItem item = command(id++, std::move(text));
        item.checked = size == state.widgetSize;
        items.push_back(std::move(item));
    }
    items.push_back(separator());
    items.push_back(command(kCommandMoveToCorner, pick(kMoveToCornerItem, state.language)));
    return items;
}

std::vector<MenuItem> languageItems(const MenuState& state)
{
    // Each language is named in its own words, whatever the current one.
    MenuItem english = command(kCommandEnglish, kEnglishLanguageName);
    MenuItem vietnamese = command(kCommandVietnamese, kVietnameseLanguageName);
    english.radio = vietnamese.radio = true;
    english.checked = state.language == kEnglish;
    vietnamese.checked = !english.checked;
    return {std::move(english), std::move(vietnamese)};
}

} // namespace

std::wstring displayLabel(std::uint32_t language, std::size_t index, const RECT& rect)
{
    return pick(kDisplayPrefix, language) + std::to_wstring(index + 1) + L" \u00B7 " +
           std::to_wstring(rect.right - rect.left) + L" \u00D7 " + std::to_wstring(rect.bottom - rect.top) + L" (" +
           std::to_wstring(rect.left) + L", " + std::to_wstring(rect.top) + L")";
}

std::vector<MenuItem> buildMenuModel(const MenuState& state, const std::vector<DisplayWallpaper>& displays)
{
    const std::uint32_t language = state.language;
    std::vector<MenuItem> menu;

    if (state.banner) {
        MenuItem banner = command(kCommandBanner, kProductName);
        banner.banner = true;
        banner.greyed = true;
        menu.push_back(std::move(banner));
        menu.push_back(separator());
    }

    menu.push_back(command(kCommandChooseWallpaper, pick(kChooseWallpaperItem, language)));
    menu.push_back(command(kCommandChooseDefault, pick(kChooseDefaultWallpaperItem, language)));
    MenuItem restore = command(kCommandRestoreDefault, pick(kRestoreDefaultItem, language));
    restore.defaultItem = true; // the same as a double click on the icon
    menu.push_back(std::move(restore));
    MenuItem undo = command(kCommandUndo, pick(kUndoItem, language));
    undo.greyed = !state.undoAvailable;
    menu.push_back(std::move(undo));
    menu.push_back(separator());

    menu.push_back(submenu(pick(kFitSubmenu, language), fitItems(state)));
    menu.push_back(submenu(pick(kIntervalSubmenu, language), intervalItems(state)));
    menu.push_back(submenu(pick(kDisplaySubmenu, language), displayItems(state, displays)));
    MenuItem frame = command(kCommandUseVideoFrame, pick(kUseVideoFrameItem, language));
    frame.greyed = !state.videoActive;
    menu.push_back(std::move(frame));
    menu.push_back(separator());

    menu.push_back(submenu(pick(kWidgetSubmenu, language), widgetItems(state)));
    MenuItem startup = command(kCommandStartWithWindows, pick(kStartWithWindowsItem, language));
    startup.greyed = !state.startupKnown;
    startup.checked = state.startupKnown && state.startupExists;
    menu.push_back(std::move(startup));
    menu.push_back(submenu(pick(kLanguageSubmenu, language), languageItems(state)));
    menu.push_back(separator());

    menu.push_back(command(kCommandExit, pick(kExitItem, language)));
    return menu;
}
