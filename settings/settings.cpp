#include <windows.h>
#include <objbase.h>
#include <shlobj.h>

#include <algorithm>
#include <cstdint>
#include <cwchar>
#include <iterator>
#include <limits>

#include "app/application.h"
#include "app/win32_error.h"
#include "settings/migration.h"
#include "settings/paths.h"
#include "wallpaper/file_rules.h"

namespace {

constexpr const wchar_t* kSection = L"Peltorine";
constexpr const wchar_t* kPreviousProductName = L"Corvandelle";
// Text values are read into this many characters, so longer values are cut to 511.
constexpr DWORD kValueBufferLength = 512;
constexpr std::int32_t kAllowedIntervals[] = {5, 10, 15, 30};
constexpr std::int32_t kMinimumWidgetSize = 48;
constexpr std::int32_t kMaximumWidgetSize = 128;
// What a missing legacy widget coordinate reads as.
constexpr std::int32_t kMissingCoordinate = std::numeric_limits<std::int32_t>::min();

bool isFolder(const std::wstring& path) noexcept
{
    const DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

// Creates folder and every missing parent, one level at a time.
HRESULT createFolder(const std::wstring& folder) noexcept
{
    if (CreateDirectoryW(folder.c_str(), nullptr))
        return S_OK;
    DWORD error = GetLastError();
    if (error == ERROR_PATH_NOT_FOUND) {
        const std::wstring parent = parentFolderOf(folder);
        if (parent.empty() || parent == folder)
            return hresultFromWin32(error);
        if (const HRESULT hr = createFolder(parent); FAILED(hr))
            return hr;
        if (CreateDirectoryW(folder.c_str(), nullptr))
            return S_OK;
        error = GetLastError();
    }
    // A file of that name is not the folder we need.
    if (error == ERROR_ALREADY_EXISTS && isFolder(folder))
        return S_OK;
    return hresultFromWin32(error);
}

std::int32_t readInteger(const std::wstring& file, const wchar_t* key, std::int32_t fallback) noexcept
{
    return static_cast<std::int32_t>(GetPrivateProfileIntW(kSection, key, fallback, file.c_str()));
}

std::wstring readText(const std::wstring& file, const wchar_t* key, const wchar_t* fallback)
{
    wchar_t value[kValueBufferLength] = {};
    GetPrivateProfileStringW(kSection, key, fallback, value, kValueBufferLength, file.c_str());
    return value;
}

// The primary display's work area; the previous version kept the widget relative to it.
RECT primaryWorkArea() noexcept
{
    MONITORINFO info{};
    info.cbSize = sizeof(info);
    if (GetMonitorInfoW(MonitorFromPoint(POINT{0, 0}, MONITOR_DEFAULTTOPRIMARY), &info))
        return info.rcWork;
    RECT workArea{};
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &workArea, 0);
    return workArea;
}

} // namespace

HRESULT Application::loadSettings() noexcept
{
    PWSTR folder = nullptr;
    const HRESULT hr = SHGetKnownFolderPath(FOLDERID_LocalAppData, 0, nullptr, &folder);
    // The shell's string is freed whether or not the call succeeded.
    const std::wstring localAppData = SUCCEEDED(hr) && folder ? folder : L"";
    CoTaskMemFree(folder);
    if (FAILED(hr))
        return hr;
    return loadSettingsFrom(localAppData);
}

HRESULT Application::loadSettingsFrom(const std::wstring& localAppData) noexcept
{
    dataFolder = joinPath(localAppData, kProductName);
    if (const HRESULT hr = createFolder(dataFolder); FAILED(hr))
        return hr;
    settingsPath = joinPath(dataFolder, L"settings.ini");
    if (const HRESULT hr = migrateSettings(settingsPath, joinPath(localAppData, kPreviousProductName)); FAILED(hr))
        return hr;

    // Without a stored fit the shell's current one is kept; a failed call leaves the default.
    if (desktopWallpaper) {
        auto position = static_cast<DESKTOP_WALLPAPER_POSITION>(fitMode);
        (void)desktopWallpaper->GetPosition(&position);
        fitMode = static_cast<FitMode>(position);
    }

    const std::int32_t interval = readInteger(settingsPath, L"Interval", 10);
    if (std::find(std::begin(kAllowedIntervals), std::end(kAllowedIntervals), interval) != std::end(kAllowedIntervals))
        slideshowInterval = interval;

    // Taken as unsigned, so negative values do not pass.
    const UINT fit = GetPrivateProfileIntW(kSection, L"Fit", fitMode, settingsPath.c_str());
    if (fit <= FitSpan)
        fitMode = static_cast<FitMode>(fit);

    language = readText(settingsPath, L"Language", L"en") == L"vi" ? kVietnamese : kEnglish;

    // Only a plain picture name inside the data folder; whether the file exists is checked on use.
    const std::wstring defaultName = readText(settingsPath, L"Default", L"");
    if (isBareFileName(defaultName) && isPicture(defaultName))
        defaultWallpaperPath = joinPath(dataFolder, defaultName);

    targetMonitor = readText(settingsPath, L"Monitor", L"");

    const std::wstring position = readText(settingsPath, L"WidgetPosition", L"");
    long x = 0;
    long y = 0;
    if (swscanf_s(position.c_str(), L"%ld,%ld", &x, &y) == 2) {
        widgetPosition = POINT{x, y};
        widgetPositionSet = true;
    } else if (position.empty()) {
        const std::int32_t legacyX = readInteger(settingsPath, L"WidgetX", kMissingCoordinate);
        const std::int32_t legacyY = readInteger(settingsPath, L"WidgetY", kMissingCoordinate);
        if (legacyX != kMissingCoordinate && legacyY != kMissingCoordinate) {
            const RECT workArea = primaryWorkArea();
            widgetPosition = POINT{workArea.left + legacyX, workArea.top + legacyY};
            widgetPositionSet = true;
        }
    }

    widgetSize = std::clamp(readInteger(settingsPath, L"WidgetSize", 64), kMinimumWidgetSize, kMaximumWidgetSize);
    return S_OK;
}

bool Application::writeSetting(const wchar_t* key, const std::wstring& value) noexcept
{
    if (WritePrivateProfileStringW(kSection, key, value.c_str(), settingsPath.c_str()))
        return true;
    const HRESULT code = lastErrorResult();
    showNotification(text(kSettingsSaveFailed), code);
    return false;
}
