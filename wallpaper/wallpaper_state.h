#pragma once
#include "wallpaper/desktop_snapshot.h"

#include <cstdint>
#include <string>
#include <vector>

// One wallpaper set-up. Still has one file, Slideshow two or more, Video one; `index`
// always points into `files` for Still and Slideshow.
struct WallpaperState {
    WallpaperMode mode = ModeNone;
    std::vector<std::wstring> files;
    std::wstring monitor;
    FitMode fit = kDefaultFit;
    std::uint64_t index = 0;
    std::int32_t interval = 10;
    double position = 0.0;
};

// The one level of undo: the state before the last change and the whole desktop as it was.
struct UndoEntry {
    WallpaperState state;
    DesktopSnapshot desktop;
};
