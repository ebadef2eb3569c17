#include "platform/desktop_host.h"

#include <gtest/gtest.h>

#include "tests/support/shell_windows.h"

namespace {

constexpr UINT kStack = SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE | SWP_NOOWNERZORDER;

// A hidden top-level window of a class, with an icon view inside when asked.
class ExtraWindow {
public:
    ExtraWindow(const wchar_t* className, bool withIconView)
    {
        window_ = CreateWindowExW(0, className, L"", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                                  GetModuleHandleW(nullptr), nullptr);
        if (window_ && withIconView)
            iconView_ = CreateWindowExW(0, L"SHELLDLL_DefView", L"", WS_CHILD, 0, 0, 10, 10, window_, nullptr,
                                        GetModuleHandleW(nullptr), nullptr);
    }
    ~ExtraWindow()
    {
        if (window_)
            DestroyWindow(window_);
    }
    ExtraWindow(const ExtraWindow&) = delete;
    ExtraWindow& operator=(const ExtraWindow&) = delete;
    HWND get() const { return window_; }
    HWND iconView() const { return iconView_; }

private:
    HWND window_ = nullptr;
    HWND iconView_ = nullptr;
};

void expectHost(const DesktopHost& host, HWND window, HWND iconView, bool noRedirection)
{
    EXPECT_EQ(host.hostWindow, window);
    EXPECT_EQ(host.iconView, iconView);
    EXPECT_EQ(host.noRedirectionBitmap, noRedirection);
}

TEST(DesktopHost, NoShellFindsNothingAndSendsNothing)
{
    FakeShellWindows shell(ShellLayout::NoShell);
    expectHost(findIconViewHost(), nullptr, nullptr, false);
    expectHost(findDesktopHost(false), nullptr, nullptr, false);
    expectHost(findDesktopHost(true), nullptr, nullptr, false);
}

TEST(DesktopHost, ProgmanWithoutRedirectionBitmapHostsTheWidgetAndTheVideo)
{
    FakeShellWindows shell(ShellLayout::ProgmanHostsIconView, {.noRedirectionBitmap = true});
    ASSERT_EQ(shell.creationError(), 0u);
    expectHost(findIconViewHost(), shell.progman(), shell.iconView(), true);
    expectHost(findDesktopHost(false), shell.progman(), shell.iconView(), true);
    EXPECT_TRUE(shell.messages().empty()) << "the widget's lookup asks the shell for nothing";

    expectHost(findDesktopHost(true), shell.progman(), shell.iconView(), true);
    EXPECT_EQ(shell.messages(), (std::vector<ShellMessage>{{0x0D, 0}, {0x0D, 1}}));
}

TEST(DesktopHost, PlainProgmanWithoutAWorkerHostsOnlyTheWidget)
{
    FakeShellWindows shell(ShellLayout::ProgmanHostsIconView);
    ASSERT_EQ(shell.creationError(), 0u);
    expectHost(findDesktopHost(false), shell.progman(), shell.iconView(), false);
    expectHost(findDesktopHost(true), nullptr, nullptr, false);
    EXPECT_EQ(shell.messages().size(), 2u);
}

TEST(DesktopHost, PlainProgmanGetsItsWorkerWhenAskedAndTheVideoGoesThere)
{
    FakeShellWindows shell(ShellLayout::ProgmanHostsIconView, {.createWorkerOnRequest = true});
    ASSERT_EQ(shell.creationError(), 0u);
    const DesktopHost videoHost = findDesktopHost(true);
    ASSERT_NE(shell.wallpaperWorker(), nullptr) << "created on the shell's request";
    expectHost(videoHost, shell.wallpaperWorker(), nullptr, false);
    // The widget stays with the icons.
    expectHost(findDesktopHost(false), shell.progman(), shell.iconView(), false);
}

TEST(DesktopHost, IconViewInAWorkerAfterTheSplit)
{
    FakeShellWindows shell(ShellLayout::WorkerHostsIconView);
    ASSERT_EQ(shell.creationError(), 0u);
    expectHost(findIconViewHost(), shell.iconHost(), shell.iconView(), false);
    expectHost(findDesktopHost(false), shell.iconHost(), shell.iconView(), false);
    expectHost(findDesktopHost(true), shell.wallpaperWorker(), nullptr, false);
    EXPECT_EQ(shell.messages().size(), 2u);
}

TEST(DesktopHost, ProgmanThatSplitsWhenAskedGivesTheWorkerBehindTheMovedIconView)
{
    // Windows 10 before its first 0x052C: "Progman" holds the icons, and the request moves them.
    FakeShellWindows shell(ShellLayout::ProgmanHostsIconView, {.splitOnRequest = true});
    ASSERT_EQ(shell.creationError(), 0u);
    expectHost(findDesktopHost(false), shell.progman(), shell.iconView(), false);
    const DesktopHost videoHost = findDesktopHost(true);
    ASSERT_NE(shell.iconHost(), shell.progman());
    EXPECT_EQ(windowClassName(shell.iconHost()), L"WorkerW");
    EXPECT_EQ(GetParent(shell.iconView()), shell.iconHost());
    expectHost(videoHost, shell.wallpaperWorker(), nullptr, false);
    EXPECT_EQ(zOrderFrom(shell.iconHost()).at(1), shell.wallpaperWorker());
    EXPECT_EQ(zOrderFrom(shell.iconHost()).at(2), shell.progman());
    expectHost(findDesktopHost(false), shell.iconHost(), shell.iconView(), false);
}

TEST(DesktopHost, AWallpaperWorkerThatArrivesLateIsFoundByTheNextLookup)
{
    FakeShellWindows shell(ShellLayout::ProgmanHostsIconView);
    ASSERT_EQ(shell.creationError(), 0u);
    expectHost(findDesktopHost(true), nullptr, nullptr, false);
    shell.addWallpaperWorker();
    expectHost(findDesktopHost(true), shell.wallpaperWorker(), nullptr, false);
}

TEST(DesktopHost, TheWorkerIsFoundBehindUnrelatedWindowsInZOrder)
{
    FakeShellWindows shell(ShellLayout::WorkerHostsIconView);
    ASSERT_EQ(shell.creationError(), 0u);
    // Windows of other classes between the icon host and its worker.
    ExtraWindow first(L"Static", false);
    ExtraWindow second(L"SHELLDLL_DefView", false);
    SetWindowPos(first.get(), shell.iconHost(), 0, 0, 0, 0, kStack);
    SetWindowPos(second.get(), first.get(), 0, 0, 0, 0, kStack);
    ASSERT_EQ(GetWindow(shell.iconHost(), GW_HWNDNEXT), first.get());
    expectHost(findDesktopHost(true), shell.wallpaperWorker(), nullptr, false);
}

TEST(DesktopHost, SeveralIconViewsTheHighestInZOrderWins)
{
    FakeShellWindows shell(ShellLayout::WorkerHostsIconView);
    ASSERT_EQ(shell.creationError(), 0u);
    ExtraWindow above(L"WorkerW", true);
    ExtraWindow below(L"WorkerW", true);
    ASSERT_NE(above.iconView(), nullptr);
    // above: directly over the shell's icon host; below: at the very bottom.
    SetWindowPos(above.get(), HWND_BOTTOM, 0, 0, 0, 0, kStack);
    SetWindowPos(shell.iconHost(), above.get(), 0, 0, 0, 0, kStack);
    SetWindowPos(shell.wallpaperWorker(), shell.iconHost(), 0, 0, 0, 0, kStack);
    SetWindowPos(shell.progman(), shell.wallpaperWorker(), 0, 0, 0, 0, kStack);
    SetWindowPos(below.get(), HWND_BOTTOM, 0, 0, 0, 0, kStack);

    expectHost(findDesktopHost(false), above.get(), above.iconView(), false);
    // The next worker behind that icon host is the shell's own icon host.
    expectHost(findDesktopHost(true), shell.iconHost(), nullptr, false);

    // Raised above the first one, the other view wins.
    SetWindowPos(below.get(), above.get(), 0, 0, 0, 0, kStack);
    SetWindowPos(above.get(), below.get(), 0, 0, 0, 0, kStack);
    expectHost(findIconViewHost(), below.get(), below.iconView(), false);
}

TEST(DesktopHost, ProgmanWithTheViewWinsOverAnyEnumeratedHost)
{
    FakeShellWindows shell(ShellLayout::ProgmanHostsIconView);
    ASSERT_EQ(shell.creationError(), 0u);
    ExtraWindow other(L"WorkerW", true);
    expectHost(findIconViewHost(), shell.progman(), shell.iconView(), false);
}

TEST(DesktopHost, MissingProgmanStillFindsTheIconHostButNoVideoHost)
{
    FakeShellWindows shell(ShellLayout::NoShell);
    ExtraWindow iconHost(L"WorkerW", true);
    ExtraWindow worker(L"WorkerW", false);
    SetWindowPos(iconHost.get(), HWND_BOTTOM, 0, 0, 0, 0, kStack);
    SetWindowPos(worker.get(), HWND_BOTTOM, 0, 0, 0, 0, kStack);
    ASSERT_EQ(FindWindowW(L"Progman", nullptr), nullptr);
    expectHost(findDesktopHost(false), iconHost.get(), iconHost.iconView(), false);
    expectHost(findDesktopHost(true), nullptr, nullptr, false);
}

} // namespace
