#pragma once
// The displays the development desktop knows.
//
// A display's id is its monitor's device name from GetMonitorInfoW (MONITORINFOEXW::szDevice,
// for instance "\\.\DISPLAY1"): stable for as long as the monitor stays attached at that
// output, and what the desktop-wallpaper object hands out as the "device path".
#include "tools/desktop_wallpaper/devdesktop_state.h"

#include <windows.h>

#include <string>
#include <vector>

struct DevDesktopMonitor {
    std::wstring id;
    RECT rect{}; // virtual-screen pixels
};

// The monitors Windows reports now, in EnumDisplayMonitors order.
std::vector<DevDesktopMonitor> attachedMonitors();

// The bounding rectangle of all attached monitors (what Span covers).
RECT virtualScreenRect() noexcept;

struct ListedDisplay {
    std::wstring id;
    RECT rect{};
    bool attached = false;
};

// What the desktop-wallpaper object lists: the attached monitors, then displays that are no
// longer attached but still have a wallpaper on record.
std::vector<ListedDisplay> listedDisplays(const DevDesktopState& state);
const ListedDisplay* findDisplay(const std::vector<ListedDisplay>& displays, const wchar_t* id) noexcept;

// Every listed display shows the shell slideshow's current picture.
void showSlideshowPicture(DevDesktopState& state);

// Moves the shell slideshow one picture on; HRESULT_FROM_WIN32(ERROR_INVALID_STATE) when it
// has no pictures.
[[nodiscard]] HRESULT advanceSlideshowOf(DevDesktopState& state, DESKTOP_SLIDESHOW_DIRECTION direction);
