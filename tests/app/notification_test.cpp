// The one reporting path: widget tooltip, debugger line, balloon and error flash.
#include "tests/support/recording_system.h"
#include "tests/support/shell_windows.h"
#include "tests/support/windowed_world.h"

#include <gtest/gtest.h>

#include <cwchar>

namespace {

// The program started on a stand-in desktop, so that its widget exists and a failure has
// something to flash; the taskbar answers unless a test says otherwise.
class NotificationTest : public ::testing::Test {
protected:
    void start(bool taskbar = true)
    {
        world.system.iconCallResult = taskbar ? TRUE : FALSE;
        ASSERT_EQ(S_OK, world.start());
        ASSERT_NE(app.widget().window(), nullptr);
        system.iconCalls.clear();
        system.debugLines.clear();
    }
    void SetUp() override { start(); }

    const NOTIFYICONDATAW& balloon() const { return system.iconCalls.at(0).data; }

    FakeShellWindows shell{ShellLayout::ProgmanHostsIconView};
    WindowedWorld world{false};
    Application& app = world.app;
    RecordingSystem& system = world.system;
};

class NotificationWithoutTaskbarTest : public NotificationTest {
protected:
    void SetUp() override { start(false); }
};

TEST_F(NotificationTest, SuccessShowsAnInformationBalloonAndDoesNotFlash)
{
    app.showNotification(L"Default wallpaper saved.", S_OK);

    EXPECT_EQ(L"Default wallpaper saved.", std::wstring(app.widget().tooltipText()));
    ASSERT_EQ(1u, system.debugLines.size());
    EXPECT_EQ(L"Peltorine: Default wallpaper saved. [0]\n", system.debugLines[0]);
    ASSERT_EQ(1u, system.iconCalls.size());
    EXPECT_EQ(static_cast<DWORD>(NIM_MODIFY), system.iconCalls[0].message);
    EXPECT_EQ(static_cast<UINT>(NIF_INFO), balloon().uFlags);
    EXPECT_EQ(static_cast<DWORD>(NIIF_INFO), balloon().dwInfoFlags);
    EXPECT_STREQ(L"Peltorine", balloon().szInfoTitle);
    EXPECT_STREQ(L"Default wallpaper saved.", balloon().szInfo);
    EXPECT_EQ(1u, balloon().uID);
    EXPECT_FALSE(app.widget().errorFlash());
    EXPECT_FALSE(system.isArmed(ErrorFlashTimer));
}

TEST_F(NotificationTest, FailureShowsAWarningAndFlashesTheWidgetEachTimeAnew)
{
    app.showNotification(L"Couldn't change the wallpaper.", static_cast<HRESULT>(0x80070002));

    EXPECT_EQ(L"Peltorine: Couldn't change the wallpaper. [2147942402]\n", system.debugLines.at(0));
    EXPECT_EQ(static_cast<DWORD>(NIIF_WARNING), balloon().dwInfoFlags);
    EXPECT_TRUE(app.widget().errorFlash());
    EXPECT_EQ(2200u, system.periodOf(ErrorFlashTimer));

    // A second failure a second later restarts the 2200 ms.
    system.now += 1000;
    app.showNotification(L"Couldn't save the settings.", E_ACCESSDENIED);
    EXPECT_EQ(2u, std::count_if(system.timerEvents.begin(), system.timerEvents.end(),
                                [](const auto& event) { return event.id == ErrorFlashTimer && event.armed; }));
    EXPECT_EQ(system.now, system.timerEvents.back().at);
}

TEST_F(NotificationWithoutTaskbarTest, OnlyTheTooltipAndTheDebugLineRemain)
{
    app.showNotification(L"Couldn't change the wallpaper.", E_FAIL);

    EXPECT_EQ(L"Couldn't change the wallpaper.", std::wstring(app.widget().tooltipText()));
    EXPECT_EQ(1u, system.debugLines.size());
    EXPECT_TRUE(system.iconCalls.empty());
    EXPECT_FALSE(app.widget().errorFlash());
}

TEST(NotificationWithoutWidget, AFailureShowsTheBalloonButArmsNoTimer)
{
    WindowedWorld world; // no desktop, so no widget
    ASSERT_EQ(S_OK, world.started);
    ASSERT_EQ(nullptr, world.app.widget().window());
    RecordingSystem& system = world.system;
    system.iconCalls.clear();
    world.app.showNotification(L"Couldn't change the wallpaper.", E_FAIL);
    EXPECT_EQ(1u, system.iconCalls.size());
    EXPECT_FALSE(system.isArmed(ErrorFlashTimer));
}

TEST_F(NotificationTest, LongTextsAreCutForTheBalloonAndTheTooltipButNotTheDebugLine)
{
    const std::wstring longText = L"Couldn't open image " + std::wstring(300, L'x') + L".png";
    app.showNotification(longText, E_FAIL);

    EXPECT_EQ(127u, std::wcslen(app.widget().tooltipText()));
    EXPECT_EQ(255u, wcslen(balloon().szInfo));
    EXPECT_EQ(L"Peltorine: " + longText + L" [2147500037]\n", system.debugLines.at(0));
}

} // namespace
