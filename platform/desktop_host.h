#pragma once
// The shell's windows behind the desktop: the window that holds the icon view
// ("SHELLDLL_DefView") and the wallpaper-layer worker behind it. Nothing is cached: the
// shell may recreate these windows at any time, so callers ask again whenever they
// (re)create their own windows.
#include <windows.h>

#include <cstdint>

// How long the program waits for the shell's desktop windows after they went or were missing
// (an Explorer restart, a shell still starting) before it gives up on them: the widget retries
// its placement until then, and a playing video waits that long for a new host.
inline constexpr std::uint64_t kShellWaitMs = 30000;

struct DesktopHost {
    // Parent for video windows, owner for the widget; null when there is no host.
    HWND hostWindow = nullptr;
    // The icon view inside hostWindow when a caller must stack below it; null otherwise.
    HWND iconView = nullptr;
    // hostWindow is "Progman" carrying WS_EX_NOREDIRECTIONBITMAP (the icon view and the
    // wallpaper share that one window).
    bool noRedirectionBitmap = false;
};

// The window that holds the desktop icons now; asks the shell for nothing.
[[nodiscard]] DesktopHost findIconViewHost() noexcept;

// With false, the icon view's host (the widget's owner). With true, first asks the shell
// to create its wallpaper-layer worker (message 0x052C, up to 500 ms per message), then
// returns the host for video windows.
[[nodiscard]] DesktopHost findDesktopHost(bool prepareWorker) noexcept;
