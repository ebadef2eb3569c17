#include "tools/desktop/desktop_windows.h"
#include "platform/window_thunk.h"

#include "platform/win32_error.h"
#include "tools/desktop_wallpaper/devdesktop_displays.h"

#include <algorithm>
#include <cstdarg>
#include <cstring>
#include <cwchar>
#include <string>

namespace {

constexpr wchar_t kProgmanClass[] = L"Progman";
constexpr wchar_t kIconViewClass[] = L"SHELLDLL_DefView";
constexpr wchar_t kWorkerClass[] = L"WorkerW";

// Kept out of the task switcher, and never given the focus.
constexpr DWORD kDesktopExStyle = WS_EX_TOOLWINDOW | WS_EX_NOACTIVATE;
constexpr UINT kZOrderOnly = SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE | SWP_NOOWNERZORDER;

bool visibleWindowFollows(HWND window) noexcept
{
    for (HWND next = GetWindow(window, GW_HWNDNEXT); next; next = GetWindow(next, GW_HWNDNEXT))
        if (IsWindowVisible(next))
            return true;
    return false;
}

} // namespace

void sayLine(const wchar_t* format, ...) noexcept
{
    const HANDLE output = GetStdHandle(STD_OUTPUT_HANDLE);
    if (!output || output == INVALID_HANDLE_VALUE)
        return;
    wchar_t text[1024] = {};
    va_list arguments;
    va_start(arguments, format);
    vswprintf(text, 1024, format, arguments);
    va_end(arguments);
    char bytes[4096] = "[devdesktop] ";
    const int prefix = static_cast<int>(strlen(bytes));
    const int length = WideCharToMultiByte(CP_UTF8, 0, text, -1, bytes + prefix,
                                           static_cast<int>(sizeof(bytes)) - prefix - 1, nullptr, nullptr);
    if (length <= 0)
        return;
    bytes[prefix + length - 1] = '\n';
    DWORD written = 0;
    WriteFile(output, bytes, static_cast<DWORD>(prefix + length), &written, nullptr);
}

DevDesktop::~DevDesktop()
{
    for (HWND* window : {&worker_, &iconView_, &progman_, &control_}) {
        if (*window)
            DestroyWindow(*window);
        *window = nullptr;
    }
}

HRESULT DevDesktop::registerClasses() noexcept
{
    struct ClassInfo {
        const wchar_t* name;
        WNDPROC procedure;
    };
    const ClassInfo classes[] = {
        {kProgmanClass, &windowThunk<DevDesktop, &DevDesktop::progmanMessage>},
        {kIconViewClass, &windowThunk<DevDesktop, &DevDesktop::iconViewMessage>},
        {kWorkerClass, &windowThunk<DevDesktop, &DevDesktop::workerMessage>},
        {kDevDesktopControlClass, &windowThunk<DevDesktop, &DevDesktop::controlMessage>},
    };
    for (const ClassInfo& info : classes) {
        WNDCLASSEXW windowClass{};
        windowClass.cbSize = sizeof(windowClass);
        windowClass.lpfnWndProc = info.procedure;
        windowClass.hInstance = instance_;
        windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
        windowClass.lpszClassName = info.name;
        if (!RegisterClassExW(&windowClass))
            return lastErrorResult();
    }
    return S_OK;
}

HRESULT DevDesktop::create(HINSTANCE instance) noexcept
{
    instance_ = instance;
    changedMessage_ = RegisterWindowMessageW(kDevDesktopChangedMessage);
    if (const HRESULT hr = painter_.initialize(); FAILED(hr))
        return hr;
    if (const HRESULT hr = registerClasses(); FAILED(hr))
        return hr;

    control_ = CreateWindowExW(0, kDevDesktopControlClass, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, instance_, this);
    if (!control_)
        return lastErrorResult();

    const RECT screen = virtualScreenRect();
    // Wine only ever raises a window on the X side; HWND_BOTTOM changes its own order, not the X
    // stacking, in which a window stays where it was made. So every window of the desktop is made
    // now, before the programs it should lie under make theirs, and the Windows 10 worker waits
    // hidden for 0x052C; made behind "Progman", it lies below it on the X side as well.
    if (layout_ == DesktopLayout::Windows10) {
        worker_ = CreateWindowExW(kDesktopExStyle, kWorkerClass, L"", WS_POPUP | WS_CLIPCHILDREN | WS_CLIPSIBLINGS,
                                  screen.left, screen.top, screen.right - screen.left, screen.bottom - screen.top,
                                  nullptr, nullptr, instance_, this);
        if (!worker_)
            return lastErrorResult();
    }
    const DWORD progmanExStyle =
        kDesktopExStyle | (layout_ == DesktopLayout::Windows11 ? WS_EX_NOREDIRECTIONBITMAP : 0);
    // Created hidden: a window shown at creation is raised again when X maps it.
    progman_ = CreateWindowExW(
        progmanExStyle, kProgmanClass, L"Program Manager", WS_POPUP | WS_CLIPCHILDREN | WS_CLIPSIBLINGS, screen.left,
        screen.top, screen.right - screen.left, screen.bottom - screen.top, nullptr, nullptr, instance_, this);
    if (!progman_)
        return lastErrorResult();
    // The icon view covers "Progman" like the shell's does; it is transparent and paints nothing.
    iconView_ =
        CreateWindowExW(WS_EX_TRANSPARENT, kIconViewClass, L"", WS_CHILD | WS_VISIBLE, 0, 0, screen.right - screen.left,
                        screen.bottom - screen.top, progman_, nullptr, instance_, this);
    if (!iconView_)
        return lastErrorResult();

    reloadState();
    restacking_ = true;
    SetWindowPos(progman_, HWND_BOTTOM, 0, 0, 0, 0, kZOrderOnly | SWP_SHOWWINDOW);
    restacking_ = false;
    // Wine raises a new top-level window again when X maps it; the check puts it back.
    SetTimer(control_, StackCheckTimer, StackCheckIntervalMs, nullptr);
    sayLine(L"Progman %p with SHELLDLL_DefView %p over (%ld,%ld)-(%ld,%ld), layout %ls", static_cast<void*>(progman_),
            static_cast<void*>(iconView_), screen.left, screen.top, screen.right, screen.bottom,
            layout_ == DesktopLayout::Windows11 ? L"win11 (WS_EX_NOREDIRECTIONBITMAP, no WorkerW)" : L"win10");
    return S_OK;
}

void DevDesktop::reloadState() noexcept
{
    DevDesktopState state;
    if (const HRESULT hr = readDevDesktopState(state); FAILED(hr)) {
        sayLine(L"cannot read the wallpaper state (0x%08lX); keeping the last one", static_cast<unsigned long>(hr));
        return;
    }
    try {
        state_ = std::move(state);
        painter_.compose(state_, attachedMonitors(), virtualScreenRect());
        if (state_.slideshowItems != timedSlideshowItems_ || state_.slideshowTick != timedSlideshowTick_) {
            KillTimer(control_, SlideshowTimer);
            timedSlideshowItems_ = state_.slideshowItems;
            timedSlideshowTick_ = state_.slideshowTick;
            if (state_.slideshowRunning() && state_.slideshowTick > 0)
                SetTimer(control_, SlideshowTimer, std::max<UINT>(state_.slideshowTick, 1000), nullptr);
        }
    } catch (...) {
        return;
    }
    for (HWND window : {progman_, worker_})
        if (window)
            InvalidateRect(window, nullptr, FALSE);
}

void DevDesktop::layoutWindows() noexcept
{
    const RECT screen = virtualScreenRect();
    const int width = screen.right - screen.left;
    const int height = screen.bottom - screen.top;
    for (HWND window : {progman_, worker_})
        if (window)
            SetWindowPos(window, nullptr, screen.left, screen.top, width, height,
                         SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOOWNERZORDER);
    if (iconView_)
        SetWindowPos(iconView_, nullptr, 0, 0, width, height, SWP_NOZORDER | SWP_NOACTIVATE);
}

void DevDesktop::showWallpaperWorker() noexcept
{
    if (!worker_ || workerShown_)
        return;
    workerShown_ = true;
    restacking_ = true;
    SetWindowPos(worker_, progman_, 0, 0, 0, 0, kZOrderOnly | SWP_SHOWWINDOW);
    restacking_ = false;
    // The worker paints the wallpaper now; "Progman" and its icon view let it show through.
    SetWindowRgn(progman_, CreateRectRgn(0, 0, 0, 0), TRUE);
    sayLine(L"0x052C: showed WorkerW %p right behind Progman (next after Progman: %p)", static_cast<void*>(worker_),
            static_cast<void*>(GetWindow(progman_, GW_HWNDNEXT)));
}

void DevDesktop::keepAtBottom(HWND window, WINDOWPOS& position) noexcept
{
    if (restacking_ || (position.flags & SWP_NOZORDER))
        return;
    // Without SWP_NOACTIVATE the window manager brings an activated window to the top after
    // this message, whatever it says.
    position.flags |= SWP_NOACTIVATE;
    if (window == progman_ && workerShown_) {
        // "Progman" stays right in front of the worker: whoever moves it, it does not move.
        position.flags |= SWP_NOZORDER;
        return;
    }
    position.hwndInsertAfter = HWND_BOTTOM;
}

bool DevDesktop::stackingIsRight() const noexcept
{
    // GetWindow walks, not FindWindowExW: Wine's FindWindowExW cannot start after a window of
    // another class.
    if (!workerShown_)
        return !visibleWindowFollows(progman_);
    return GetWindow(progman_, GW_HWNDNEXT) == worker_ && !visibleWindowFollows(worker_);
}

void DevDesktop::restack() noexcept
{
    restacking_ = true;
    SetWindowPos(progman_, HWND_BOTTOM, 0, 0, 0, 0, kZOrderOnly);
    if (workerShown_)
        SetWindowPos(worker_, progman_, 0, 0, 0, 0, kZOrderOnly);
    restacking_ = false;
}

void DevDesktop::paintWallpaper(HWND window) noexcept
{
    PAINTSTRUCT paint{};
    HDC dc = BeginPaint(window, &paint);
    if (!dc)
        return;
    // WS_CLIPCHILDREN leaves out children with WS_EX_TRANSPARENT, and the video windows that
    // programs put here have it: never paint over a child other than the icon view.
    for (HWND child = GetWindow(window, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        if (child == iconView_ || !IsWindowVisible(child))
            continue;
        RECT area{};
        GetWindowRect(child, &area);
        MapWindowPoints(HWND_DESKTOP, window, reinterpret_cast<POINT*>(&area), 2);
        ExcludeClipRect(dc, area.left, area.top, area.right, area.bottom);
    }
    painter_.paint(window, dc, paint.rcPaint);
    EndPaint(window, &paint);
}

void DevDesktop::advanceSlideshow() noexcept
{
    const HRESULT hr = updateDevDesktopState([](DevDesktopState& state) {
        return state.slideshowRunning() ? advanceSlideshowOf(state, DSD_FORWARD) : S_FALSE;
    });
    if (FAILED(hr))
        sayLine(L"cannot advance the shell slideshow (0x%08lX)", static_cast<unsigned long>(hr));
}

// What Progman and the wallpaper worker have in common: they stay at the bottom, never take
// the focus and paint the wallpaper.
LRESULT DevDesktop::wallpaperSurfaceMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) noexcept
{
    switch (message) {
    case WM_WINDOWPOSCHANGING:
        keepAtBottom(window, *reinterpret_cast<WINDOWPOS*>(lParam));
        return 0;
    case WM_MOUSEACTIVATE:
        return MA_NOACTIVATE;
    case WM_ERASEBKGND:
        return 1;
    case WM_PAINT:
        paintWallpaper(window);
        return 0;
    case WM_PRINTCLIENT: {
        RECT client{};
        GetClientRect(window, &client);
        painter_.paint(window, reinterpret_cast<HDC>(wParam), client);
        return 0;
    }
    default:
        return DefWindowProcW(window, message, wParam, lParam);
    }
}

LRESULT DevDesktop::progmanMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) noexcept
{
    switch (message) {
    case kSpawnWorkerMessage:
        if (layout_ == DesktopLayout::Windows10)
            showWallpaperWorker();
        return 0;
    case WM_DISPLAYCHANGE:
        layoutWindows();
        reloadState();
        return 0;
    case WM_CLOSE:
        sayLine(L"WM_CLOSE: closing the desktop");
        PostQuitMessage(0);
        return 0;
    default:
        return wallpaperSurfaceMessage(window, message, wParam, lParam);
    }
}

LRESULT DevDesktop::workerMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) noexcept
{
    if (message == WM_CLOSE)
        return 0; // the worker lives as long as the desktop
    return wallpaperSurfaceMessage(window, message, wParam, lParam);
}

LRESULT DevDesktop::iconViewMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) noexcept
{
    switch (message) {
    case WM_ERASEBKGND:
        return 1;
    case WM_PAINT: {
        PAINTSTRUCT paint{};
        BeginPaint(window, &paint);
        EndPaint(window, &paint);
        return 0;
    }
    case WM_MOUSEACTIVATE:
        return MA_NOACTIVATE;
    default:
        return DefWindowProcW(window, message, wParam, lParam);
    }
}

LRESULT DevDesktop::controlMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) noexcept
{
    if (message == changedMessage_ && changedMessage_ != 0) {
        reloadState();
        return 0;
    }
    switch (message) {
    case WM_TIMER:
        if (wParam == StackCheckTimer && !stackingIsRight()) {
            restack();
            sayLine(L"z-order: put the desktop back at the bottom");
        } else if (wParam == SlideshowTimer) {
            advanceSlideshow();
        }
        return 0;
    case WM_CLOSE:
        PostQuitMessage(0);
        return 0;
    default:
        return DefWindowProcW(window, message, wParam, lParam);
    }
}
