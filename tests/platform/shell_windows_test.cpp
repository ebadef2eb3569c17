#include "tests/support/shell_windows.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace {

bool hasNoRedirectionBitmap(HWND window)
{
    return (GetWindowLongPtrW(window, GWL_EXSTYLE) & WS_EX_NOREDIRECTIONBITMAP) != 0;
}

// The next top-level window of a class after `window` in z-order, found as the product
// must under Wine: by walking GW_HWNDNEXT.
HWND nextOfClass(HWND window, const wchar_t* className)
{
    const std::vector<HWND> below = zOrderFrom(window);
    auto found = std::find_if(below.begin() + 1, below.end(),
                              [&](HWND candidate) { return windowClassName(candidate) == className; });
    return found == below.end() ? nullptr : *found;
}

// The two 0x052C messages a host lookup sends before it looks for the worker.
void askForWorker(HWND progman)
{
    SendMessageTimeoutW(progman, FakeShellWindows::kSpawnWorkerMessage, 0x0D, 0, SMTO_ABORTIFHUNG, 500, nullptr);
    SendMessageTimeoutW(progman, FakeShellWindows::kSpawnWorkerMessage, 0x0D, 1, SMTO_ABORTIFHUNG, 500, nullptr);
}

TEST(ShellWindows, ProgmanHoldsTheIconViewWithOrWithoutNoRedirectionBitmap)
{
    for (const bool noRedirection : {true, false}) {
        SCOPED_TRACE(noRedirection ? "WS_EX_NOREDIRECTIONBITMAP" : "plain Progman");
        FakeShellWindows shell(ShellLayout::ProgmanHostsIconView, {.noRedirectionBitmap = noRedirection});
        ASSERT_EQ(shell.creationError(), 0u);
        const HWND progman = FindWindowW(L"Progman", nullptr);
        ASSERT_NE(progman, nullptr);
        EXPECT_EQ(progman, shell.progman());
        EXPECT_EQ(shell.iconHost(), progman);
        EXPECT_EQ(FindWindowExW(progman, nullptr, L"SHELLDLL_DefView", nullptr), shell.iconView());
        EXPECT_EQ(GetParent(shell.iconView()), progman);
        EXPECT_EQ(hasNoRedirectionBitmap(progman), noRedirection);
        EXPECT_FALSE(IsWindowVisible(progman));
        EXPECT_EQ(nextOfClass(progman, L"WorkerW"), nullptr) << "no worker behind Progman";
        EXPECT_EQ(shell.wallpaperWorker(), nullptr);

        askForWorker(progman);
        EXPECT_EQ(shell.messages(), (std::vector<ShellMessage>{{0x0D, 0}, {0x0D, 1}}));
        EXPECT_EQ(nextOfClass(progman, L"WorkerW"), nullptr) << "this shell creates no worker";
    }
    EXPECT_EQ(FindWindowW(L"Progman", nullptr), nullptr) << "destroyed with the layout";
}

TEST(ShellWindows, ProgmanCreatesTheWallpaperWorkerBehindItWhenAsked)
{
    FakeShellWindows shell(ShellLayout::ProgmanHostsIconView, {.createWorkerOnRequest = true});
    ASSERT_EQ(shell.creationError(), 0u);
    askForWorker(shell.progman());
    askForWorker(shell.progman());
    ASSERT_NE(shell.wallpaperWorker(), nullptr);
    EXPECT_EQ(GetWindow(shell.progman(), GW_HWNDNEXT), shell.wallpaperWorker());
    EXPECT_EQ(windowClassName(shell.wallpaperWorker()), L"WorkerW");
    EXPECT_EQ(GetParent(shell.wallpaperWorker()), nullptr);
    EXPECT_EQ(nextOfClass(shell.progman(), L"WorkerW"), shell.wallpaperWorker()) << "exactly one worker, created once";
    EXPECT_EQ(nextOfClass(shell.wallpaperWorker(), L"WorkerW"), nullptr);
    EXPECT_EQ(shell.messages().size(), 4u);
}

TEST(ShellWindows, ProgmanWithAWallpaperWorkerFromTheStart)
{
    FakeShellWindows shell(ShellLayout::ProgmanHostsIconView, {.wallpaperWorker = true});
    ASSERT_EQ(shell.creationError(), 0u);
    ASSERT_NE(shell.wallpaperWorker(), nullptr);
    EXPECT_EQ(GetWindow(shell.progman(), GW_HWNDNEXT), shell.wallpaperWorker());
}

TEST(ShellWindows, WorkerHoldsTheIconViewWithTheWallpaperWorkerRightBehindIt)
{
    FakeShellWindows shell(ShellLayout::WorkerHostsIconView);
    ASSERT_EQ(shell.creationError(), 0u);
    const HWND progman = FindWindowW(L"Progman", nullptr);
    ASSERT_NE(progman, nullptr);
    EXPECT_EQ(FindWindowExW(progman, nullptr, L"SHELLDLL_DefView", nullptr), nullptr) << "Progman without the view";
    EXPECT_FALSE(hasNoRedirectionBitmap(progman));

    const HWND host = shell.iconHost();
    EXPECT_EQ(windowClassName(host), L"WorkerW");
    EXPECT_EQ(GetParent(host), nullptr);
    EXPECT_EQ(FindWindowExW(host, nullptr, L"SHELLDLL_DefView", nullptr), shell.iconView());

    // Top to bottom: icon host, wallpaper worker, Progman, and nothing of ours after.
    const std::vector<HWND> order = zOrderFrom(host);
    ASSERT_GE(order.size(), 3u);
    EXPECT_EQ(order[1], shell.wallpaperWorker());
    EXPECT_EQ(order[2], progman);
    EXPECT_EQ(order.size(), 3u) << "the shell windows are at the bottom";
    EXPECT_EQ(FindWindowExW(nullptr, host, L"WorkerW", nullptr), shell.wallpaperWorker());
    EXPECT_EQ(FindWindowExW(shell.wallpaperWorker(), nullptr, L"SHELLDLL_DefView", nullptr), nullptr);

    // The icon host is the first window with the view in EnumWindows order.
    HWND firstWithView = nullptr;
    EnumWindows(
        [](HWND window, LPARAM result) -> BOOL {
            if (!FindWindowExW(window, nullptr, L"SHELLDLL_DefView", nullptr))
                return TRUE;
            *reinterpret_cast<HWND*>(result) = window;
            return FALSE;
        },
        reinterpret_cast<LPARAM>(&firstWithView));
    EXPECT_EQ(firstWithView, host);

    askForWorker(progman);
    EXPECT_EQ(shell.messages().size(), 2u);
}

TEST(ShellWindows, NoShellHasNoShellWindows)
{
    FakeShellWindows shell(ShellLayout::NoShell);
    EXPECT_EQ(shell.progman(), nullptr);
    EXPECT_EQ(shell.iconView(), nullptr);
    for (const wchar_t* className : {L"Progman", L"WorkerW", L"SHELLDLL_DefView"})
        EXPECT_EQ(FindWindowW(className, nullptr), nullptr) << className;
}

} // namespace
