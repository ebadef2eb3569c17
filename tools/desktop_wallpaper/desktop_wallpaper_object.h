#pragma once
// The development desktop's desktop-wallpaper object: the shell's IDesktopWallpaper over the
// monitors Windows reports, with its state on disk (devdesktop_state.h) so that every process
// sees the same desktop.
//
// Model (the parts the shell's documentation leaves open are chosen to match tests' fakes):
// - Displays: the attached monitors in EnumDisplayMonitors order, then displays that are no
//   longer attached but still have a wallpaper on record. GetMonitorRECT answers S_OK for an
//   attached display, S_FALSE (and an empty rectangle) for a detached one, E_INVALIDARG for an
//   id it never listed. Null out-pointers give E_POINTER; an index past the list E_INVALIDARG.
// - SetWallpaper(null, path) sets every listed display, SetWallpaper(id, path) one. Either ends
//   the shell slideshow; a non-empty path must name an existing file and enables the wallpaper;
//   an empty path is stored as "no wallpaper" (the display shows the background colour).
// - GetWallpaper(null) gives the common path when every display shows the same one, else (or
//   while a shell slideshow runs) S_FALSE and an empty string. Strings are CoTaskMemAlloc'd.
// - SetSlideshow takes files of one folder or the folder itself, shows the first picture on
//   every display and enables the wallpaper; GetSlideshow without a slideshow gives S_OK and
//   null. AdvanceSlideshow moves every display to the next (or previous) picture; shuffle is
//   recorded but the order stays the file-name order.
// - GetStatus: DSS_ENABLED while enabled, DSS_SLIDESHOW while a shell slideshow is set.
#include <windows.h>
#include <objbase.h>
#include <shobjidl.h>

// Counts live objects, class objects and server locks for DllCanUnloadNow.
void moduleAddReference() noexcept;
void moduleReleaseReference() noexcept;
bool moduleInUse() noexcept;

// Makes a new object and asks it for `iid`.
[[nodiscard]] HRESULT createDevDesktopWallpaper(REFIID iid, void** object) noexcept;
