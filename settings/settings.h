#pragma once
#include <windows.h>

#include <cstdint>
#include <iterator>
#include <optional>
#include <string>

#include "common/strings.h"
#include "common/wallpaper_modes.h"
#include "settings/file_system.h"

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

// The settings file and what it holds: read once at start, and changed one key at a time. Every
// setter writes its key first and changes the value in memory only when the file took it, so the
// file and the running program never disagree. Each write replaces the whole file through a rename,
// so the file is always the one before the change or the one after it. Key names live in
// settings_keys.h and value formats only here.
class Settings {
public:
    Settings() noexcept : files_(&win32FileSystem()) {}
    explicit Settings(FileSystem& files) noexcept : files_(&files) {}

    // Makes the data folder under localAppData, deletes the partial files a stopped run left in it,
    // carries the previous version's settings over on the first start and repairs a file the
    // profile functions cannot read whole.
    [[nodiscard]] HRESULT prepare(const std::wstring& localAppData) noexcept;
    // Reads every key of the prepared file. A key that is missing or out of range keeps its
    // default; without a stored fit, shellFit (the fit the desktop shows now) is taken.
    void read(FitMode shellFit) noexcept;

    [[nodiscard]] const std::wstring& dataFolder() const noexcept { return dataFolder_; }
    [[nodiscard]] const std::wstring& settingsPath() const noexcept { return settingsPath_; }
    // A fresh GUID-named ".png" path in the data folder; empty when no GUID could be made.
    [[nodiscard]] std::wstring newDataFilePath() const;
    // What the settings and the files of the data folder are written through.
    [[nodiscard]] FileSystem& fileSystem() const noexcept { return *files_; }

    [[nodiscard]] std::uint32_t language() const noexcept { return language_; }
    [[nodiscard]] std::int32_t slideshowInterval() const noexcept { return slideshowInterval_; }
    [[nodiscard]] FitMode fitMode() const noexcept { return fitMode_; }
    // The display for the next change; empty for all displays.
    [[nodiscard]] const std::wstring& targetMonitor() const noexcept { return targetMonitor_; }
    // The stored default picture, a file in the data folder; empty when none was chosen.
    [[nodiscard]] const std::wstring& defaultWallpaperPath() const noexcept { return defaultWallpaperPath_; }
    [[nodiscard]] std::int32_t widgetSize() const noexcept { return widgetSize_; }
    // The widget's saved top-left corner; nothing while it keeps to its default corner.
    [[nodiscard]] std::optional<POINT> widgetPosition() const noexcept { return widgetPosition_; }

    [[nodiscard]] HRESULT setLanguage(std::uint32_t language) noexcept;
    [[nodiscard]] HRESULT setSlideshowInterval(std::int32_t seconds) noexcept;
    [[nodiscard]] HRESULT setFitMode(FitMode fit) noexcept;
    [[nodiscard]] HRESULT setTargetMonitor(const std::wstring& monitorId) noexcept;
    // path must lie in the data folder; the file keeps its name only.
    [[nodiscard]] HRESULT setDefaultWallpaper(const std::wstring& path) noexcept;
    [[nodiscard]] HRESULT setWidgetSize(std::int32_t size) noexcept;
    [[nodiscard]] HRESULT setWidgetPosition(POINT position) noexcept;
    // Back to the default corner.
    [[nodiscard]] HRESULT resetWidgetPosition() noexcept;

private:
    [[nodiscard]] HRESULT write(const wchar_t* key, const std::wstring& value) noexcept;

    FileSystem* files_;
    std::wstring dataFolder_;
    std::wstring settingsPath_;
    std::uint32_t language_ = kEnglish;
    std::wstring defaultWallpaperPath_;
    std::int32_t slideshowInterval_ = kDefaultInterval;
    FitMode fitMode_ = kDefaultFit;
    std::wstring targetMonitor_;
    std::int32_t widgetSize_ = kDefaultWidgetSize;
    std::optional<POINT> widgetPosition_;
};

// The language stored in the settings file under localAppData, read without preparing anything
// (for a command line's help); English when there is none.
[[nodiscard]] std::uint32_t storedLanguage(const std::wstring& localAppData) noexcept;
