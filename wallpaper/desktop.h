#pragma once
#include <windows.h>
#include <shobjidl.h>

#include <string>
#include <vector>

#include "wallpaper/desktop_snapshot.h"

// The engine's whole contact with the shell's desktop-wallpaper object.

// Attached displays in the shell's order; a display whose rectangle cannot be read is left out.
[[nodiscard]] std::vector<DisplayWallpaper> listDisplays(IDesktopWallpaper& desktop);

// Records everything the shell reports. A display whose rectangle or wallpaper cannot be read
// goes into snapshot.unreadable and does not fail the capture; without any readable display
// the capture fails (0x80070490 when none is listed at all).
[[nodiscard]] HRESULT captureDesktop(IDesktopWallpaper& desktop, DesktopSnapshot& snapshot);

// The failure of the first display in captured.unreadable that a change would touch, or S_OK.
// A picture for monitorId touches that display, or every display for the empty id; a restore
// of target touches every display under a shell slideshow or Span, else the displays it holds.
[[nodiscard]] HRESULT unreadableTouchedBy(const DesktopSnapshot& captured, const std::wstring& monitorId);
[[nodiscard]] HRESULT unreadableTouchedByRestore(const DesktopSnapshot& captured, const DesktopSnapshot& target);

// Puts a snapshot back; tries every step and every display, and returns the first failure.
[[nodiscard]] HRESULT restoreDesktop(IDesktopWallpaper& desktop, const DesktopSnapshot& snapshot);

// Shows one picture on one display (or on all for the empty id) with a fit.
[[nodiscard]] HRESULT applyStillImage(IDesktopWallpaper& desktop, const std::wstring& monitorId,
                                      const std::wstring& imagePath, FitMode fit);

// The displays an id covers: all for the empty id, else the one with that id (if attached).
[[nodiscard]] std::vector<DisplayWallpaper> targetDisplaysOf(IDesktopWallpaper& desktop, const std::wstring& monitorId);

// The display a new wallpaper goes to: all displays under Span, else the chosen one.
[[nodiscard]] std::wstring displayForNextChange(FitMode fitMode, const std::wstring& targetMonitor);
