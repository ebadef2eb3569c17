// The application with its desktop widget on a stand-in desktop: the widget made at start,
// what it reports reaching the settings and the wallpaper, the error flash, and the widget
// following the shell when it restarts. Timers are delivered by the test.
#include "app/application.h"
#include "tests/support/fake_desktop_wallpaper.h"
#include "tests/support/file_drop_data.h"
#include "tests/support/recording_system.h"
#include "tests/support/shell_windows.h"
#include "tests/support/temp_folder.h"
#include "tests/support/wallpaper_world.h"
#include "tray/menu_model.h"
#include "wallpaper/file_list_checker.h"

#include <gtest/gtest.h>

#include <memory>
#include <optional>

namespace {

class WidgetAppTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        shell = std::make_unique<FakeShellWindows>(ShellLayout::ProgmanHostsIconView);
        ASSERT_EQ(shell->creationError(), 0u);
        fake->addDisplay(L"\\\\?\\DISPLAY#1", {0, 0, 1920, 1080}, L"C:\\old.jpg");
        app.useComObjects(fake, createImagingFactory());
        ASSERT_EQ(S_OK, app.loadSettingsFrom(folder.path()));
        ASSERT_EQ(S_OK, app.initializeWindows());
        system.timerEvents.clear();
    }

    void TearDown() override { app.shutdown(); }

    LRESULT send(UINT message, WPARAM wParam = 0, LPARAM lParam = 0)
    {
        return SendMessageW(app.controlWindow(), message, wParam, lParam);
    }

    // Dispatches what is waiting in this thread's queue.
    static void pumpMessages()
    {
        MSG message{};
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE))
            DispatchMessageW(&message);
    }

    std::optional<std::wstring> setting(const wchar_t* key) const
    {
        wchar_t value[64] = {};
        GetPrivateProfileStringW(L"Peltorine", key, L"(missing)", value, 64, app.settings().settingsPath().c_str());
        if (std::wstring(value) == L"(missing)")
            return std::nullopt;
        return std::wstring(value);
    }

    RECT widgetRect() const
    {
        RECT rect{};
        GetWindowRect(app.widget().window(), &rect);
        return rect;
    }

    PictureFolder pictures; // OLE for this thread, too
    TempFolder folder;
    RecordingSystem system;
    std::unique_ptr<FakeShellWindows> shell;
    Microsoft::WRL::ComPtr<FakeDesktopWallpaper> fake = FakeDesktopWallpaper::create();
    InlineFileCheckRunner fileChecks; // dropped pictures are checked while the message is handled
    Application app{GetModuleHandleW(nullptr), ApplicationSeams{&system, {}, {}, {}, nullptr, &fileChecks, {}}};
};

TEST_F(WidgetAppTest, IsMadeAtStartInTheIconHostWithTheStatusTooltip)
{
    const HWND widget = app.widget().window();
    ASSERT_NE(widget, nullptr);
    EXPECT_EQ(GetWindow(widget, GW_OWNER), shell->progman());
    EXPECT_EQ(pick(kIdleTooltip, kEnglish), std::wstring(app.widget().tooltipText()));
    EXPECT_TRUE(app.widget().dropRegistered());
    EXPECT_EQ(GetWindow(app.widget().tooltip(), GW_OWNER), app.controlWindow());
    const RECT rect = widgetRect();
    const MonitorMetrics primary = getMonitorMetrics(MonitorFromPoint({0, 0}, MONITOR_DEFAULTTOPRIMARY));
    EXPECT_EQ(rect.right, primary.workArea.right - scaleForDpi(20, primary.dpi)) << "top-right corner";
    EXPECT_EQ(rect.top, primary.workArea.top + scaleForDpi(20, primary.dpi));
}

TEST_F(WidgetAppTest, AppearsOnceTheStartingShellShowsItsDesktop)
{
    // The shell has made its desktop but not shown it yet: the widget waits, hidden, with it.
    const HWND widget = app.widget().window();
    ASSERT_FALSE(IsWindowVisible(shell->progman()));
    EXPECT_FALSE(IsWindowVisible(widget));
    ASSERT_TRUE(system.isArmed(RelayoutTimer));
    send(WM_TIMER, RelayoutTimer);
    EXPECT_TRUE(system.isArmed(RelayoutTimer)) << "tried again while the desktop stays hidden";

    ShowWindow(shell->progman(), SW_SHOWNOACTIVATE);
    send(WM_TIMER, RelayoutTimer);
    EXPECT_EQ(app.widget().window(), widget);
    EXPECT_TRUE(IsWindowVisible(widget));
    EXPECT_EQ(GetWindow(shell->progman(), GW_HWNDPREV), widget);
    EXPECT_FALSE(system.isArmed(RelayoutTimer)) << "no retry once the widget is on screen";
}

TEST_F(WidgetAppTest, AMoveWritesThePositionAndAResizeBothKeys)
{
    WidgetEvents& events = app;
    events.widgetMoved(POINT{-1200, 35});
    EXPECT_EQ(setting(L"WidgetPosition"), L"-1200,35");
    EXPECT_EQ(setting(L"WidgetSize"), std::nullopt);
    ASSERT_TRUE(app.settings().widgetPosition().has_value());
    EXPECT_EQ(app.settings().widgetPosition()->x, -1200);

    events.widgetMoved(POINT{300, 200});
    events.widgetResized(104);
    EXPECT_EQ(setting(L"WidgetPosition"), L"300,200");
    EXPECT_EQ(setting(L"WidgetSize"), L"104");
    EXPECT_EQ(app.settings().widgetSize(), 104);
}

TEST_F(WidgetAppTest, SizeAndCornerCommandsReshapeTheWidget)
{
    app.executeCommand(kCommandFirstWidgetSize + 2, {}); // 96
    EXPECT_EQ(setting(L"WidgetSize"), L"96");
    const RECT rect = widgetRect();
    EXPECT_EQ(rect.right - rect.left,
              scaleForDpi(96, getMonitorMetrics(MonitorFromWindow(app.widget().window(), MONITOR_DEFAULTTONEAREST)).dpi));

    WidgetEvents& events = app;
    events.widgetMoved(POINT{300, 200});
    send(WM_SETTINGCHANGE); // lays the idle widget out again
    EXPECT_EQ(widgetRect().left, 300);
    app.executeCommand(kCommandMoveToCorner, {});
    EXPECT_EQ(setting(L"WidgetPosition"), L"default");
    EXPECT_GT(widgetRect().left, 300) << "back in the top-right corner";
}

TEST_F(WidgetAppTest, DroppedPicturesArePostedToTheControlWindowAndApplied)
{
    const std::wstring picture = pictures.png(L"dropped.png");
    IDropTarget* target = app.widget().dropTarget();
    ASSERT_NE(target, nullptr);
    const auto data = fileDropData({picture});
    DWORD effect = DROPEFFECT_COPY;
    ASSERT_EQ(S_OK, target->DragEnter(data.Get(), MK_LBUTTON, POINTL{0, 0}, &effect));
    effect = DROPEFFECT_COPY;
    ASSERT_EQ(S_OK, target->Drop(data.Get(), 0, POINTL{0, 0}, &effect));
    EXPECT_EQ(effect, static_cast<DWORD>(DROPEFFECT_COPY));
    EXPECT_TRUE(app.filesPending()) << "nothing is applied inside the drop";
    EXPECT_EQ(L"C:\\old.jpg", fake->wallpaperOf(L"\\\\?\\DISPLAY#1"));

    pumpMessages();
    EXPECT_FALSE(app.filesPending());
    EXPECT_EQ(picture, fake->wallpaperOf(L"\\\\?\\DISPLAY#1"));
}

TEST_F(WidgetAppTest, AFailureFlashesTheWidgetUntilTimerFour)
{
    const std::uint64_t drawn = app.widget().renderer().facesDrawn();
    app.showNotification(L"Couldn't change the wallpaper.", E_FAIL);
    EXPECT_TRUE(app.widget().errorFlash());
    EXPECT_TRUE(app.widget().visualState().errorFlash);
    EXPECT_EQ(app.widget().renderer().facesDrawn(), drawn + 1) << "the error look is drawn";
    EXPECT_EQ(L"Couldn't change the wallpaper.", std::wstring(app.widget().tooltipText()));
    EXPECT_EQ(2200u, system.periodOf(ErrorFlashTimer));

    send(WM_TIMER, ErrorFlashTimer);
    EXPECT_FALSE(app.widget().errorFlash());
    EXPECT_EQ(app.widget().renderer().facesDrawn(), drawn + 2);
}

TEST_F(WidgetAppTest, FollowsTheShellWhenItRestarts)
{
    const HWND first = app.widget().window();
    shell.reset(); // Explorer goes, and the widget it owned with it
    EXPECT_EQ(app.widget().window(), nullptr);
    shell = std::make_unique<FakeShellWindows>(ShellLayout::WorkerHostsIconView);

    send(app.trayIcon().taskbarCreatedMessage());
    EXPECT_TRUE(system.isArmed(RelayoutTimer));
    send(WM_TIMER, RelayoutTimer);
    const HWND second = app.widget().window();
    ASSERT_NE(second, nullptr);
    EXPECT_NE(second, first);
    EXPECT_EQ(GetWindow(second, GW_OWNER), shell->iconHost());
    EXPECT_TRUE(app.widget().dropRegistered());

    // A relayout with the same host keeps the same window.
    send(WM_DISPLAYCHANGE);
    send(WM_TIMER, RelayoutTimer);
    EXPECT_EQ(app.widget().window(), second);
}

TEST_F(WidgetAppTest, ForegroundChangesKeepTheWidgetRightAboveTheDesktop)
{
    const HWND widget = app.widget().window();
    ShowWindow(shell->progman(), SW_SHOWNOACTIVATE);
    // A relayout repairs the widget's place and shows it with its desktop.
    send(WM_DISPLAYCHANGE);
    send(WM_TIMER, RelayoutTimer);
    ASSERT_TRUE(IsWindowVisible(widget));
    // Another program's window slips in between; the next foreground change puts it back.
    const HWND other = CreateWindowExW(WS_EX_TOOLWINDOW, L"Static", L"", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                                       GetModuleHandleW(nullptr), nullptr);
    SetWindowPos(other, widget, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    ASSERT_EQ(GetWindow(shell->progman(), GW_HWNDPREV), other);
    send(ForegroundChangedMessage);
    EXPECT_EQ(GetWindow(shell->progman(), GW_HWNDPREV), widget);
    DestroyWindow(other);
    ShowWindow(shell->progman(), SW_HIDE);
}

TEST_F(WidgetAppTest, SystemColourChangesRedrawTheFace)
{
    const std::uint64_t drawn = app.widget().renderer().facesDrawn();
    SendMessageW(app.widget().window(), WM_SYSCOLORCHANGE, 0, 0);
    EXPECT_EQ(app.widget().renderer().facesDrawn(), drawn + 1);
    send(WM_SETTINGCHANGE);
    EXPECT_EQ(app.widget().renderer().facesDrawn(), drawn + 2);
}

TEST_F(WidgetAppTest, DpiChangeLaysTheWidgetOutAgain)
{
    app.executeCommand(kCommandFirstWidgetSize + 3, {}); // 128
    WidgetEvents& events = app;
    events.widgetDpiChanged();
    const RECT rect = widgetRect();
    EXPECT_EQ(
        rect.right - rect.left,
        scaleForDpi(128, getMonitorMetrics(MonitorFromWindow(app.widget().window(), MONITOR_DEFAULTTONEAREST)).dpi));
}

TEST_F(WidgetAppTest, ALanguageChangeRewritesTheTooltip)
{
    app.executeCommand(kCommandVietnamese, {});
    EXPECT_EQ(pick(kIdleTooltip, 1), std::wstring(app.widget().tooltipText()));
}

} // namespace
