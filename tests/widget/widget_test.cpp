#include "widget/widget.h"

#include <commctrl.h>
#include <gtest/gtest.h>

#include <optional>

#include "tests/support/file_drop_data.h"
#include "tests/support/shell_windows.h"
#include "tests/support/wallpaper_world.h"

using Microsoft::WRL::ComPtr;

namespace {

constexpr RECT kPrimary{0, 0, 1920, 1040};
constexpr RECT kRightAt144{1920, 0, 4800, 1560};

// What the widget asked for.
class RecordingEvents final : public WidgetEvents {
public:
    void widgetFilesDropped(std::vector<std::wstring> paths) noexcept override { dropped.push_back(std::move(paths)); }
    void widgetRestoreDefault() noexcept override { ++restores; }
    void widgetOpenMenu(POINT point) noexcept override { menus.push_back(point); }
    void widgetMoved(POINT position) noexcept override { moves.push_back(position); }
    void widgetResized(int size) noexcept override { sizes.push_back(size); }
    void widgetSystemColoursChanged() noexcept override { ++colourChanges; }
    void widgetDpiChanged() noexcept override { ++dpiChanges; }

    std::vector<std::vector<std::wstring>> dropped;
    int restores = 0;
    std::vector<POINT> menus;
    std::vector<POINT> moves;
    std::vector<int> sizes;
    int colourChanges = 0;
    int dpiChanges = 0;
};

// Displays and a pointer the test controls: the primary display at 96 DPI and one to its
// right at 144 DPI. The system drag distance is 4 pixels at 96 DPI.
class FakeEnvironment final : public WidgetEnvironment {
public:
    std::vector<MonitorMetrics> displays{{kPrimary, 96}, {kRightAt144, 144}};
    POINT cursor{0, 0};
    bool cursorReadable = true;

    MonitorMetrics displayNearPoint(POINT point) noexcept override
    {
        for (const MonitorMetrics& display : displays) {
            if (PtInRect(&display.workArea, point))
                return display;
        }
        return displays.front();
    }
    MonitorMetrics primaryDisplay() noexcept override { return displays.front(); }
    MonitorMetrics displayOfWindow(HWND window) noexcept override
    {
        RECT rect{};
        GetWindowRect(window, &rect);
        return displayNearPoint(POINT{(rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2});
    }
    bool cursorPosition(POINT& point) noexcept override
    {
        point = cursor;
        return cursorReadable;
    }
    SIZE dragDistance(std::uint32_t dpi) noexcept override
    {
        const int distance = MulDiv(4, static_cast<int>(dpi), 96);
        return SIZE{distance, distance};
    }
};

RECT windowRect(HWND window)
{
    RECT rect{};
    GetWindowRect(window, &rect);
    return rect;
}

std::string describe(const RECT& rect)
{
    return "(" + std::to_string(rect.left) + ", " + std::to_string(rect.top) + ")-(" + std::to_string(rect.right) +
           ", " + std::to_string(rect.bottom) + ")";
}

class WidgetTest : public testing::Test {
protected:
    WidgetTest()
    {
        control = CreateWindowExW(0, L"Static", L"", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr, GetModuleHandleW(nullptr),
                                  nullptr);
        widget.connect(GetModuleHandleW(nullptr), control);
    }
    ~WidgetTest() override
    {
        widget.destroyWidget();
        DestroyWindow(control);
    }

    HWND create()
    {
        widget.createWidget(L"Peltorine · status");
        return widget.window();
    }

    // Mouse messages as the window manager delivers them: client coordinates in LPARAM,
    // the pointer where GetCursorPos finds it.
    void press(POINT screen, UINT message = WM_LBUTTONDOWN)
    {
        environment.cursor = screen;
        const RECT rect = windowRect(widget.window());
        SendMessageW(widget.window(), message, MK_LBUTTON, MAKELPARAM(screen.x - rect.left, screen.y - rect.top));
    }
    void moveTo(POINT screen)
    {
        environment.cursor = screen;
        const RECT rect = windowRect(widget.window());
        SendMessageW(widget.window(), WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(screen.x - rect.left, screen.y - rect.top));
    }
    void release(POINT screen)
    {
        environment.cursor = screen;
        const RECT rect = windowRect(widget.window());
        SendMessageW(widget.window(), WM_LBUTTONUP, 0, MAKELPARAM(screen.x - rect.left, screen.y - rect.top));
    }
    void key(WPARAM virtualKey, bool repeat = false)
    {
        SendMessageW(widget.window(), WM_KEYDOWN, virtualKey, repeat ? (1 << 30) | 1 : 1);
    }

    OleScope ole;
    RecordingEvents events;
    FakeEnvironment environment;
    HWND control = nullptr;
    Widget widget{events, environment};
};

TEST_F(WidgetTest, IsCreatedOwnedByTheIconHostAtTheTopRightCorner)
{
    FakeShellWindows shell(ShellLayout::ProgmanHostsIconView);
    ASSERT_EQ(shell.creationError(), 0u);
    const HWND window = create();
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(windowClassName(window), L"Peltorine.Widget");
    EXPECT_EQ(GetWindow(window, GW_OWNER), shell.progman());
    EXPECT_EQ(static_cast<DWORD>(GetWindowLongPtrW(window, GWL_EXSTYLE)), DWORD{WS_EX_LAYERED | WS_EX_TOOLWINDOW});
    EXPECT_EQ(static_cast<DWORD>(GetWindowLongPtrW(window, GWL_STYLE)) & ~DWORD{WS_CLIPSIBLINGS}, DWORD{WS_POPUP});
    EXPECT_EQ(describe(windowRect(window)), describe({1836, 20, 1900, 84}));
    EXPECT_TRUE(widget.dropRegistered());
    ASSERT_NE(widget.tooltip(), nullptr);
    EXPECT_EQ(GetWindow(widget.tooltip(), GW_OWNER), control);
    EXPECT_STREQ(widget.tooltipText(), L"Peltorine · status");

    // Asked again with the same host, the widget stays the same window.
    widget.createWidget(L"other");
    EXPECT_EQ(widget.window(), window);
    EXPECT_STREQ(widget.tooltipText(), L"Peltorine · status");
}

TEST_F(WidgetTest, NoDesktopHostNoWidget)
{
    FakeShellWindows shell(ShellLayout::NoShell);
    EXPECT_EQ(create(), nullptr);
    EXPECT_EQ(widget.tooltip(), nullptr);
    EXPECT_FALSE(widget.layoutWidget());
}

TEST_F(WidgetTest, ComesBackUnderTheNewHostAfterTheShellRestarts)
{
    HWND oldWindow = nullptr;
    {
        FakeShellWindows shell(ShellLayout::ProgmanHostsIconView);
        oldWindow = create();
        ASSERT_NE(oldWindow, nullptr);
    } // the shell's windows go, and the owned widget with them
    EXPECT_EQ(widget.window(), nullptr);
    EXPECT_FALSE(IsWindow(oldWindow));
    EXPECT_FALSE(widget.dropRegistered());

    FakeShellWindows restarted(ShellLayout::WorkerHostsIconView);
    const HWND window = create();
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(GetWindow(window, GW_OWNER), restarted.iconHost());
    EXPECT_TRUE(widget.dropRegistered());
}

TEST_F(WidgetTest, SitsDirectlyAboveItsOwnerAndShowsOnlyWhenTheOwnerIsVisible)
{
    FakeShellWindows shell(ShellLayout::ProgmanHostsIconView);
    const HWND window = create();
    ASSERT_NE(window, nullptr);
    EXPECT_FALSE(IsWindowVisible(window)) << "a hidden desktop hides the widget";

    ShowWindow(shell.progman(), SW_SHOWNOACTIVATE);
    widget.updateWidgetZOrder(true);
    EXPECT_TRUE(IsWindowVisible(window));
    EXPECT_EQ(GetWindow(shell.progman(), GW_HWNDPREV), window);

    // Another window slips in between; the next foreground change puts the widget back.
    const HWND other = CreateWindowExW(WS_EX_TOOLWINDOW, L"Static", L"", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                                       GetModuleHandleW(nullptr), nullptr);
    SetWindowPos(other, window, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    ASSERT_EQ(GetWindow(shell.progman(), GW_HWNDPREV), other);
    widget.updateWidgetZOrder(false);
    EXPECT_EQ(GetWindow(shell.progman(), GW_HWNDPREV), window);
    EXPECT_EQ(GetWindow(window, GW_HWNDPREV), other) << "the widget stays below the other program's window";
    DestroyWindow(other);
    ShowWindow(shell.progman(), SW_HIDE);
}

TEST_F(WidgetTest, TooltipTextIsCutTo127Characters)
{
    FakeShellWindows shell(ShellLayout::ProgmanHostsIconView);
    ASSERT_NE(create(), nullptr);
    widget.setWidgetTooltip(std::wstring(200, L'x'));
    EXPECT_EQ(std::wstring(widget.tooltipText()), std::wstring(127, L'x'));

    wchar_t shown[256] = {};
    TTTOOLINFOW tool{};
    tool.cbSize = sizeof(tool);
    tool.hwnd = control;
    tool.uId = reinterpret_cast<UINT_PTR>(widget.window());
    tool.lpszText = shown;
    SendMessageW(widget.tooltip(), TTM_GETTEXTW, 256, reinterpret_cast<LPARAM>(&tool));
    EXPECT_EQ(std::wstring(shown), std::wstring(127, L'x')) << "what the tooltip control shows";
}

TEST_F(WidgetTest, ASavedPlaceOffTheDisplayIsShownInsideButKept)
{
    FakeShellWindows shell(ShellLayout::ProgmanHostsIconView);
    widget.setPlacement(64, POINT{1500, 5000}, true);
    const HWND window = create();
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(describe(windowRect(window)), describe({1500, 976, 1564, 1040}));
    EXPECT_EQ(widget.position().y, 5000);
    EXPECT_TRUE(events.moves.empty());
}

TEST_F(WidgetTest, MovingFollowsThePointerAndSavesOnRelease)
{
    FakeShellWindows shell(ShellLayout::ProgmanHostsIconView);
    const HWND window = create();
    ASSERT_NE(window, nullptr);
    press({1850, 40});
    EXPECT_EQ(widget.dragMode(), PressedBody);
    EXPECT_EQ(GetCapture(), window);
    EXPECT_EQ(GetFocus(), window);
    moveTo({1853, 40});
    EXPECT_EQ(widget.dragMode(), PressedBody) << "3 pixels is still a click";
    moveTo({1854, 40});
    EXPECT_EQ(widget.dragMode(), Moving);
    EXPECT_EQ(describe(windowRect(window)), describe({1840, 20, 1904, 84}));
    moveTo({1000, 500});
    EXPECT_EQ(describe(windowRect(window)), describe({986, 480, 1050, 544}));
    EXPECT_TRUE(events.moves.empty()) << "nothing is saved while dragging";

    release({1000, 500});
    EXPECT_EQ(widget.dragMode(), DragIdle);
    EXPECT_EQ(GetCapture(), nullptr);
    ASSERT_EQ(events.moves.size(), 1u);
    EXPECT_EQ(events.moves[0].x, 986);
    EXPECT_EQ(events.moves[0].y, 480);
    EXPECT_TRUE(events.sizes.empty()) << "a move saves the position only";
    EXPECT_TRUE(widget.positionSet());
    EXPECT_FALSE(widget.clickArmed());

    // The next layout keeps the new place.
    EXPECT_TRUE(widget.layoutWidget());
    EXPECT_EQ(describe(windowRect(window)), describe({986, 480, 1050, 544}));
}

TEST_F(WidgetTest, ResizingFromTheGripSavesPositionAndSize)
{
    FakeShellWindows shell(ShellLayout::ProgmanHostsIconView);
    widget.setPlacement(64, POINT{1000, 300}, true);
    const HWND window = create();
    ASSERT_NE(window, nullptr);
    press({1060, 360}); // 4 pixels inside the bottom-right corner
    EXPECT_EQ(widget.dragMode(), PressedGrip);
    moveTo({1100, 370}); // +40, +10
    EXPECT_EQ(widget.dragMode(), Resizing);
    EXPECT_EQ(widget.size(), 104);
    EXPECT_EQ(describe(windowRect(window)), describe({1000, 300, 1104, 404})) << "the top-left corner stays";
    moveTo({1160, 360});
    EXPECT_EQ(widget.size(), 128);
    moveTo({1030, 360});
    EXPECT_EQ(widget.size(), 48) << "34 is clamped to 48";
    release({1030, 360});
    EXPECT_EQ(events.moves.size(), 1u);
    EXPECT_EQ(events.sizes, std::vector<int>{48});
    EXPECT_EQ(widget.size(), 48);
}

TEST_F(WidgetTest, ClickArmsTheDoubleClickThatRestoresTheDefault)
{
    FakeShellWindows shell(ShellLayout::ProgmanHostsIconView);
    const HWND window = create();
    ASSERT_NE(window, nullptr);
    press({1850, 40});
    moveTo({1853, 42});
    release({1853, 42});
    EXPECT_TRUE(widget.clickArmed());
    EXPECT_EQ(describe(windowRect(window)), describe({1836, 20, 1900, 84})) << "a click moves nothing";
    EXPECT_TRUE(events.moves.empty());

    press({1850, 40}, WM_LBUTTONDBLCLK);
    EXPECT_EQ(events.restores, 1);
    EXPECT_FALSE(widget.clickArmed());
    EXPECT_EQ(widget.dragMode(), DragIdle);
}

TEST_F(WidgetTest, DoubleClicksThatDoNotRestore)
{
    FakeShellWindows shell(ShellLayout::ProgmanHostsIconView);
    ASSERT_NE(create(), nullptr);
    // On the grip: a new gesture instead.
    press({1850, 40});
    release({1850, 40});
    press({1895, 80}, WM_LBUTTONDBLCLK);
    EXPECT_EQ(events.restores, 0);
    EXPECT_EQ(widget.dragMode(), PressedGrip);
    release({1895, 80});
    EXPECT_FALSE(widget.clickArmed()) << "a press on the grip arms nothing";

    // After a first press that moved the widget.
    press({1850, 40});
    moveTo({1800, 40});
    release({1800, 40});
    press({1800, 40}, WM_LBUTTONDBLCLK);
    EXPECT_EQ(events.restores, 0);
    EXPECT_EQ(widget.dragMode(), PressedBody);
    release({1800, 40});
}

TEST_F(WidgetTest, EnterRestoresOncePerPressAndNotDuringAGesture)
{
    FakeShellWindows shell(ShellLayout::ProgmanHostsIconView);
    ASSERT_NE(create(), nullptr);
    key(VK_RETURN);
    key(VK_RETURN, true);
    key(VK_RETURN, true);
    EXPECT_EQ(events.restores, 1) << "holding Enter restores once";
    press({1850, 40});
    key(VK_RETURN);
    EXPECT_EQ(events.restores, 1);
    release({1850, 40});
}

TEST_F(WidgetTest, EscAndCaptureLossPutTheWidgetBackAndSaveNothing)
{
    FakeShellWindows shell(ShellLayout::ProgmanHostsIconView);
    const HWND window = create();
    ASSERT_NE(window, nullptr);
    const std::string home = describe({1836, 20, 1900, 84});

    press({1850, 40});
    moveTo({1500, 400});
    key(VK_ESCAPE);
    EXPECT_EQ(widget.dragMode(), DragIdle);
    EXPECT_EQ(GetCapture(), nullptr);
    EXPECT_EQ(describe(windowRect(window)), home);

    press({1895, 80});
    moveTo({1935, 80});
    EXPECT_EQ(widget.size(), 104);
    key(VK_ESCAPE);
    EXPECT_EQ(widget.size(), 64);
    EXPECT_EQ(describe(windowRect(window)), home);

    // Another window takes the mouse capture in the middle of a move.
    press({1850, 40});
    moveTo({1200, 600});
    SetCapture(control);
    EXPECT_EQ(widget.dragMode(), DragIdle);
    EXPECT_EQ(describe(windowRect(window)), home);
    ReleaseCapture();
    release({1200, 600});
    EXPECT_TRUE(events.moves.empty());
    EXPECT_TRUE(events.sizes.empty());
    EXPECT_FALSE(widget.clickArmed());
}

TEST_F(WidgetTest, MovingOntoADisplayOfAnotherScaleKeepsTheGrabbedPointAndTheGesture)
{
    FakeShellWindows shell(ShellLayout::ProgmanHostsIconView);
    const HWND window = create();
    ASSERT_NE(window, nullptr);
    press({1850, 40}); // 14, 20 inside the widget
    moveTo({1800, 40});
    moveTo({2500, 300});
    // On the 144-DPI display: 96 pixels wide, the grab offset scaled to (21, 30).
    EXPECT_EQ(describe(windowRect(window)), describe({2479, 270, 2575, 366}));

    // The window manager tells the widget of its new DPI in the middle of the drag: the
    // program is told, and the drag goes on where the pointer is.
    SendMessageW(window, WM_DPICHANGED, MAKEWPARAM(144, 144), 0);
    EXPECT_EQ(1, events.dpiChanges);
    EXPECT_EQ(widget.dragMode(), Moving);
    EXPECT_EQ(describe(windowRect(window)), describe({2479, 270, 2575, 366}));

    moveTo({2600, 300});
    release({2600, 300});
    ASSERT_EQ(events.moves.size(), 1u);
    EXPECT_EQ(events.moves[0].x, 2579);
    EXPECT_EQ(events.moves[0].y, 270);
    EXPECT_EQ(widget.size(), 64) << "the design size does not change with the scale";
}

TEST_F(WidgetTest, AnUnreadablePointerSkipsTrackingButTheReleaseStillCommits)
{
    FakeShellWindows shell(ShellLayout::ProgmanHostsIconView);
    ASSERT_NE(create(), nullptr);
    press({1850, 40});
    moveTo({1700, 40});
    environment.cursorReadable = false;
    moveTo({1000, 40});
    release({1000, 40});
    ASSERT_EQ(events.moves.size(), 1u);
    EXPECT_EQ(events.moves[0].x, 1686) << "committed where the window last was";
}

TEST_F(WidgetTest, ContextMenuAtTheCursorOrFromTheKeyboardAtTheBottomLeft)
{
    FakeShellWindows shell(ShellLayout::ProgmanHostsIconView);
    const HWND window = create();
    ASSERT_NE(window, nullptr);
    SendMessageW(window, WM_CONTEXTMENU, reinterpret_cast<WPARAM>(window), MAKELPARAM(1850, 40));
    SendMessageW(window, WM_CONTEXTMENU, reinterpret_cast<WPARAM>(window), MAKELPARAM(-1, -1));
    ASSERT_EQ(events.menus.size(), 2u);
    EXPECT_EQ(events.menus[0].x, 1850);
    EXPECT_EQ(events.menus[0].y, 40);
    EXPECT_EQ(events.menus[1].x, 1836);
    EXPECT_EQ(events.menus[1].y, 84);
}

TEST_F(WidgetTest, CursorShowsWhatAPressWouldDo)
{
    FakeShellWindows shell(ShellLayout::ProgmanHostsIconView);
    const HWND window = create();
    ASSERT_NE(window, nullptr);
    struct Case {
        POINT pointer;
        const wchar_t* shape;
    } cases[] = {{{1850, 40}, IDC_HAND}, {{1895, 80}, IDC_SIZENWSE}};
    for (const Case& c : cases) {
        environment.cursor = c.pointer;
        EXPECT_EQ(SendMessageW(window, WM_SETCURSOR, reinterpret_cast<WPARAM>(window), MAKELPARAM(HTCLIENT, 0)), TRUE);
        EXPECT_EQ(GetCursor(), LoadCursorW(nullptr, c.shape));
    }
    press({1850, 40});
    moveTo({1800, 40});
    environment.cursor = {1800, 40};
    SendMessageW(window, WM_SETCURSOR, reinterpret_cast<WPARAM>(window), MAKELPARAM(HTCLIENT, 0));
    EXPECT_EQ(GetCursor(), LoadCursorW(nullptr, IDC_SIZEALL));
    release({1800, 40});
}

TEST_F(WidgetTest, FaceIsDrawnOnlyWhenSizeOrStateChanges)
{
    FakeShellWindows shell(ShellLayout::ProgmanHostsIconView);
    const HWND window = create();
    ASSERT_NE(window, nullptr);
    const std::uint64_t first = widget.renderer().facesDrawn();
    EXPECT_EQ(first, 1u);
    EXPECT_TRUE(widget.layoutWidget());
    widget.redrawWidget();
    EXPECT_EQ(widget.renderer().facesDrawn(), first) << "same size, same state";

    widget.setPlacement(64, POINT{100, 100}, true);
    EXPECT_TRUE(widget.layoutWidget());
    EXPECT_EQ(describe(windowRect(window)), describe({100, 100, 164, 164}));
    EXPECT_EQ(widget.renderer().facesDrawn(), first) << "a move is only a move";

    widget.setErrorFlash(true);
    EXPECT_EQ(widget.renderer().facesDrawn(), first + 1);
    widget.setErrorFlash(false);
    EXPECT_EQ(widget.renderer().facesDrawn(), first + 2);
    widget.setHighContrast(false);
    EXPECT_EQ(widget.renderer().facesDrawn(), first + 3) << "changed system colours draw again";
    widget.setPlacement(96, POINT{100, 100}, true);
    EXPECT_TRUE(widget.layoutWidget());
    EXPECT_EQ(widget.renderer().facesDrawn(), first + 4);
    EXPECT_EQ(describe(windowRect(window)), describe({100, 100, 196, 196}));
}

TEST_F(WidgetTest, DropsLightTheFaceAndHandTheFilesOver)
{
    FakeShellWindows shell(ShellLayout::ProgmanHostsIconView);
    ASSERT_NE(create(), nullptr);
    IDropTarget* target = widget.dropTarget();
    ASSERT_NE(target, nullptr);
    const std::uint64_t drawn = widget.renderer().facesDrawn();
    const std::vector<std::wstring> pictures{L"C:\\a.png", L"C:\\b.jpg"};
    const ComPtr<IDataObject> data = fileDropData(pictures);
    DWORD effect = DROPEFFECT_COPY | DROPEFFECT_MOVE;
    EXPECT_EQ(target->DragEnter(data.Get(), MK_LBUTTON, POINTL{1850, 40}, &effect), S_OK);
    EXPECT_EQ(effect, static_cast<DWORD>(DROPEFFECT_COPY));
    EXPECT_TRUE(widget.dropHighlight());
    EXPECT_TRUE(widget.visualState().dropHighlight);
    EXPECT_EQ(widget.renderer().facesDrawn(), drawn + 1);
    effect = DROPEFFECT_COPY;
    EXPECT_EQ(target->Drop(data.Get(), 0, POINTL{1850, 40}, &effect), S_OK);
    EXPECT_FALSE(widget.dropHighlight());
    EXPECT_EQ(widget.renderer().facesDrawn(), drawn + 2);
    ASSERT_EQ(events.dropped.size(), 1u);
    EXPECT_EQ(events.dropped[0], pictures);
}

TEST_F(WidgetTest, DestroyingTheWidgetReleasesItsDropTarget)
{
    FakeShellWindows shell(ShellLayout::ProgmanHostsIconView);
    ASSERT_NE(create(), nullptr);
    IDropTarget* target = widget.dropTarget();
    ASSERT_NE(target, nullptr);
    target->AddRef();
    widget.destroyWidget();
    EXPECT_EQ(widget.window(), nullptr);
    EXPECT_EQ(widget.tooltip(), nullptr);
    EXPECT_FALSE(widget.dropRegistered());
    // A late call from a drag source finds a target that refuses and touches nothing.
    const ComPtr<IDataObject> data = fileDropData({L"C:\\a.png"});
    DWORD effect = DROPEFFECT_COPY;
    EXPECT_EQ(target->DragEnter(data.Get(), MK_LBUTTON, POINTL{0, 0}, &effect), S_OK);
    EXPECT_EQ(effect, static_cast<DWORD>(DROPEFFECT_NONE));
    EXPECT_EQ(target->Release(), 0u) << "ours was the last reference";
}

TEST_F(WidgetTest, DestroyingDuringAResizePutsTheSizeBack)
{
    FakeShellWindows shell(ShellLayout::ProgmanHostsIconView);
    ASSERT_NE(create(), nullptr);
    press({1895, 80});
    moveTo({1935, 80});
    EXPECT_EQ(widget.size(), 104);
    widget.destroyWidget();
    EXPECT_EQ(widget.size(), 64);
    EXPECT_EQ(widget.dragMode(), DragIdle);
    EXPECT_TRUE(events.sizes.empty());
}

TEST_F(WidgetTest, SystemColourChangesAreReported)
{
    FakeShellWindows shell(ShellLayout::ProgmanHostsIconView);
    const HWND window = create();
    ASSERT_NE(window, nullptr);
    SendMessageW(window, WM_SYSCOLORCHANGE, 0, 0);
    EXPECT_EQ(events.colourChanges, 1);
}

} // namespace
