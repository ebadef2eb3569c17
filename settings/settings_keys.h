#pragma once
// The names in the settings file, for the reader, the writers and the repair alike.
#include <cstddef>
#include <string_view>

inline constexpr const wchar_t* kSettingsSection = L"Peltorine";
// The section the previous version kept in its own settings.ini.
inline constexpr const wchar_t* kPreviousSettingsSection = L"Corvandelle";

inline constexpr const wchar_t* kIntervalKey = L"Interval";
inline constexpr const wchar_t* kFitKey = L"Fit";
inline constexpr const wchar_t* kLanguageKey = L"Language";
inline constexpr const wchar_t* kDefaultKey = L"Default";
inline constexpr const wchar_t* kMonitorKey = L"Monitor";
inline constexpr const wchar_t* kWidgetPositionKey = L"WidgetPosition";
inline constexpr const wchar_t* kWidgetSizeKey = L"WidgetSize";
// The previous version's widget corner, read when WidgetPosition is missing.
inline constexpr const wchar_t* kWidgetXKey = L"WidgetX";
inline constexpr const wchar_t* kWidgetYKey = L"WidgetY";

inline constexpr std::wstring_view kKnownSettingsKeys[] = {
    kIntervalKey,       kFitKey,        kLanguageKey, kDefaultKey, kMonitorKey,
    kWidgetPositionKey, kWidgetSizeKey, kWidgetXKey,  kWidgetYKey,
};

// Text values are read into a buffer of one more character, so longer text is cut to this.
inline constexpr std::size_t kLongestSettingsValue = 511;
