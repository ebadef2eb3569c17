#pragma once
#include <cstdint>

// Every text the user sees, in English and Vietnamese (precomposed, NFC). The language
// is chosen at the moment of use, never cached.
struct LocalizedText {
    const wchar_t* english;
    const wchar_t* vietnamese;
};

enum : std::uint32_t { kEnglish = 0, kVietnamese = 1 };

[[nodiscard]] constexpr const wchar_t* pick(const LocalizedText& entry, std::uint32_t language) noexcept
{
    return language == kVietnamese ? entry.vietnamese : entry.english;
}

// Texts that read the same in both languages.
inline constexpr const wchar_t* kProductName = L"Peltorine";
inline constexpr const wchar_t* kEnglishLanguageName = L"English";
inline constexpr const wchar_t* kVietnameseLanguageName = L"Tiếng Việt";

extern const LocalizedText kIdleTooltip;
extern const LocalizedText kPicturesFilter;
extern const LocalizedText kPicturesOrVideoFilter;
extern const LocalizedText kChooseWallpaperItem;
extern const LocalizedText kChooseDefaultWallpaperItem;
extern const LocalizedText kChooseWallpaperTitle;
extern const LocalizedText kChooseDefaultWallpaperTitle;
extern const LocalizedText kRestoreDefaultItem;
extern const LocalizedText kUndoItem;
extern const LocalizedText kFitSubmenu;
extern const LocalizedText kIntervalSuffix;
extern const LocalizedText kIntervalSubmenu;
extern const LocalizedText kAllDisplaysItem;
extern const LocalizedText kDisplayPrefix;
extern const LocalizedText kDisplaySubmenu;
extern const LocalizedText kUseVideoFrameItem;
extern const LocalizedText kDefaultSizeSuffix;
extern const LocalizedText kMoveToCornerItem;
extern const LocalizedText kWidgetSubmenu;
extern const LocalizedText kStartWithWindowsItem;
extern const LocalizedText kLanguageSubmenu;
extern const LocalizedText kExitItem;
extern const LocalizedText kSettingsSaveFailed;
extern const LocalizedText kStartupChangeFailed;
extern const LocalizedText kDefaultSaveFailed;
extern const LocalizedText kDefaultSaved;
extern const LocalizedText kInvalidSelection;
extern const LocalizedText kImageOpenFailedPrefix;
extern const LocalizedText kVideoTooltip;
extern const LocalizedText kSlideshowTooltip;
extern const LocalizedText kVideoOpenFailed;
extern const LocalizedText kWallpaperChangeFailed;
extern const LocalizedText kVideoFitUndoFailed;
extern const LocalizedText kVideoFrameFailed;
extern const LocalizedText kFitChangeFailed;
extern const LocalizedText kOpeningVideoTooltip;
extern const LocalizedText kOpeningPicturesTooltip;
extern const LocalizedText kVideoPlayFailed;
extern const LocalizedText kVideoStopped;
extern const LocalizedText kSlideshowFailed;
extern const LocalizedText kStartFailedFormat;
extern const LocalizedText kNoSlideshowRunning;
extern const LocalizedText kNothingToUndo;
extern const LocalizedText kNoDefaultWallpaper;
extern const LocalizedText kNoVideoPlaying;
extern const LocalizedText kNoSuchDisplay;
extern const LocalizedText kSpanNeedsAllDisplays;
extern const LocalizedText kNoAnswer;
// Fit-mode names indexed by the FitMode value: Center, Tile, Stretch, Fit, Fill, Span.
extern const LocalizedText kFitNames[6];
