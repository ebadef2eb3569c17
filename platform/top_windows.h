#pragma once
// The top-level windows that stand between the user and the desktop: what may hide a video
// wallpaper. Only the windows are asked; whether they cover anything is video/occlusion.h's.
#include <windows.h>

#include <vector>

// The screen rectangles, topmost first, of the visible, non-minimized, non-cloaked top-level
// windows above the desktop layer: the walk down the z-order stops at the top-level window that
// holds desktopLayer, at "Progman" or at the window that holds the icon view, whichever comes
// first. A window's rectangle is its visible frame where the window manager tells it, else its
// window rectangle. Click-through overlays (layered and transparent) show what lies behind them
// and are left out. Empty when memory runs out.
[[nodiscard]] std::vector<RECT> topWindowsAboveDesktop(HWND desktopLayer) noexcept;
