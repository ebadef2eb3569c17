// The control window: its messages, timers, the debounced relayout and the tray icon events,
// driven in-process with a clock the test moves and timer messages the test delivers.
#include "app/application.h"
#include "platform/window_thunk.h"
#include "tests/support/fake_desktop_wallpaper.h"
#include "tests/support/recording_system.h"
#include "tests/support/temp_folder.h"
#include "tests/support/wallpaper_world.h"
#include "tests/support/windowed_world.h"

#include <gtest/gtest.h>
#include <objbase.h>

#include <algorithm>
#include <vector>

namespace {

class ControlWindowTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_EQ(S_OK, world.started); }

    LRESULT send(UINT message, WPARAM wParam = 0, LPARAM lParam = 0)
    {
        return SendMessageW(app.controlWindow(), message, wParam, lParam);
    }

    std::vector<RecordingSystem::TimerEvent> eventsOf(UINT_PTR id) const
    {
        std::vector<RecordingSystem::TimerEvent> events;
        for (const auto& event : system.timerEvents)
            if (event.id == id)
                events.push_back(event);
        return events;
    }

    WindowedWorld world;
    Application& app = world.app;
    RecordingSystem& system = world.system;
    TempFolder& folder = world.folder;
    Microsoft::WRL::ComPtr<FakeDesktopWallpaper>& fake = world.fake;
};

TEST_F(ControlWindowTest, IsAHiddenTopLevelToolWindowNamedPeltorine)
{
    const HWND window = FindWindowW(L"Peltorine.Control", L"Peltorine");
    ASSERT_EQ(window, app.controlWindow());
    EXPECT_FALSE(IsWindowVisible(window));
    EXPECT_EQ(nullptr, GetParent(window));
    EXPECT_TRUE(GetWindowLongPtrW(window, GWL_EXSTYLE) & WS_EX_TOOLWINDOW);
    EXPECT_TRUE(GetWindowLongPtrW(window, GWL_STYLE) & WS_POPUP);
}

TEST_F(ControlWindowTest, BurstOfDisplayChangesGivesOneRelayoutAfterTheLast)
{
    for (int i = 0; i < 5; ++i) {
        if (i > 0)
            system.now += 100;
        EXPECT_EQ(0, send(WM_DISPLAYCHANGE));
    }
    const std::uint64_t last = system.now;

    // Each trigger restarts the same 400 ms timer, so only the last one can expire.
    const auto arms = eventsOf(RelayoutTimer);
    ASSERT_EQ(5u, arms.size());
    for (const auto& event : arms) {
        EXPECT_TRUE(event.armed);
        EXPECT_EQ(400u, event.milliseconds);
    }
    system.now = last + 400;
    system.timerEvents.clear();
    send(WM_TIMER, RelayoutTimer);
    const auto afterExpiry = eventsOf(RelayoutTimer);
    ASSERT_FALSE(afterExpiry.empty());
    EXPECT_FALSE(afterExpiry.front().armed) << "the expiry kills the one-shot timer first";
}

TEST_F(ControlWindowTest, RelayoutRetriesWithoutAWidgetUntilThirtySecondsAfterTheLastTrigger)
{
    ASSERT_EQ(kRelayoutRetryMs, 30000u) << "as long as a restarting shell may take";
    send(WM_THEMECHANGED);
    const std::uint64_t deadline = system.now + kRelayoutRetryMs;

    // No desktop host here, so the widget never appears: the loop re-arms every 400 ms, and the
    // retries do not move the deadline ...
    for (system.now += 400; system.now < deadline; system.now += 400) {
        send(WM_TIMER, RelayoutTimer);
        ASSERT_TRUE(system.isArmed(RelayoutTimer)) << "at " << system.now;
    }
    // ... and gives up once the deadline has passed, until the next trigger.
    send(WM_TIMER, RelayoutTimer);
    EXPECT_FALSE(system.isArmed(RelayoutTimer));

    // A new trigger ("TaskbarCreated" from a restarted shell) sets a new deadline from now.
    send(app.trayIcon().taskbarCreatedMessage());
    EXPECT_TRUE(system.isArmed(RelayoutTimer));
    system.now += kRelayoutRetryMs - 1;
    send(WM_TIMER, RelayoutTimer);
    EXPECT_TRUE(system.isArmed(RelayoutTimer));
    system.now += 1;
    send(WM_TIMER, RelayoutTimer);
    EXPECT_FALSE(system.isArmed(RelayoutTimer));
}

TEST_F(ControlWindowTest, TaskbarRestartAddsTheIconAgainWithTheSameHandle)
{
    ASSERT_NE(0u, app.trayIcon().taskbarCreatedMessage());
    ASSERT_FALSE(system.iconCalls.empty());
    const HICON first = system.iconCalls.front().data.hIcon;
    system.iconCalls.clear();

    EXPECT_EQ(0, send(app.trayIcon().taskbarCreatedMessage()));

    ASSERT_EQ(2u, system.iconCalls.size());
    EXPECT_EQ(static_cast<DWORD>(NIM_ADD), system.iconCalls[0].message);
    EXPECT_EQ(first, system.iconCalls[0].data.hIcon);
    EXPECT_EQ(app.controlWindow(), system.iconCalls[0].data.hWnd);
    EXPECT_EQ(1u, system.iconCalls[0].data.uID);
    EXPECT_EQ(static_cast<DWORD>(NIM_SETVERSION), system.iconCalls[1].message);
    EXPECT_TRUE(system.isArmed(RelayoutTimer));
}

// Dropped files arrive through the widget (its tests drop real pictures); the message alone,
// with nothing dropped, finds nothing to take.
TEST_F(ControlWindowTest, AFilesDroppedMessageWithNothingDroppedDoesNothing)
{
    const FakeDesktopState before = fake->state();
    send(FilesDroppedMessage);
    EXPECT_FALSE(app.filesPending());
    EXPECT_TRUE(system.debugLines.empty());
    EXPECT_EQ(before, fake->state());
}

TEST_F(ControlWindowTest, SlideshowTimerDoesNothingUnlessASlideshowRuns)
{
    PictureFolder pictures;
    app.applyFileList({pictures.png(L"a.png")});
    ASSERT_EQ(ModeStill, app.wallpaper().currentState().mode);
    fake->clearCalls();
    send(WM_TIMER, SlideshowTimer);
    EXPECT_EQ(0, fake->totalCalls()) << fake->callsText();
}

TEST_F(ControlWindowTest, IconEventsSingleClickDoesNothingDoubleClickRestoresTheDefault)
{
    PictureFolder pictures;
    const std::wstring chosen = pictures.png(L"default.png");
    world.chooseFiles = [&](HWND, bool, std::uint32_t) { return std::vector<std::wstring>{chosen}; };
    app.chooseDefaultWallpaper();
    const std::wstring picture = app.settings().defaultWallpaperPath();
    ASSERT_FALSE(picture.empty());
    fake->clearCalls();

    send(TrayCallbackMessage, 0, MAKELPARAM(WM_LBUTTONDOWN, 1));
    send(TrayCallbackMessage, 0, MAKELPARAM(WM_LBUTTONUP, 1));
    EXPECT_EQ(0, fake->callCount(L"SetWallpaper"));

    send(TrayCallbackMessage, 0, MAKELPARAM(WM_LBUTTONDBLCLK, 1));
    EXPECT_EQ(picture, fake->wallpaperOf(L"\\\\?\\DISPLAY#1")) << fake->callsText();
}

TEST_F(ControlWindowTest, CloseEndsTheLoopWithExitCodeZeroAndKeepsTheWindow)
{
    send(WM_CLOSE);
    EXPECT_TRUE(IsWindow(app.controlWindow()));
    MSG message{};
    ASSERT_TRUE(PeekMessageW(&message, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
    EXPECT_EQ(0u, message.wParam);
}

TEST_F(ControlWindowTest, ShutdownRemovesTheIconAndDestroysTheWindow)
{
    const HWND window = app.controlWindow();
    system.iconCalls.clear();
    app.shutdown();
    EXPECT_FALSE(IsWindow(window));
    ASSERT_EQ(1u, system.iconCalls.size());
    EXPECT_EQ(static_cast<DWORD>(NIM_DELETE), system.iconCalls[0].message);
    EXPECT_EQ(window, system.iconCalls[0].data.hWnd);
    EXPECT_EQ(1u, system.iconCalls[0].data.uID);
    EXPECT_EQ(0u, system.iconCalls[0].data.uFlags);
    EXPECT_FALSE(app.trayIcon().added());
}

TEST(ControlWindowThunk, MessagesBeforeCreationGoToTheDefaultProcedure)
{
    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = windowThunk<Application>;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.lpszClassName = L"Peltorine.ThunkTest";
    ASSERT_NE(0, RegisterClassW(&windowClass));
    // Created without an Application: every message must reach DefWindowProcW unharmed.
    const HWND window = CreateWindowExW(0, windowClass.lpszClassName, L"x", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr,
                                        windowClass.hInstance, nullptr);
    ASSERT_NE(nullptr, window);
    EXPECT_EQ(0, GetWindowLongPtrW(window, GWLP_USERDATA));
    EXPECT_EQ(DefWindowProcW(window, WM_GETTEXTLENGTH, 0, 0), SendMessageW(window, WM_GETTEXTLENGTH, 0, 0));
    DestroyWindow(window);
    UnregisterClassW(windowClass.lpszClassName, windowClass.hInstance);
}

// Any class with a handleMessage member gets its messages through the one thunk, from the
// first message after WM_NCCREATE to WM_NCDESTROY, and is let go with the window.
struct RecordingWindow {
    LRESULT handleMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) noexcept
    {
        messages.push_back(message);
        if (message == WM_NCDESTROY)
            boundAtTheEnd = GetWindowLongPtrW(window, GWLP_USERDATA) != 0;
        if (message == WM_APP)
            return 42;
        return DefWindowProcW(window, message, wParam, lParam);
    }
    std::vector<UINT> messages;
    bool boundAtTheEnd = true;
};

TEST(ControlWindowThunk, ForwardsEveryMessageToTheBoundObjectAndUnbindsAtTheEnd)
{
    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = windowThunk<RecordingWindow>;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.lpszClassName = L"Peltorine.ThunkTest2";
    ASSERT_NE(0, RegisterClassW(&windowClass));
    RecordingWindow owner;
    const HWND window = CreateWindowExW(0, windowClass.lpszClassName, L"x", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr,
                                        windowClass.hInstance, &owner);
    ASSERT_NE(nullptr, window);
    EXPECT_EQ(42, SendMessageW(window, WM_APP, 0, 0));
    DestroyWindow(window);
    UnregisterClassW(windowClass.lpszClassName, windowClass.hInstance);

    ASSERT_FALSE(owner.messages.empty());
    EXPECT_EQ(static_cast<UINT>(WM_NCCREATE), owner.messages.front());
    EXPECT_NE(owner.messages.end(),
              std::find(owner.messages.begin(), owner.messages.end(), static_cast<UINT>(WM_CREATE)));
    EXPECT_EQ(static_cast<UINT>(WM_NCDESTROY), owner.messages.back());
    EXPECT_FALSE(owner.boundAtTheEnd);
}

} // namespace
