#include "tests/support/shell_windows.h"

#include <mutex>

namespace {

constexpr wchar_t kProgmanClass[] = L"Progman";
constexpr wchar_t kIconViewClass[] = L"SHELLDLL_DefView";
constexpr wchar_t kWorkerClass[] = L"WorkerW";

constexpr UINT kStackFlags = SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE | SWP_NOOWNERZORDER;

void registerShellClasses(WNDPROC progmanProcedure)
{
    static std::once_flag once;
    std::call_once(once, [progmanProcedure] {
        const HINSTANCE instance = GetModuleHandleW(nullptr);
        const struct {
            const wchar_t* name;
            WNDPROC procedure;
        } classes[] = {
            {kProgmanClass, progmanProcedure}, {kIconViewClass, DefWindowProcW}, {kWorkerClass, DefWindowProcW}};
        for (const auto& entry : classes) {
            WNDCLASSEXW windowClass{};
            windowClass.cbSize = sizeof(windowClass);
            windowClass.lpfnWndProc = entry.procedure;
            windowClass.hInstance = instance;
            windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
            windowClass.lpszClassName = entry.name;
            RegisterClassExW(&windowClass);
        }
    });
}

RECT virtualScreen()
{
    const int left = GetSystemMetrics(SM_XVIRTUALSCREEN);
    const int top = GetSystemMetrics(SM_YVIRTUALSCREEN);
    return RECT{left, top, left + GetSystemMetrics(SM_CXVIRTUALSCREEN), top + GetSystemMetrics(SM_CYVIRTUALSCREEN)};
}

// Hidden: a visible top-level window is raised again when X maps it, undoing the stacking.
HWND createTopLevel(const wchar_t* className, DWORD exStyle, void* parameter)
{
    const RECT screen = virtualScreen();
    return CreateWindowExW(exStyle, className, L"", WS_POPUP | WS_CLIPSIBLINGS | WS_CLIPCHILDREN, screen.left,
                           screen.top, screen.right - screen.left, screen.bottom - screen.top, nullptr, nullptr,
                           GetModuleHandleW(nullptr), parameter);
}

HWND createIconView(HWND host)
{
    const RECT screen = virtualScreen();
    return CreateWindowExW(0, kIconViewClass, L"", WS_CHILD | WS_CLIPSIBLINGS | WS_CLIPCHILDREN, 0, 0,
                           screen.right - screen.left, screen.bottom - screen.top, host, nullptr,
                           GetModuleHandleW(nullptr), nullptr);
}

} // namespace

FakeShellWindows::FakeShellWindows(ShellLayout layout, ShellLayoutOptions options) : options_(options)
{
    registerShellClasses(progmanProcedure);
    switch (layout) {
    case ShellLayout::ProgmanHostsIconView:
        progman_ =
            created(createTopLevel(kProgmanClass, options.noRedirectionBitmap ? WS_EX_NOREDIRECTIONBITMAP : 0, this));
        ownedTopLevel_.push_back(progman_);
        iconHost_ = progman_;
        iconView_ = created(createIconView(progman_));
        SetWindowPos(iconHost_, HWND_BOTTOM, 0, 0, 0, 0, kStackFlags);
        if (options.wallpaperWorker)
            createWallpaperWorker();
        break;
    case ShellLayout::WorkerHostsIconView:
        iconHost_ = created(createTopLevel(kWorkerClass, 0, nullptr));
        ownedTopLevel_.push_back(iconHost_);
        iconView_ = created(createIconView(iconHost_));
        progman_ = created(createTopLevel(kProgmanClass, 0, this));
        ownedTopLevel_.push_back(progman_);
        SetWindowPos(progman_, HWND_BOTTOM, 0, 0, 0, 0, kStackFlags);
        SetWindowPos(iconHost_, HWND_BOTTOM, 0, 0, 0, 0, kStackFlags);
        SetWindowPos(progman_, iconHost_, 0, 0, 0, 0, kStackFlags);
        createWallpaperWorker();
        break;
    case ShellLayout::NoShell:
        break;
    }
}

FakeShellWindows::~FakeShellWindows()
{
    for (auto it = ownedTopLevel_.rbegin(); it != ownedTopLevel_.rend(); ++it) {
        if (*it)
            DestroyWindow(*it);
    }
}

void FakeShellWindows::addWallpaperWorker()
{
    if (!wallpaper_ && iconHost_)
        createWallpaperWorker();
}

void FakeShellWindows::moveIconViewToWorker()
{
    if (!progman_ || iconHost_ != progman_ || !iconView_)
        return;
    const HWND worker = created(createTopLevel(kWorkerClass, 0, nullptr));
    if (!worker)
        return;
    ownedTopLevel_.push_back(worker);
    SetParent(iconView_, worker);
    iconHost_ = worker;
    // Top to bottom: the icons' worker, the wallpaper's, "Progman".
    SetWindowPos(iconHost_, progman_, 0, 0, 0, 0, kStackFlags);
    SetWindowPos(progman_, iconHost_, 0, 0, 0, 0, kStackFlags);
    if (wallpaper_)
        SetWindowPos(wallpaper_, iconHost_, 0, 0, 0, 0, kStackFlags);
    else
        createWallpaperWorker();
}

// Right behind the icon host, in front of whatever followed it (Progman after the split).
void FakeShellWindows::createWallpaperWorker()
{
    wallpaper_ = created(createTopLevel(kWorkerClass, 0, nullptr));
    ownedTopLevel_.push_back(wallpaper_);
    SetWindowPos(wallpaper_, iconHost_, 0, 0, 0, 0, kStackFlags);
}

HWND FakeShellWindows::created(HWND window)
{
    if (!window && creationError_ == 0)
        creationError_ = GetLastError() != 0 ? GetLastError() : ERROR_INVALID_WINDOW_HANDLE;
    return window;
}

LRESULT CALLBACK FakeShellWindows::progmanProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) noexcept
{
    if (message == WM_NCCREATE) {
        const auto* create = reinterpret_cast<const CREATESTRUCTW*>(lParam);
        SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
    }
    auto* self = reinterpret_cast<FakeShellWindows*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (message == kSpawnWorkerMessage && self) {
        self->messages_.push_back(ShellMessage{wParam, lParam});
        if (self->options_.splitOnRequest)
            self->moveIconViewToWorker();
        else if (self->options_.createWorkerOnRequest)
            self->addWallpaperWorker();
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

std::wstring windowClassName(HWND window)
{
    wchar_t name[256] = {};
    const int length = GetClassNameW(window, name, 256);
    return std::wstring(name, length > 0 ? static_cast<size_t>(length) : 0);
}

std::vector<HWND> zOrderFrom(HWND window)
{
    std::vector<HWND> windows;
    for (HWND current = window; current; current = GetWindow(current, GW_HWNDNEXT))
        windows.push_back(current);
    return windows;
}
