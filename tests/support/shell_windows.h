#pragma once
// Stand-ins for the shell's desktop windows ("Progman", "SHELLDLL_DefView", "WorkerW"),
// which Wine lacks, built in the test process out of real windows with the real class
// names so that FindWindowW, EnumWindows and GetWindow(GW_HWNDNEXT) find them.
//
//     FakeShellWindows shell(ShellLayout::WorkerHostsIconView);
//     DesktopHost host = findDesktopHost(true);
//     EXPECT_EQ(host.hostWindow, shell.wallpaperWorker());
//
// Every window is created hidden (a visible top-level window is raised again when X maps
// it) and the top-level ones are stacked explicitly at the bottom of the z-order, in this
// order from top to bottom: the icon host, the wallpaper-layer "WorkerW" (when there is
// one), then "Progman" when it does not hold the icon view. Everything is destroyed with
// the object. Build one layout at a time: two would both answer FindWindowW. Being hidden,
// the windows (and any children a test gives them) are never on screen. "Progman" answers
// 0x052C on the thread that built the layout; a send from another thread waits until this
// thread pumps messages.
//
// Wine note: FindWindowExW(nullptr, after, L"WorkerW", nullptr) returns NULL when `after`
// is not itself a "WorkerW" (it filters by class before it looks for `after`); walk
// GetWindow(GW_HWNDNEXT) to find the next "WorkerW" behind "Progman".

#include <windows.h>

#include <string>
#include <vector>

enum class ShellLayout {
    // "Progman" holds "SHELLDLL_DefView" (Windows 11 24H2 with noRedirectionBitmap; an
    // older shell before its first 0x052C without it). With the default options no
    // "WorkerW" follows it.
    ProgmanHostsIconView,
    // A top-level "WorkerW" holds "SHELLDLL_DefView", the wallpaper-layer "WorkerW" follows
    // it, and "Progman" (without the view) comes last: Windows 10 after the split.
    WorkerHostsIconView,
    // No shell windows at all (Explorer not running).
    NoShell,
};

struct ShellLayoutOptions {
    // ProgmanHostsIconView: "Progman" carries WS_EX_NOREDIRECTIONBITMAP.
    bool noRedirectionBitmap = false;
    // ProgmanHostsIconView: a top-level wallpaper-layer "WorkerW" right after "Progman"
    // from the start. (WorkerHostsIconView always has one.)
    bool wallpaperWorker = false;
    // "Progman" answers 0x052C by creating the wallpaper-layer "WorkerW" right after the
    // icon host, as the shell does, when there is none yet.
    bool createWorkerOnRequest = false;
    // ProgmanHostsIconView: "Progman" answers its first 0x052C as Windows 10 does, moving the
    // icon view out into a new top-level "WorkerW" with the wallpaper-layer "WorkerW" behind
    // it (see moveIconViewToWorker); the layout is then WorkerHostsIconView's.
    bool splitOnRequest = false;
};

// One 0x052C message that "Progman" received.
struct ShellMessage {
    WPARAM wParam = 0;
    LPARAM lParam = 0;
    bool operator==(const ShellMessage&) const = default;
};

class FakeShellWindows {
public:
    static constexpr UINT kSpawnWorkerMessage = 0x052C;

    explicit FakeShellWindows(ShellLayout layout, ShellLayoutOptions options = {});
    ~FakeShellWindows();
    FakeShellWindows(const FakeShellWindows&) = delete;
    FakeShellWindows& operator=(const FakeShellWindows&) = delete;

    HWND progman() const { return progman_; }           // null for NoShell
    HWND iconView() const { return iconView_; }         // "SHELLDLL_DefView"; null for NoShell
    HWND iconHost() const { return iconHost_; }         // the top-level parent of iconView()
    HWND wallpaperWorker() const { return wallpaper_; } // null until one exists
    // The shell changing its layout while it runs:
    // The wallpaper-layer "WorkerW" arrives late: made now right after the icon host, unless
    // there is one.
    void addWallpaperWorker();
    // Windows 10's split: the icon view moves from "Progman" into a new top-level "WorkerW", a
    // wallpaper-layer "WorkerW" follows it (the one there was, or a new one) and "Progman" goes
    // behind both. Nothing happens when "Progman" does not hold the icon view.
    void moveIconViewToWorker();

    // The 0x052C messages "Progman" received, in order.
    const std::vector<ShellMessage>& messages() const { return messages_; }
    // The Win32 error of the first window that could not be created; 0 when all were.
    // Worth asserting first: ASSERT_EQ(shell.creationError(), 0u).
    DWORD creationError() const { return creationError_; }

private:
    static LRESULT CALLBACK progmanProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) noexcept;
    void createWallpaperWorker();
    HWND created(HWND window);

    ShellLayoutOptions options_;
    HWND progman_ = nullptr;
    HWND iconHost_ = nullptr;
    HWND iconView_ = nullptr;
    HWND wallpaper_ = nullptr;
    std::vector<HWND> ownedTopLevel_;
    std::vector<ShellMessage> messages_;
    DWORD creationError_ = 0;
};

// The class name of a window (empty when it has none).
std::wstring windowClassName(HWND window);
// Top-level windows from `window` down the z-order (GetWindow(GW_HWNDNEXT)), `window` first.
std::vector<HWND> zOrderFrom(HWND window);
