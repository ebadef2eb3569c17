// The windows above the desktop, walked down the z-order of the real desktop: which count, and
// where the walk stops.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <vector>

#include "platform/top_windows.h"
#include "platform/unique_handle.h"
#include "tests/support/shell_windows.h"

namespace {

constexpr wchar_t kLayerClass[] = L"PeltorineTests.DesktopLayer";

// A top-level window of the test at area, made without activation and put right on top.
UniqueWindow topWindow(RECT area, DWORD style = WS_POPUP, DWORD exStyle = 0, const wchar_t* className = L"STATIC")
{
    UniqueWindow window(CreateWindowExW(exStyle | WS_EX_NOACTIVATE, className, L"", style, area.left, area.top,
                                        area.right - area.left, area.bottom - area.top, nullptr, nullptr,
                                        GetModuleHandleW(nullptr), nullptr));
    SetWindowPos(window.get(), HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE | SWP_SHOWWINDOW);
    return window;
}

bool listed(const std::vector<RECT>& windows, RECT area)
{
    return std::any_of(windows.begin(), windows.end(), [&](const RECT& rect) { return EqualRect(&rect, &area); });
}

class TopWindowsTest : public testing::Test {
protected:
    void SetUp() override
    {
        WNDCLASSW windowClass{};
        windowClass.lpfnWndProc = DefWindowProcW;
        windowClass.hInstance = GetModuleHandleW(nullptr);
        windowClass.lpszClassName = kLayerClass;
        RegisterClassW(&windowClass);
        // The desktop layer: the top-level window that holds the video windows' host.
        layer = topWindow(kLayer, WS_POPUP | WS_CLIPCHILDREN, 0, kLayerClass);
        host.reset(CreateWindowExW(0, L"STATIC", L"", WS_CHILD | WS_VISIBLE, 0, 0, 100, 100, layer.get(), nullptr,
                                   GetModuleHandleW(nullptr), nullptr));
        ASSERT_TRUE(layer && host);
    }
    void TearDown() override
    {
        host.reset();
        layer.reset();
        UnregisterClassW(kLayerClass, GetModuleHandleW(nullptr));
    }

    static constexpr RECT kLayer{0, 0, 300, 200};
    UniqueWindow layer;
    UniqueWindow host;
};

TEST_F(TopWindowsTest, VisibleWindowsAboveTheLayerCountAndThoseBelowItDoNot)
{
    constexpr RECT below{5, 5, 55, 55};
    const UniqueWindow under = topWindow(below);
    SetWindowPos(layer.get(), HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    constexpr RECT above{10, 20, 110, 120};
    const UniqueWindow over = topWindow(above);

    const std::vector<RECT> windows = topWindowsAboveDesktop(host.get());
    EXPECT_TRUE(listed(windows, above));
    EXPECT_FALSE(listed(windows, below)) << "the walk went past the desktop layer";
    EXPECT_FALSE(listed(windows, kLayer)) << "the desktop layer covers nothing";
}

TEST_F(TopWindowsTest, HiddenMinimizedAndClickThroughWindowsCoverNothing)
{
    constexpr RECT shown{1, 2, 101, 102};
    constexpr RECT hidden{3, 4, 103, 104};
    constexpr RECT minimized{5, 6, 105, 106};
    constexpr RECT overlay{0, 0, 300, 200};
    const UniqueWindow a = topWindow(shown);
    const UniqueWindow b = topWindow(hidden);
    ShowWindow(b.get(), SW_HIDE);
    const UniqueWindow c = topWindow(minimized, WS_OVERLAPPEDWINDOW);
    ShowWindow(c.get(), SW_SHOWMINNOACTIVE);
    ASSERT_TRUE(IsIconic(c.get()));
    const UniqueWindow d = topWindow(overlay, WS_POPUP, WS_EX_LAYERED | WS_EX_TRANSPARENT);
    SetLayeredWindowAttributes(d.get(), 0, 128, LWA_ALPHA);

    const std::vector<RECT> windows = topWindowsAboveDesktop(host.get());
    EXPECT_TRUE(listed(windows, shown));
    EXPECT_FALSE(listed(windows, hidden));
    EXPECT_FALSE(listed(windows, minimized));
    RECT iconic{};
    GetWindowRect(c.get(), &iconic);
    EXPECT_FALSE(listed(windows, iconic));
    EXPECT_FALSE(listed(windows, overlay)) << "a click-through overlay shows the desktop";
}

TEST_F(TopWindowsTest, TheWalkStopsAtTheShellsDesktopWindows)
{
    for (const ShellLayout layout : {ShellLayout::WorkerHostsIconView, ShellLayout::ProgmanHostsIconView}) {
        FakeShellWindows shell(layout);
        ASSERT_EQ(shell.creationError(), 0u);
        // Shown, so that only the walk's stop leaves them out; what lies below them is the desktop.
        ShowWindow(shell.iconHost(), SW_SHOWNOACTIVATE);
        constexpr RECT below{7, 7, 77, 77};
        const UniqueWindow under = topWindow(below);
        SetWindowPos(under.get(), HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
        constexpr RECT above{9, 9, 99, 99};
        const UniqueWindow over = topWindow(above);
        RECT iconHost{};
        GetWindowRect(shell.iconHost(), &iconHost);

        const std::vector<RECT> windows = topWindowsAboveDesktop(nullptr);
        EXPECT_TRUE(listed(windows, above));
        EXPECT_FALSE(listed(windows, iconHost)) << "the icon view's host covers nothing";
        EXPECT_FALSE(listed(windows, below));
    }
}

} // namespace
