#pragma once
#include <windows.h>
#include <shobjidl.h>

#include <string>
#include <vector>

#include "wallpaper/desktop_snapshot.h"

// The engine's whole contact with the shell's desktop-wallpaper object.

// Attached displays in the shell's order; a display whose rectangle cannot be read is left out.
[[nodiscard]] std::vector<DisplayWallpaper> listDisplays(IDesktopWallpaper& desktop);

// Records everything the shell reports; 0x80070490 when no display is listed.
[[nodiscard]] HRESULT captureDesktop(IDesktopWallpaper& desktop, DesktopSnapshot& snapshot);

// Puts a snapshot back; tries every step and returns the first failure.
[[nodiscard]] HRESULT restoreDesktop(IDesktopWallpaper& desktop, const DesktopSnapshot& snapshot);

// Shows one picture on one display (or on all for the empty id) with a fit.
[[nodiscard]] HRESULT applyStillImage(IDesktopWallpaper& desktop, const std::wstring& monitorId,
                                      const std::wstring& imagePath, FitMode fit);

// The displays an id covers: all for the empty id, else the one with that id (if attached).
[[nodiscard]] std::vector<DisplayWallpaper> targetDisplaysOf(IDesktopWallpaper& desktop, const std::wstring& monitorId);

// The display a new wallpaper goes to: all displays under Span, else the chosen one.
[[nodiscard]] std::wstring displayForNextChange(FitMode fitMode, const std::wstring& targetMonitor);
