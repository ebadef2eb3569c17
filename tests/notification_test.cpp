// The one reporting path: widget tooltip, debugger line, balloon and error flash.
#include "app/application.h"
#include "tests/support/recording_system.h"
#include "tests/support/shell_windows.h"

#include <gtest/gtest.h>

#include <cwchar>

namespace {

class NotificationTest : public ::testing::Test {
protected:
    NotificationTest()
    {
        app.trayIcon.add(reinterpret_cast<HWND>(0x1234), TrayCallbackMessage);
        system.iconCalls.clear();
    }

    ~NotificationTest() override
    {
        app.destroyWidget();
    }

    const NOTIFYICONDATAW& balloon() const { return system.iconCalls.at(0).data; }

    // A widget on a stand-in desktop, so that a failure has something to flash.
    void showWidget()
    {
        app.createWidget();
        ASSERT_NE(app.widget.window(), nullptr);
    }

    RecordingSystem system;
    FakeShellWindows shell{ShellLayout::ProgmanHostsIconView};
    Application app{GetModuleHandleW(nullptr), system};
};

TEST_F(NotificationTest, SuccessShowsAnInformationBalloonAndDoesNotFlash)
{
    showWidget();
    app.showNotification(L"Default wallpaper saved.", S_OK);

    EXPECT_EQ(L"Default wallpaper saved.", std::wstring(app.widget.tooltipText()));
    ASSERT_EQ(1u, system.debugLines.size());
    EXPECT_EQ(L"Peltorine: Default wallpaper saved. [0]\n", system.debugLines[0]);
    ASSERT_EQ(1u, system.iconCalls.size());
    EXPECT_EQ(static_cast<DWORD>(NIM_MODIFY), system.iconCalls[0].message);
    EXPECT_EQ(static_cast<UINT>(NIF_INFO), balloon().uFlags);
    EXPECT_EQ(static_cast<DWORD>(NIIF_INFO), balloon().dwInfoFlags);
    EXPECT_STREQ(L"Peltorine", balloon().szInfoTitle);
    EXPECT_STREQ(L"Default wallpaper saved.", balloon().szInfo);
    EXPECT_EQ(1u, balloon().uID);
    EXPECT_FALSE(app.widget.errorFlash());
    EXPECT_FALSE(system.isArmed(ErrorFlashTimer));
}

TEST_F(NotificationTest, FailureShowsAWarningAndFlashesTheWidgetEachTimeAnew)
{
    showWidget();
    app.showNotification(L"Couldn't change the wallpaper.", static_cast<HRESULT>(0x80070002));

    EXPECT_EQ(L"Peltorine: Couldn't change the wallpaper. [2147942402]\n", system.debugLines.at(0));
    EXPECT_EQ(static_cast<DWORD>(NIIF_WARNING), balloon().dwInfoFlags);
    EXPECT_TRUE(app.widget.errorFlash());
    EXPECT_EQ(2200u, system.periodOf(ErrorFlashTimer));

    // A second failure a second later restarts the 2200 ms.
    system.now += 1000;
    app.showNotification(L"Couldn't save the settings.", E_ACCESSDENIED);
    EXPECT_EQ(2u, std::count_if(system.timerEvents.begin(), system.timerEvents.end(),
                                [](const auto& event) { return event.id == ErrorFlashTimer && event.armed; }));
    EXPECT_EQ(system.now, system.timerEvents.back().at);
}

TEST_F(NotificationTest, WithoutATaskbarOnlyTheTooltipAndTheDebugLineRemain)
{
    app.trayIcon.remove();
    system.iconCalls.clear();
    showWidget();
    app.showNotification(L"Couldn't change the wallpaper.", E_FAIL);

    EXPECT_EQ(L"Couldn't change the wallpaper.", std::wstring(app.widget.tooltipText()));
    EXPECT_EQ(1u, system.debugLines.size());
    EXPECT_TRUE(system.iconCalls.empty());
    EXPECT_FALSE(app.widget.errorFlash());
}

TEST_F(NotificationTest, FailureWithoutAWidgetShowsTheBalloonButArmsNoTimer)
{
    app.showNotification(L"Couldn't change the wallpaper.", E_FAIL);
    EXPECT_EQ(1u, system.iconCalls.size());
    EXPECT_FALSE(system.isArmed(ErrorFlashTimer));
}

TEST_F(NotificationTest, LongTextsAreCutForTheBalloonAndTheTooltipButNotTheDebugLine)
{
    const std::wstring longText = L"Couldn't open image " + std::wstring(300, L'x') + L".png";
    app.showNotification(longText, E_FAIL);

    EXPECT_EQ(127u, std::wcslen(app.widget.tooltipText()));
    EXPECT_EQ(255u, wcslen(balloon().szInfo));
    EXPECT_EQ(L"Peltorine: " + longText + L" [2147500037]\n", system.debugLines.at(0));
}

TEST(TrayIcon, AddsVersionFourIconWithTooltipAndCallback)
{
    RecordingSystem system;
    Application app(GetModuleHandleW(nullptr), system);
    app.trayIcon.add(app.controlWindow.get(), TrayCallbackMessage);

    ASSERT_EQ(2u, system.iconCalls.size());
    const NOTIFYICONDATAW& add = system.iconCalls[0].data;
    EXPECT_EQ(static_cast<DWORD>(NIM_ADD), system.iconCalls[0].message);
    EXPECT_EQ(static_cast<UINT>(NIF_MESSAGE | NIF_ICON | NIF_TIP | NIF_SHOWTIP), add.uFlags);
    EXPECT_EQ(0x8001u, add.uCallbackMessage);
    EXPECT_STREQ(L"Peltorine", add.szTip);
    EXPECT_NE(nullptr, add.hIcon);
    EXPECT_EQ(static_cast<DWORD>(NIM_SETVERSION), system.iconCalls[1].message);
    EXPECT_EQ(4u, system.iconCalls[1].data.uVersion);
    EXPECT_TRUE(app.trayIcon.added());
}

TEST(TrayIcon, MissingTaskbarLeavesNoIconAndNoVersionCall)
{
    RecordingSystem system;
    system.iconCallResult = FALSE;
    Application app(GetModuleHandleW(nullptr), system);
    app.trayIcon.add(app.controlWindow.get(), TrayCallbackMessage);
    EXPECT_EQ(1u, system.iconCalls.size());
    EXPECT_FALSE(app.trayIcon.added());
}

} // namespace
