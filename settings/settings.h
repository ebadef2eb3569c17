#pragma once
#include <windows.h>

#include <cstdint>
#include <iterator>
#include <string>

#include "common/strings.h"
#include "common/wallpaper_modes.h"

// Every default and allowed value of the settings, for the loader and the menu alike.
inline constexpr std::int32_t kAllowedIntervals[] = {5, 10, 15, 30}; // seconds, in menu order
inline constexpr std::int32_t kDefaultInterval = 10;
inline constexpr std::int32_t kWidgetSizes[] = {48, 64, 96, 128}; // the menu's choices
inline constexpr std::int32_t kDefaultWidgetSize = 64;
// A stored widget size between these is kept; the menu offers the sizes above.
inline constexpr std::int32_t kMinimumWidgetSize = kWidgetSizes[0];
inline constexpr std::int32_t kMaximumWidgetSize = kWidgetSizes[std::size(kWidgetSizes) - 1];

[[nodiscard]] constexpr bool isAllowedInterval(std::int32_t seconds) noexcept
{
    for (const std::int32_t allowed : kAllowedIntervals) {
        if (allowed == seconds)
            return true;
    }
    return false;
}

// What settings.ini holds, read once at start, and where it lives.
struct Settings {
    std::uint32_t language = kEnglish;
    std::wstring dataFolder;
    std::wstring settingsPath;
    std::wstring defaultWallpaperPath;
    std::int32_t slideshowInterval = kDefaultInterval;
    FitMode fitMode = kDefaultFit;
    std::wstring targetMonitor;
    std::int32_t widgetSize = kDefaultWidgetSize;
    POINT widgetPosition{0, 0};
    bool widgetPositionSet = false;
};

// Makes the data folder under localAppData and migrates the previous version's settings on
// the first start; sets the folder and file paths of settings.
[[nodiscard]] HRESULT prepareSettingsFile(Settings& settings, const std::wstring& localAppData) noexcept;

// Reads every key of the prepared file. A key that is missing or out of range keeps its
// default; without a stored fit, shellFit (the fit the desktop shows now) is taken.
void readSettings(Settings& settings, FitMode shellFit) noexcept;

// Writes one key of the settings file.
[[nodiscard]] HRESULT writeSetting(const Settings& settings, const wchar_t* key, const std::wstring& value) noexcept;
