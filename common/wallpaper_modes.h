#pragma once
// The two small enumerations that settings, the engine, the video, the menu and the widget
// all speak of.
#include <cstdint>

// How a picture is placed; the values are the shell's DESKTOP_WALLPAPER_POSITION.
using FitMode = std::int32_t;
enum : FitMode {
    FitCenter = 0,
    FitTile = 1,
    FitStretch = 2,
    FitFit = 3,
    FitFill = 4,
    FitSpan = 5,
};
inline constexpr FitMode kDefaultFit = FitFill;

// What the desktop shows of ours.
using WallpaperMode = std::int32_t;
enum : WallpaperMode {
    ModeNone = 0,
    ModeStill = 1,
    ModeSlideshow = 2,
    ModeVideo = 3,
};
