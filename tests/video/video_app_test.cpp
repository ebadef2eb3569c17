// A video in the whole program: what the menu and the widget say while one opens, how the
// control window pauses it (for the session and power messages it receives, and for the windows
// above the desktop, which the window events tell it to look at), and the video across an
// Explorer restart, with the program's own timers delivered by the test.
#include <gtest/gtest.h>

#include <algorithm>

#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/system_pauses.h"
#include "common/strings.h"
#include "tests/support/command_sender.h"
#include "tests/support/fake_media_engine.h"
#include "tests/support/shell_windows.h"
#include "tests/support/video_clips.h"
#include "tests/support/windowed_world.h"
#include "tray/menu_model.h"
#include "video/video_lifecycle.h"
#include "video/video_wallpaper.h"

namespace {

TEST(VideoInTheProgram, SwitchingLanguageWhileAVideoOpensKeepsTheOpeningTooltip)
{
    WindowedWorld world;
    ASSERT_EQ(S_OK, world.started);
    world.app.applyFileList({clipPath(kPatternClip)});
    ASSERT_TRUE(world.app.video().opening());

    world.app.executeCommand(kCommandVietnamese, {});

    EXPECT_EQ(std::wstring(world.app.widget().tooltipText()), pick(kOpeningVideoTooltip, kVietnamese));
    // Wine can crash at exit after an engine is shut down mid-load: let it come to rest.
    settle(*world.app.video().pending()->video);
}

void pumpMessages()
{
    MSG message{};
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE))
        DispatchMessageW(&message);
}

// A POWERBROADCAST_SETTING with one DWORD of data, as the system sends it.
struct PowerSettingMessage {
    PowerSettingMessage(const GUID& setting, DWORD value)
    {
        auto& message = *reinterpret_cast<POWERBROADCAST_SETTING*>(bytes);
        message.PowerSetting = setting;
        message.DataLength = sizeof(DWORD);
        std::memcpy(message.Data, &value, sizeof value);
    }
    LPARAM lParam() const { return reinterpret_cast<LPARAM>(bytes); }
    alignas(POWERBROADCAST_SETTING) unsigned char bytes[sizeof(POWERBROADCAST_SETTING) + sizeof(DWORD)] = {};
};

// The program with the pattern clip playing (on a stand-in engine) in a host window of the test's,
// over the one display at 0,0 1920x1080.
class PausingTheVideoInTheProgram : public testing::Test {
protected:
    void SetUp() override
    {
        world.findVideoHost = host->lookup();
        world.openVideo = paintedEngineOpener(RGB(255, 0, 0), standIns);
        ASSERT_EQ(S_OK, world.start());
        world.app.applyFileList({clipPath(kPatternClip)});
        const ULONGLONG end = GetTickCount64() + 20000;
        while (world.app.video().opening() && GetTickCount64() < end) {
            world.fireTimer(VideoTimer);
            pumpMessages();
            Sleep(5);
        }
        ASSERT_TRUE(world.app.video().showing());
        ASSERT_TRUE(world.app.video().playing());
        ASSERT_TRUE(armedAsPlaying()) << world.system.periodOf(VideoTimer);
    }

    // The video timer of a playing video: every 15 ms until the clip's frame rate is known, then
    // when the next frame of the 30 fps clip is due.
    bool armedAsPlaying() const
    {
        const UINT period = world.system.periodOf(VideoTimer);
        return period >= kShortestFrameWaitMs && period <= std::max(kVideoTickMs, 1000u / 30 + 1);
    }
    HWND control() const { return world.app.controlWindow(); }
    const VideoWallpaper& active() const { return *world.app.video().activeVideo(); }
    UINT presents() const
    {
        UINT count = 0;
        active().videoWindows().front().swapChain->GetLastPresentCount(&count);
        return count;
    }
    // The video timer, as often as the program's would fire in that time while armed.
    void runVideoTimer(int times)
    {
        for (int i = 0; i < times; ++i) {
            if (world.system.isArmed(VideoTimer))
                world.fireTimer(VideoTimer);
            world.system.now += 15;
            Sleep(15);
        }
    }
    std::wstring status()
    {
        CommandRequest request;
        request.kind = CommandKind::Status;
        if (sender.send(control(), request) != TRUE || !sender.reply)
            return L"";
        return sender.reply->text;
    }

    std::unique_ptr<TestHostWindow> host = std::make_unique<TestHostWindow>(1920, 1080);
    // Stand-in engines with red frames: these tests play paused videos again, which Wine 8's
    // presentation clock cannot be trusted with (it frees a pending timer too early).
    std::vector<Microsoft::WRL::ComPtr<FakeMediaEngine>> standIns;
    WindowedWorld world{false};
    CommandSender sender;
};

struct MessagePair {
    const char* name;
    UINT message;
    WPARAM pause;
    WPARAM resume;
    const GUID* setting; // PBT_POWERSETTINGCHANGE: pause and resume are the setting's values
    PauseReasons reason;
    const wchar_t* statusName;
};

class SystemMessage : public PausingTheVideoInTheProgram, public testing::WithParamInterface<MessagePair> {
protected:
    void send(WPARAM value)
    {
        const MessagePair& pair = GetParam();
        if (pair.setting) {
            const PowerSettingMessage setting(*pair.setting, static_cast<DWORD>(value));
            SendMessageW(control(), pair.message, PBT_POWERSETTINGCHANGE, setting.lParam());
        } else {
            SendMessageW(control(), pair.message, value, 0);
        }
    }
};

TEST_P(SystemMessage, PausesTheVideoOnTheLastFrameAndResumesIt)
{
    runVideoTimer(5);
    send(GetParam().pause);
    EXPECT_EQ(world.app.video().pauseReasons(), GetParam().reason);
    EXPECT_FALSE(world.app.video().playing());
    EXPECT_EQ(world.system.periodOf(VideoTimer), kReleasePausedVideoMs)
        << "a paused video wakes the program once only, to let its engine go";
    const double pausedAt = world.app.video().activeTime();
    const UINT presented = presents();
    // Even a stray timer message draws nothing.
    for (int i = 0; i < 10; ++i) {
        world.fireTimer(VideoTimer);
        Sleep(15);
    }
    EXPECT_NEAR(world.app.video().activeTime(), pausedAt, 0.05);
    EXPECT_EQ(presents(), presented);
    // The last frame stays: the video is still the wallpaper and the still was not put back.
    EXPECT_TRUE(world.app.video().showing());
    EXPECT_EQ(world.app.wallpaper().currentState().mode, ModeVideo);
    EXPECT_EQ(world.fake->wallpaperOf(L"\\\\?\\DISPLAY#1"), L"C:\\old.jpg");
    const std::wstring paused = status();
    EXPECT_NE(paused.find(L"\"playing\": false, \"pausedBecause\": \"" + std::wstring(GetParam().statusName) +
                          L"\", \"pauseReasons\": [\"" + GetParam().statusName + L"\"]"),
              std::wstring::npos)
        << utf8(paused);

    send(GetParam().resume);
    EXPECT_EQ(world.app.video().pauseReasons(), PauseReasons{0});
    EXPECT_TRUE(world.app.video().playing());
    EXPECT_TRUE(armedAsPlaying()) << world.system.periodOf(VideoTimer);
    EXPECT_GT(presents(), presented) << "the frame is drawn again at the resume";
    runVideoTimer(20);
    EXPECT_GT(world.app.video().activeTime(), pausedAt) << "it plays on from where it was";
    EXPECT_NE(status().find(L"\"playing\": true, \"pausedBecause\": null, \"pauseReasons\": []"), std::wstring::npos);
}

INSTANTIATE_TEST_SUITE_P(
    Messages, SystemMessage,
    testing::Values(
        MessagePair{"Lock", WM_WTSSESSION_CHANGE, WTS_SESSION_LOCK, WTS_SESSION_UNLOCK, nullptr, PauseLocked, L"locked"},
        MessagePair{"RemoteDisconnect", WM_WTSSESSION_CHANGE, WTS_REMOTE_DISCONNECT, WTS_REMOTE_CONNECT, nullptr,
                    PauseDisconnected, L"disconnected"},
        MessagePair{"Suspend", WM_POWERBROADCAST, PBT_APMSUSPEND, PBT_APMRESUMEAUTOMATIC, nullptr, PauseSuspended,
                    L"suspended"},
        MessagePair{"DisplayOff", WM_POWERBROADCAST, 0, 1, &kConsoleDisplayStateSetting, PauseDisplayOff,
                    L"display-off"},
        MessagePair{"DisplayDimmed", WM_POWERBROADCAST, 2, 1, &kConsoleDisplayStateSetting, PauseDisplayDimmed,
                    L"display-dimmed"},
        MessagePair{"BatterySaver", WM_POWERBROADCAST, 1, 0, &kPowerSavingStatusSetting, PauseBatterySaver,
                    L"battery-saver"},
        MessagePair{"EnergySaver", WM_POWERBROADCAST, 2, 1, &kEnergySaverStatusSetting, PauseEnergySaver,
                    L"energy-saver"}),
    [](const testing::TestParamInfo<MessagePair>& info) { return std::string(info.param.name); });

// A plain top-level window of the test over the whole display, without the window events that
// Wine does not send: the test sends them itself, as Windows would.
class CoverWindow {
public:
    CoverWindow()
        : window_(CreateWindowExW(WS_EX_NOACTIVATE, L"STATIC", L"cover", WS_POPUP | WS_VISIBLE, -10, -10, 1940, 1100,
                                  nullptr, nullptr, GetModuleHandleW(nullptr), nullptr))
    {
        SetWindowPos(window_, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    }
    ~CoverWindow() { DestroyWindow(window_); }
    HWND window() const { return window_; }

private:
    HWND window_;
};

std::vector<RecordingSystem::TimerEvent> armsOf(const RecordingSystem& system, UINT_PTR id)
{
    std::vector<RecordingSystem::TimerEvent> arms;
    for (const RecordingSystem::TimerEvent& event : system.timerEvents)
        if (event.id == id && event.armed)
            arms.push_back(event);
    return arms;
}

TEST_F(PausingTheVideoInTheProgram, AWindowEventLeadsToOneLookAtTheWindowsShortlyAfterTheLast)
{
    CoverWindow cover;
    world.system.timerEvents.clear();
    const int queries = world.system.windowQueries;
    // A burst: the window shows, comes to the front and moves.
    NotifyWinEvent(EVENT_OBJECT_SHOW, cover.window(), OBJID_WINDOW, CHILDID_SELF);
    pumpMessages();
    world.system.now += 20;
    NotifyWinEvent(EVENT_SYSTEM_FOREGROUND, cover.window(), OBJID_WINDOW, CHILDID_SELF);
    pumpMessages();
    world.system.now += 20;
    NotifyWinEvent(EVENT_OBJECT_LOCATIONCHANGE, cover.window(), OBJID_WINDOW, CHILDID_SELF);
    pumpMessages();
    const std::vector<RecordingSystem::TimerEvent> arms = armsOf(world.system, CoverCheckTimer);
    ASSERT_EQ(arms.size(), 3u) << "each event restarts the one timer";
    EXPECT_EQ(arms.back().milliseconds, kCoverCheckDelayMs);
    EXPECT_EQ(arms.back().at, world.system.now);
    EXPECT_EQ(world.system.windowQueries, queries) << "looked at before the burst ended";
    EXPECT_TRUE(world.app.video().playing());

    world.system.now += 50;
    world.fireTimer(CoverCheckTimer);
    EXPECT_EQ(world.system.windowQueries, queries + 1);
    EXPECT_FALSE(world.system.isArmed(CoverCheckTimer)) << "a one-shot timer";
    EXPECT_TRUE(world.app.video().covered());
    EXPECT_EQ(world.system.periodOf(VideoTimer), kReleasePausedVideoMs) << "once only, to let the engine go";
    EXPECT_NE(status().find(L"\"pausedBecause\": \"covered\", \"pauseReasons\": [\"covered\"]"), std::wstring::npos);

    // The covering window is minimized: within 100 ms of it, the video plays.
    ShowWindow(cover.window(), SW_MINIMIZE);
    const std::uint64_t gone = world.system.now;
    world.system.timerEvents.clear();
    NotifyWinEvent(EVENT_SYSTEM_MINIMIZESTART, cover.window(), OBJID_WINDOW, CHILDID_SELF);
    pumpMessages();
    const std::vector<RecordingSystem::TimerEvent> resume = armsOf(world.system, CoverCheckTimer);
    ASSERT_EQ(resume.size(), 1u);
    EXPECT_LE(resume.front().at + resume.front().milliseconds, gone + 100);
    world.system.now = resume.front().at + resume.front().milliseconds;
    world.fireTimer(CoverCheckTimer);
    EXPECT_FALSE(world.app.video().covered());
    EXPECT_TRUE(world.app.video().playing());
    EXPECT_TRUE(armedAsPlaying()) << world.system.periodOf(VideoTimer);
}

TEST_F(PausingTheVideoInTheProgram, EventsOfChildWindowsOrOtherObjectsAreNotFollowed)
{
    CoverWindow cover;
    const HWND child = CreateWindowExW(0, L"STATIC", L"", WS_CHILD | WS_VISIBLE, 0, 0, 10, 10, cover.window(), nullptr,
                                       GetModuleHandleW(nullptr), nullptr);
    world.system.timerEvents.clear();
    NotifyWinEvent(EVENT_OBJECT_SHOW, child, OBJID_WINDOW, CHILDID_SELF);
    NotifyWinEvent(EVENT_OBJECT_LOCATIONCHANGE, cover.window(), OBJID_CARET, CHILDID_SELF);
    NotifyWinEvent(EVENT_OBJECT_LOCATIONCHANGE, cover.window(), OBJID_WINDOW, 3);
    // An event the hooks do not ask for.
    NotifyWinEvent(EVENT_OBJECT_NAMECHANGE, cover.window(), OBJID_WINDOW, CHILDID_SELF);
    pumpMessages();
    EXPECT_TRUE(armsOf(world.system, CoverCheckTimer).empty());
}

TEST_F(PausingTheVideoInTheProgram, WithoutAVideoNoWindowEventIsFollowed)
{
    world.app.executeCommand(kCommandUseVideoFrame, {});
    ASSERT_FALSE(world.app.video().showing());
    CoverWindow cover;
    world.system.timerEvents.clear();
    NotifyWinEvent(EVENT_OBJECT_SHOW, cover.window(), OBJID_WINDOW, CHILDID_SELF);
    pumpMessages();
    EXPECT_TRUE(armsOf(world.system, CoverCheckTimer).empty());
}

TEST(VideoInTheProgram, AnExplorerRestartKeepsThePlayingVideoAndMovesItUnderTheNewShell)
{
    std::optional<FakeShellWindows> shell(std::in_place, ShellLayout::WorkerHostsIconView);
    WindowedWorld world(false);
    world.fake->removeDisplay(L"\\\\?\\DISPLAY#1");
    world.fake->addDisplay(L"\\\\?\\DISPLAY#1", {0, 0, 320, 240}, L"C:\\old.jpg");
    ASSERT_EQ(S_OK, world.start());
    world.app.applyFileList({clipPath(kPatternClip)});
    const ULONGLONG end = GetTickCount64() + 20000;
    while (world.app.video().opening() && GetTickCount64() < end) {
        world.fireTimer(VideoTimer);
        MSG message{};
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE))
            DispatchMessageW(&message);
        Sleep(5);
    }
    const VideoLifecycle& video = world.app.video();
    ASSERT_TRUE(video.showing());
    world.system.debugLines.clear();

    // Explorer goes: the next video tick finds the windows gone and the relayout is scheduled.
    shell.reset();
    world.fireTimer(VideoTimer);
    EXPECT_TRUE(video.awaitingHost());
    ASSERT_TRUE(world.system.isArmed(RelayoutTimer));
    world.system.now += 400;
    world.fireTimer(RelayoutTimer);
    EXPECT_TRUE(video.awaitingHost());
    EXPECT_TRUE(world.system.isArmed(RelayoutTimer)) << "tried again while the shell is away";

    // Ten seconds later the new shell is up and says so.
    world.system.now += 10000;
    world.fireTimer(VideoTimer);
    world.fireTimer(RelayoutTimer);
    shell.emplace(ShellLayout::WorkerHostsIconView);
    SendMessageW(world.app.controlWindow(), world.app.trayIcon().taskbarCreatedMessage(), 0, 0);
    world.system.now += 400;
    world.fireTimer(RelayoutTimer);

    ASSERT_TRUE(video.showing());
    EXPECT_FALSE(video.awaitingHost());
    EXPECT_EQ(world.app.wallpaper().currentState().mode, ModeVideo);
    const HWND window = video.activeVideo()->videoWindows().front().window.get();
    EXPECT_EQ(GetParent(window), shell->wallpaperWorker());
    EXPECT_NE(GetWindowLongPtrW(window, GWL_STYLE) & WS_VISIBLE, 0);
    EXPECT_TRUE(world.system.debugLines.empty()) << "nothing was told";
    world.fireTimer(VideoTimer);
    EXPECT_TRUE(video.showing());
}

} // namespace
