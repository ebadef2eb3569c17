#pragma once
#include <windows.h>
#include <shobjidl.h>
#include <wrl/client.h>

#include <cstdint>
#include <string>
#include <vector>

#include "common/wallpaper_modes.h"

// One attached display. A display is its device path, compared exactly; the empty id
// means all displays.
struct DisplayWallpaper {
    std::wstring monitorId;
    RECT rect{};
    std::wstring wallpaper;
};

// A display the shell lists but whose rectangle or wallpaper could not be read, with the
// failure. The id is empty when even the display's path could not be read.
struct UnreadableDisplay {
    std::wstring monitorId;
    HRESULT error = S_OK;
};

// Everything the shell reports about the wallpaper at one moment. Moved, never copied.
struct DesktopSnapshot {
    std::vector<DisplayWallpaper> displays;
    // Displays that could not be captured: a change that would touch one is refused.
    std::vector<UnreadableDisplay> unreadable;
    Microsoft::WRL::ComPtr<IShellItemArray> slideshowItems;
    std::uint32_t slideshowOptions = 0;
    std::uint32_t slideshowTick = 0;
    FitMode position = kDefaultFit;
    COLORREF backgroundColor = 0;
    bool enabled = false;

    DesktopSnapshot() = default;
    DesktopSnapshot(DesktopSnapshot&&) = default;
    DesktopSnapshot& operator=(DesktopSnapshot&&) = default;
    DesktopSnapshot(const DesktopSnapshot&) = delete;
    DesktopSnapshot& operator=(const DesktopSnapshot&) = delete;
};
