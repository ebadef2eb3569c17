#pragma once
#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "settings/settings.h"
#include "wallpaper/desktop_snapshot.h"
#include "wallpaper/wallpaper_state.h"

// Command ids that the context menu returns and executeCommand acts on.
inline constexpr UINT kCommandChooseDefault = 1;
inline constexpr UINT kCommandRestoreDefault = 2;
inline constexpr UINT kCommandUndo = 3;
inline constexpr UINT kCommandChooseWallpaper = 4;
inline constexpr UINT kCommandUseVideoFrame = 5;
inline constexpr UINT kCommandExit = 6;
inline constexpr UINT kCommandMoveToCorner = 7;
inline constexpr UINT kCommandStartWithWindows = 8;
inline constexpr UINT kCommandEnglish = 9;
inline constexpr UINT kCommandVietnamese = 10;
inline constexpr UINT kCommandBanner = 11; // the disabled banner item; never returned
inline constexpr UINT kCommandFirstInterval = 20;
inline constexpr UINT kCommandFirstFit = 30;
inline constexpr UINT kCommandFirstWidgetSize = 40;
inline constexpr UINT kCommandAllDisplays = 100;
inline constexpr UINT kCommandFirstDisplay = 101;

// The fit submenu's order. The interval and widget-size choices are the settings' own
// (kAllowedIntervals, kWidgetSizes).
inline constexpr FitMode kMenuFitOrder[] = {FitFill, FitFit, FitStretch, FitTile, FitCenter, FitSpan};

// One entry of the menu as the user sees it. An entry with a submenu opens it; a separator
// has nothing else; the banner is the owner-drawn logo at the top.
struct MenuItem {
    UINT id = 0;
    std::wstring text;
    bool checked = false;
    bool radio = false; // checked with a radio mark instead of a check mark
    bool greyed = false;
    bool separator = false;
    bool banner = false;
    bool defaultItem = false;
    std::vector<MenuItem> submenu;

    bool operator==(const MenuItem&) const = default;
};

// Everything the menu's content depends on.
struct MenuState {
    std::uint32_t language = 0;
    FitMode fitMode = kDefaultFit;
    std::int32_t slideshowInterval = kDefaultInterval;
    std::wstring targetMonitor;
    std::int32_t widgetSize = kDefaultWidgetSize;
    WallpaperMode currentMode = ModeNone;
    FitMode currentFit = kDefaultFit;
    std::wstring currentMonitor;
    bool undoAvailable = false;
    bool videoActive = false;
    bool startupKnown = false;  // the Startup shortcut could be looked up
    bool startupExists = false; // ... and it is there
    bool banner = false;        // the banner item leads the menu
};

// The menu's items for a state and the displays the shell lists, in order.
[[nodiscard]] std::vector<MenuItem> buildMenuModel(const MenuState& state,
                                                   const std::vector<DisplayWallpaper>& displays);

// "Display 2 · 1920 × 1080 (-1920, 0)" for the display listed at index (from 0).
[[nodiscard]] std::wstring displayLabel(std::uint32_t language, std::size_t index, const RECT& rect);
