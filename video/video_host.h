#pragma once
// The shell's window that the video windows become children of, as the desktop-host lookup
// reports it, and the lookup itself as a function so that tests can hand in their own.
#include <windows.h>

#include <functional>

struct VideoHost {
    HWND hostWindow = nullptr;        // parent of the video windows; null when none was found
    HWND iconView = nullptr;          // the icon view to stack below, or null for the top
    bool noRedirectionBitmap = false; // "Progman" with WS_EX_NOREDIRECTIONBITMAP: layered children
};

using VideoHostLookup = std::function<VideoHost()>;
