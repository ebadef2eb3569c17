#pragma once
// The development desktop's windows: the shell's "Progman" with its icon view
// "SHELLDLL_DefView", and on request the wallpaper-layer "WorkerW", all painted from the
// shared wallpaper state and kept at the bottom of the z-order.
//
// Two shell layouts:
// - Windows10: "Progman" holds the icon view and paints the wallpaper until it is sent 0x052C.
//   Then it shows, once, a top-level "WorkerW" over the whole screen, right behind itself in
//   z-order (made hidden with the desktop), which paints the wallpaper from then on (and takes
//   video windows as children);
//   "Progman" gets an empty window region so that the worker shows through it.
// - Windows11: "Progman" carries WS_EX_NOREDIRECTIONBITMAP, paints the wallpaper itself and
//   never creates a worker; video windows become layered children of "Progman" below the icon
//   view, which is transparent and paints nothing.
#include "tools/desktop/wallpaper_painter.h"
#include "tools/desktop_wallpaper/devdesktop_state.h"

#include <windows.h>

#include <string>
#include <vector>

enum class DesktopLayout { Windows10, Windows11 };

class DevDesktop {
public:
    explicit DevDesktop(DesktopLayout layout) noexcept : layout_(layout) {}
    ~DevDesktop();
    DevDesktop(const DevDesktop&) = delete;
    DevDesktop& operator=(const DevDesktop&) = delete;

    // Creates the windows and shows the desktop without taking the focus.
    [[nodiscard]] HRESULT create(HINSTANCE instance) noexcept;

private:
    static constexpr UINT kSpawnWorkerMessage = 0x052C;
    static constexpr UINT_PTR StackCheckTimer = 1;
    static constexpr UINT StackCheckIntervalMs = 250;
    static constexpr UINT_PTR SlideshowTimer = 2;

    LRESULT wallpaperSurfaceMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) noexcept;
    LRESULT progmanMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) noexcept;
    LRESULT workerMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) noexcept;
    LRESULT iconViewMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) noexcept;
    LRESULT controlMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) noexcept;

    [[nodiscard]] HRESULT registerClasses() noexcept;
    void reloadState() noexcept;
    void layoutWindows() noexcept;
    void showWallpaperWorker() noexcept;
    void keepAtBottom(HWND window, WINDOWPOS& position) noexcept;
    bool stackingIsRight() const noexcept;
    void restack() noexcept;
    void paintWallpaper(HWND window) noexcept;
    void advanceSlideshow() noexcept;

    DesktopLayout layout_;
    HINSTANCE instance_ = nullptr;
    UINT changedMessage_ = 0;
    WallpaperPainter painter_;
    DevDesktopState state_;
    // The slideshow settings the timer was armed for.
    std::vector<std::wstring> timedSlideshowItems_;
    UINT timedSlideshowTick_ = 0;
    // Windows, destroyed in reverse order.
    HWND control_ = nullptr;
    HWND progman_ = nullptr;
    HWND iconView_ = nullptr;
    HWND worker_ = nullptr;
    bool workerShown_ = false;
    bool restacking_ = false;
};

// One line on the program's standard output, when it has one.
void sayLine(const wchar_t* format, ...) noexcept;
