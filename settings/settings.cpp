#include "settings/settings.h"

#include <algorithm>
#include <cstdint>
#include <cwchar>
#include <limits>
#include <optional>
#include <string>

#include <objbase.h>

#include "platform/monitors.h"
#include "platform/win32_error.h"
#include "settings/ini_text.h"
#include "settings/migration.h"
#include "settings/settings_keys.h"
#include "platform/paths.h"
#include "common/picture_files.h"

namespace {

constexpr const wchar_t* kPreviousProductName = L"Corvandelle";
constexpr auto kValueBufferLength = static_cast<DWORD>(kLongestSettingsValue + 1);
// Braces, 32 hexadecimal digits, four hyphens and the terminator fit with room to spare.
constexpr int kGuidTextLength = 40;

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
    GetPrivateProfileStringW(kSettingsSection, key, fallback, value, kValueBufferLength, file.c_str());
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

HRESULT Settings::prepare(const std::wstring& localAppData) noexcept
{
    dataFolder_ = joinPath(localAppData, kProductName);
    if (const HRESULT hr = createFolder(dataFolder_); FAILED(hr))
        return hr;
    removePartialFiles(*files_, dataFolder_);
    settingsPath_ = joinPath(dataFolder_, L"settings.ini");
    if (const HRESULT hr = migrateSettings(settingsPath_, joinPath(localAppData, kPreviousProductName), *files_);
        FAILED(hr))
        return hr;
    return repairSettingsFile(settingsPath_, *files_);
}

void Settings::read(FitMode shellFit) noexcept
{
    const std::wstring& file = settingsPath_;

    if (const auto interval = readInteger(file, kIntervalKey); interval && isAllowedInterval(*interval))
        slideshowInterval_ = *interval;

    fitMode_ = shellFit;
    if (const auto fit = readInteger(file, kFitKey); fit && *fit >= FitCenter && *fit <= FitSpan)
        fitMode_ = *fit;

    language_ = readText(file, kLanguageKey, L"en") == L"vi" ? kVietnamese : kEnglish;

    // Only a plain picture name inside the data folder; whether the file exists is checked on use.
    const std::wstring defaultName = readText(file, kDefaultKey, L"");
    if (isBareFileName(defaultName) && isPicture(defaultName))
        defaultWallpaperPath_ = joinPath(dataFolder_, defaultName);

    targetMonitor_ = readText(file, kMonitorKey, L"");

    const std::wstring position = readText(file, kWidgetPositionKey, L"");
    if (const auto point = parsePosition(position)) {
        widgetPosition_ = *point;
    } else if (position.empty()) {
        // The previous version kept the widget relative to the primary display's work area.
        const auto legacyX = readInteger(file, kWidgetXKey);
        const auto legacyY = readInteger(file, kWidgetYKey);
        if (legacyX && legacyY) {
            const RECT workArea = getMonitorMetrics(MonitorFromPoint(POINT{0, 0}, MONITOR_DEFAULTTOPRIMARY)).workArea;
            widgetPosition_ = POINT{workArea.left + *legacyX, workArea.top + *legacyY};
        }
    }

    if (const auto size = readInteger(file, kWidgetSizeKey))
        widgetSize_ = std::clamp(*size, kMinimumWidgetSize, kMaximumWidgetSize);
}

std::wstring Settings::newDataFilePath() const
{
    GUID guid{};
    if (FAILED(CoCreateGuid(&guid)))
        return {};
    wchar_t text[kGuidTextLength] = {};
    if (StringFromGUID2(guid, text, kGuidTextLength) == 0)
        return {};
    return joinPath(dataFolder_, std::wstring(text) + L".png");
}

HRESULT Settings::setLanguage(std::uint32_t language) noexcept
{
    if (const HRESULT hr = write(kLanguageKey, language == kVietnamese ? L"vi" : L"en"); FAILED(hr))
        return hr;
    language_ = language == kVietnamese ? kVietnamese : kEnglish;
    return S_OK;
}

HRESULT Settings::setSlideshowInterval(std::int32_t seconds) noexcept
{
    if (const HRESULT hr = write(kIntervalKey, std::to_wstring(seconds)); FAILED(hr))
        return hr;
    slideshowInterval_ = seconds;
    return S_OK;
}

HRESULT Settings::setFitMode(FitMode fit) noexcept
{
    if (const HRESULT hr = write(kFitKey, std::to_wstring(fit)); FAILED(hr))
        return hr;
    fitMode_ = fit;
    return S_OK;
}

HRESULT Settings::setTargetMonitor(const std::wstring& monitorId) noexcept
{
    if (const HRESULT hr = write(kMonitorKey, monitorId); FAILED(hr))
        return hr;
    targetMonitor_ = monitorId;
    return S_OK;
}

HRESULT Settings::setDefaultWallpaper(const std::wstring& path) noexcept
{
    if (const HRESULT hr = write(kDefaultKey, fileNameOf(path)); FAILED(hr))
        return hr;
    defaultWallpaperPath_ = path;
    return S_OK;
}

HRESULT Settings::setWidgetSize(std::int32_t size) noexcept
{
    if (const HRESULT hr = write(kWidgetSizeKey, std::to_wstring(size)); FAILED(hr))
        return hr;
    widgetSize_ = size;
    return S_OK;
}

HRESULT Settings::setWidgetPosition(POINT position) noexcept
{
    wchar_t value[32] = {};
    swprintf(value, 32, L"%ld,%ld", static_cast<long>(position.x), static_cast<long>(position.y));
    if (const HRESULT hr = write(kWidgetPositionKey, value); FAILED(hr))
        return hr;
    widgetPosition_ = position;
    return S_OK;
}

HRESULT Settings::resetWidgetPosition() noexcept
{
    if (const HRESULT hr = write(kWidgetPositionKey, L"default"); FAILED(hr))
        return hr;
    widgetPosition_.reset();
    return S_OK;
}

HRESULT Settings::write(const wchar_t* key, const std::wstring& value) noexcept
{
    std::string bytes;
    // A settings file deleted while we run is made again.
    if (const HRESULT hr = readWholeFile(settingsPath_, bytes);
        FAILED(hr) && hr != HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND))
        return hr;
    const std::wstring text = withIniValue(decodeIniBytes(bytes), kSettingsSection, key, value);
    return writeFileAtomically(*files_, settingsPath_, encodeIniText(text), ExistingFile::Replace);
}

std::uint32_t storedLanguage(const std::wstring& localAppData) noexcept
{
    try {
        const std::wstring file = joinPath(joinPath(localAppData, kProductName), L"settings.ini");
        return readText(file, kLanguageKey, L"en") == L"vi" ? kVietnamese : kEnglish;
    } catch (...) {
        return kEnglish;
    }
}
