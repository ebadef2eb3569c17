#pragma once
// `peltorine_devdesktop.exe --set ...`: changes the desktop the way a user would in Settings,
// through whatever object is registered for CLSID_DesktopWallpaper.
#include <string>
#include <vector>

// Options: --wallpaper=PATH, --monitor=ID (default: all displays), --position=NAME|0..5,
// --color=RRGGBB, --enable=0|1. Returns the process exit code (0 when every call succeeded).
int runWallpaperCommand(const std::vector<std::wstring>& options) noexcept;
