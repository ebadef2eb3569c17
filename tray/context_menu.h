#pragma once
#include <windows.h>
#include <wincodec.h>

#include <vector>

#include "tray/menu_model.h"

// Shows the context menu for state at point, owned by window (which must be able to take the
// foreground), and returns the command chosen, or 0. The banner comes from the module's resources
// unless the system runs in high contrast; displays are the entries of the display submenu.
[[nodiscard]] UINT trackContextMenu(HWND window, POINT point, MenuState state,
                                    const std::vector<DisplayWallpaper>& displays, IWICImagingFactory* imaging,
                                    HINSTANCE instance, bool highContrast) noexcept;
