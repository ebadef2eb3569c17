#include "settings/settings.h"

#include <algorithm>
#include <cstdint>
#include <cwchar>
#include <limits>
#include <optional>

#include "platform/win32_error.h"
#include "platform/monitors.h"
#include "settings/migration.h"
#include "platform/paths.h"
#include "common/picture_files.h"

namespace {

constexpr const wchar_t* kSection = L"Peltorine";
constexpr const wchar_t* kPreviousProductName = L"Corvandelle";
// Text values are read into this many characters, so longer values are cut to 511.
constexpr DWORD kValueBufferLength = 512;

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

std::wstring readText(const std::wstring& file, const wchar_t* key, const wchar_t* fallback)
{
    wchar_t value[kValueBufferLength] = {};
    GetPrivateProfileStringW(kSection, key, fallback, value, kValueBufferLength, file.c_str());
    return value;
}

// A whole number at the start of text, as GetPrivateProfileIntW reads one, but signed on every
// system: Windows' GetPrivateProfileIntW gives 0 for a negative value. Nothing for text that
// does not start with a number or does not fit.
std::optional<std::int32_t> parseInteger(const std::wstring& text) noexcept
{
    const wchar_t* start = text.c_str();
    while (*start == L' ' || *start == L'\t')
        ++start;
    wchar_t* end = nullptr;
    errno = 0;
    const long long value = std::wcstoll(start, &end, 10);
    if (end == start || errno != 0 || value < std::numeric_limits<std::int32_t>::min() ||
        value > std::numeric_limits<std::int32_t>::max())
        return std::nullopt;
    return static_cast<std::int32_t>(value);
}

std::optional<std::int32_t> readInteger(const std::wstring& file, const wchar_t* key)
{
    return parseInteger(readText(file, key, L""));
}

// "x,y" with a number on each side; anything after the second number is ignored.
std::optional<POINT> parsePosition(const std::wstring& text) noexcept
{
    long x = 0;
    long y = 0;
    if (swscanf_s(text.c_str(), L"%ld,%ld", &x, &y) != 2)
        return std::nullopt;
    return POINT{x, y};
}

} // namespace

HRESULT prepareSettingsFile(Settings& settings, const std::wstring& localAppData) noexcept
{
    settings.dataFolder = joinPath(localAppData, kProductName);
    if (const HRESULT hr = createFolder(settings.dataFolder); FAILED(hr))
        return hr;
    settings.settingsPath = joinPath(settings.dataFolder, L"settings.ini");
    if (const HRESULT hr = migrateSettings(settings.settingsPath, joinPath(localAppData, kPreviousProductName));
        FAILED(hr))
        return hr;
    return repairSettingsFile(settings.settingsPath);
}

void readSettings(Settings& settings, FitMode shellFit) noexcept
{
    const std::wstring& file = settings.settingsPath;

    if (const auto interval = readInteger(file, L"Interval"); interval && isAllowedInterval(*interval))
        settings.slideshowInterval = *interval;

    settings.fitMode = shellFit;
    if (const auto fit = readInteger(file, L"Fit"); fit && *fit >= FitCenter && *fit <= FitSpan)
        settings.fitMode = *fit;

    settings.language = readText(file, L"Language", L"en") == L"vi" ? kVietnamese : kEnglish;

    // Only a plain picture name inside the data folder; whether the file exists is checked on use.
    const std::wstring defaultName = readText(file, L"Default", L"");
    if (isBareFileName(defaultName) && isPicture(defaultName))
        settings.defaultWallpaperPath = joinPath(settings.dataFolder, defaultName);

    settings.targetMonitor = readText(file, L"Monitor", L"");

    const std::wstring position = readText(file, L"WidgetPosition", L"");
    if (const auto point = parsePosition(position)) {
        settings.widgetPosition = *point;
        settings.widgetPositionSet = true;
    } else if (position.empty()) {
        // The previous version kept the widget relative to the primary display's work area.
        const auto legacyX = readInteger(file, L"WidgetX");
        const auto legacyY = readInteger(file, L"WidgetY");
        if (legacyX && legacyY) {
            const RECT workArea = getMonitorMetrics(MonitorFromPoint(POINT{0, 0}, MONITOR_DEFAULTTOPRIMARY)).workArea;
            settings.widgetPosition = POINT{workArea.left + *legacyX, workArea.top + *legacyY};
            settings.widgetPositionSet = true;
        }
    }

    if (const auto size = readInteger(file, L"WidgetSize"))
        settings.widgetSize = std::clamp(*size, kMinimumWidgetSize, kMaximumWidgetSize);
}

HRESULT writeSetting(const Settings& settings, const wchar_t* key, const std::wstring& value) noexcept
{
    if (WritePrivateProfileStringW(kSection, key, value.c_str(), settings.settingsPath.c_str()))
        return S_OK;
    const HRESULT code = lastErrorResult();
    return FAILED(code) ? code : E_FAIL;
}
