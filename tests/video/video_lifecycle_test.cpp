// Video wallpapers in the program: opening in the background while the earlier wallpaper
// stays, the commit with its undo record, the failures and the 12-second deadline, pausing
// while windows hide it or the session and power say so, the rebuild of lost windows, "Use
// current video frame" and undo, and the end of the process.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "tests/support/fake_media_engine.h"
#include "tests/support/shell_windows.h"
#include "tests/support/temp_folder.h"
#include "tests/support/video_clips.h"
#include "common/strings.h"
#include "tests/support/wallpaper_world.h"
#include "tests/video/video_world.h"
#include "video/video_wallpaper.h"

namespace {

constexpr RECT kScreen{0, 0, 320, 240};
constexpr COLORREF kRed = RGB(255, 0, 0);
constexpr COLORREF kWhite = RGB(255, 255, 255);
constexpr COLORREF kPurple = RGB(128, 0, 128);
constexpr HRESULT kTimeout = HRESULT_FROM_WIN32(ERROR_TIMEOUT);

constexpr RECT kSecondScreen{320, 0, 640, 240};

// A top-level window of the test made the foreground window.
class ForegroundWindow {
public:
    explicit ForegroundWindow(RECT area)
        : window_(CreateWindowExW(0, L"STATIC", L"cover", WS_POPUP | WS_VISIBLE, area.left, area.top,
                                  area.right - area.left, area.bottom - area.top, nullptr, nullptr,
                                  GetModuleHandleW(nullptr), nullptr))
    {
        SetForegroundWindow(window_);
    }
    ~ForegroundWindow() { close(); }
    void close()
    {
        if (window_)
            DestroyWindow(window_);
        window_ = nullptr;
    }
    HWND window() const { return window_; }

private:
    HWND window_;
};

class VideoLifecycleTest : public testing::Test {
protected:
    void SetUp() override
    {
        world.fake->addDisplay(kDisplay1, kScreen, oldPicture);
        world.fake->setPosition(DWPOS_CENTER);
        world.fake->setBackgroundColor(kPurple);
        ASSERT_EQ(S_OK, world.settings.setFitMode(FitStretch));
        world.findHost = host->lookup();
        world.engine.applyFileList({oldPicture});
        ASSERT_EQ(world.engine.currentState().mode, ModeStill);
        world.notifications.clear();
    }

    void TearDown() override
    {
        if (world.video.pending())
            settle(*world.video.pending()->video);
    }

    // Ticks until no video is pending any more, as the program's video timer would; the
    // decoder runs on its own threads, so wall time passes between ticks, the clock seam does not.
    void tickUntilSettled()
    {
        world.tickWhileOpening();
        ASSERT_FALSE(world.video.opening()) << "the video never settled";
    }

    void playPattern()
    {
        world.engine.applyFileList({clipPath(kPatternClip)});
        tickUntilSettled();
        ASSERT_TRUE(world.video.showing()) << "notifications: " << notifications();
    }

    // Ticks until the playing video has shown some more frames.
    void playFor(int ticks)
    {
        for (int i = 0; i < ticks; ++i) {
            world.tick();
            Sleep(15);
        }
    }

    std::string notifications() const
    {
        std::wstring all;
        for (const std::wstring& line : world.notifications)
            all += line;
        return utf8(all);
    }

    const VideoWallpaper& active() const { return *world.video.activeVideo(); }
    // The timer of a playing video: every 15 ms until the clip's frame rate is known, then when the
    // next frame of the 30 fps clips is due.
    bool tickedAsPlaying() const
    {
        const UINT period = world.video.timerPeriod();
        return period >= kShortestFrameWaitMs && period <= std::max(kVideoTickMs, 1000u / 30 + 1);
    }
    UINT presentsOf(std::size_t window) const
    {
        UINT count = 0;
        active().videoWindows()[window].swapChain->GetLastPresentCount(&count);
        return count;
    }

    PictureFolder pictures;
    std::wstring oldPicture = pictures.png(L"old.png", RGB(0, 0, 255));
    // Opens are real unless a test stalls them (the engine then never delivers a frame) or plays
    // them on stand-in engines with red frames. Tests that play a paused video again use the
    // stand-ins: Wine 8's presentation clock releases a sample's pending timer once too often when
    // a paused session starts again, and the freed timer now and then crashes the process.
    bool stallOpens = false;
    bool standInEngines = false;
    std::vector<Microsoft::WRL::ComPtr<FakeMediaEngine>> standIns;
    VideoOpener openStandIn = paintedEngineOpener(kRed, standIns);
    VideoWorld world{[this](VideoWallpaper& video, const std::wstring& path, double position) {
        if (stallOpens)
            return S_OK;
        return standInEngines ? openStandIn(video, path, position) : video.open(path, position);
    }};
    std::unique_ptr<TestHostWindow> host = std::make_unique<TestHostWindow>(320, 240);
};

TEST_F(VideoLifecycleTest, AVideoOpensBehindTheEarlierWallpaperAndIsShownWithItsFirstFrame)
{
    world.engine.applyFileList({clipPath(kPatternClip)});
    // Opening: the earlier picture stays, the tick runs every 15 ms.
    ASSERT_TRUE(world.video.opening()) << notifications();
    EXPECT_EQ(world.tooltip, pick(kOpeningVideoTooltip, kEnglish));
    EXPECT_EQ(world.video.timerPeriod(), kVideoTickMs);
    EXPECT_EQ(world.engine.currentState().mode, ModeStill);

    tickUntilSettled();
    ASSERT_TRUE(world.video.showing()) << notifications();
    EXPECT_EQ(world.engine.currentState().mode, ModeVideo);
    EXPECT_EQ(world.engine.currentState().files, std::vector<std::wstring>{clipPath(kPatternClip)});
    EXPECT_EQ(world.tooltip, pick(kVideoTooltip, kEnglish));
    EXPECT_TRUE(world.notifications.empty()) << notifications();
    // The shell's own wallpaper is untouched under the video, and undo would bring the picture back.
    EXPECT_EQ(world.fake->wallpaperOf(kDisplay1), oldPicture);
    ASSERT_TRUE(world.engine.undoEntry());
    EXPECT_EQ(world.engine.undoEntry()->state.mode, ModeStill);

    // One shown window over the display, in the host, with the clip's frame in it.
    ASSERT_EQ(active().videoWindows().size(), 1u);
    const HWND window = active().videoWindows().front().window.get();
    EXPECT_EQ(GetParent(window), host->window());
    EXPECT_NE(GetWindowLongPtrW(window, GWL_STYLE) & WS_VISIBLE, 0);
    const BackBuffer frame = readBackBuffer(active(), 0);
    EXPECT_TRUE(closeTo(frame.at(40, 30), kRed)) << describe(frame.at(40, 30));
    EXPECT_TRUE(closeTo(frame.at(280, 210), kWhite)) << describe(frame.at(280, 210));
    EXPECT_EQ(world.video.background(), kPurple);
    EXPECT_TRUE(tickedAsPlaying()) << world.video.timerPeriod();
}

struct BrokenClip {
    const char* name;
    const wchar_t* clip;
    HRESULT code; // S_OK: whatever failure the engine reports
};

class VideoOpenFailure : public VideoLifecycleTest, public testing::WithParamInterface<BrokenClip> {};

TEST_P(VideoOpenFailure, LeavesTheEarlierWallpaperAndSaysWhy)
{
    world.engine.applyFileList({clipPath(GetParam().clip)});
    tickUntilSettled();
    EXPECT_FALSE(world.video.showing());
    EXPECT_EQ(world.engine.currentState().mode, ModeStill);
    EXPECT_EQ(world.engine.currentState().files, std::vector<std::wstring>{oldPicture});
    EXPECT_EQ(world.fake->wallpaperOf(kDisplay1), oldPicture);
    ASSERT_EQ(world.notifications.size(), 1u);
    const std::wstring& line = world.notifications.front();
    EXPECT_EQ(line.rfind(L"Peltorine: " + std::wstring(pick(kVideoPlayFailed, kEnglish)) + L" [", 0), 0u) << utf8(line);
    if (GetParam().code != S_OK)
        EXPECT_EQ(line, notificationLine(pick(kVideoPlayFailed, kEnglish), GetParam().code));
    else
        EXPECT_EQ(line.find(L"[0]"), std::wstring::npos) << utf8(line);
    // No video remains: the timer stops and Media Foundation shuts down.
    EXPECT_EQ(0u, world.video.timerPeriod());
    EXPECT_FALSE(world.video.mediaFoundationStarted());
}

INSTANTIATE_TEST_SUITE_P(Clips, VideoOpenFailure,
                         testing::Values(BrokenClip{"SoundOnly", kSoundOnlyClip, MF_E_INVALIDMEDIATYPE},
                                         BrokenClip{"Corrupt", kCorruptClip, S_OK}),
                         [](const testing::TestParamInfo<BrokenClip>& info) { return std::string(info.param.name); });

TEST_F(VideoLifecycleTest, AnOpenWithoutAFrameWithinTwelveSecondsIsGivenUp)
{
    // A source that never delivers a frame nor an error; the clock seam moves to the deadline.
    stallOpens = true;
    world.engine.applyFileList({clipPath(kPatternClip)});
    ASSERT_TRUE(world.video.opening());
    world.tick();
    world.system.now += 11999;
    world.tick();
    ASSERT_TRUE(world.video.opening()) << "given up before the deadline";
    world.system.now += 1;
    world.tick();
    EXPECT_FALSE(world.video.opening());
    EXPECT_EQ(world.notifications,
              std::vector<std::wstring>{notificationLine(pick(kVideoPlayFailed, kEnglish), kTimeout)});
    EXPECT_EQ(world.engine.currentState().files, std::vector<std::wstring>{oldPicture});
    EXPECT_EQ(0u, world.video.timerPeriod());
}

TEST_F(VideoLifecycleTest, ASecondVideoReplacesOneStillOpeningWithoutAMessage)
{
    world.engine.applyFileList({clipPath(kPatternClip)});
    settle(*world.video.pending()->video);
    world.system.now += 5000;
    world.engine.applyFileList({clipPath(kPatternClip)});
    ASSERT_TRUE(world.video.opening());
    EXPECT_EQ(world.video.pending()->deadline, world.system.now + 12000);
    tickUntilSettled();
    EXPECT_TRUE(world.video.showing());
    EXPECT_TRUE(world.notifications.empty()) << notifications();
}

// The shell restarting while a video opens: no host for its windows when its first frame comes.
class OpeningWithoutHost : public VideoLifecycleTest {
protected:
    void openToFirstFrame()
    {
        world.findHost = [] { return VideoHost{}; };
        world.engine.applyFileList({clipPath(kPatternClip)});
        const ULONGLONG end = GetTickCount64() + 20000;
        while (world.video.opening() && !world.video.pending()->video->hasVideoFrame() && GetTickCount64() < end) {
            world.tick();
            Sleep(5);
        }
        ASSERT_TRUE(world.video.opening()) << notifications();
        ASSERT_TRUE(world.video.pending()->video->hasVideoFrame());
    }
};

TEST_F(OpeningWithoutHost, TheVideoWaitsForTheNewShellsHostAndIsShownInIt)
{
    openToFirstFrame();
    world.system.now += kShellWaitMs - 1;
    world.tick();
    ASSERT_TRUE(world.video.opening()) << "given up before the shell had its time: " << notifications();
    EXPECT_EQ(world.engine.currentState().mode, ModeStill);

    world.findHost = host->lookup();
    world.tick();
    EXPECT_FALSE(world.video.opening());
    ASSERT_TRUE(world.video.showing()) << notifications();
    EXPECT_EQ(world.engine.currentState().mode, ModeVideo);
    EXPECT_EQ(GetParent(active().videoWindows().front().window.get()), host->window());
    EXPECT_TRUE(world.notifications.empty()) << notifications();
}

TEST_F(OpeningWithoutHost, WithoutAHostWithinThirtySecondsTheEarlierWallpaperStays)
{
    openToFirstFrame();
    world.system.now += kShellWaitMs;
    world.tick();
    EXPECT_FALSE(world.video.opening());
    EXPECT_FALSE(world.video.showing());
    EXPECT_EQ(world.engine.currentState().mode, ModeStill);
    EXPECT_EQ(world.fake->wallpaperOf(kDisplay1), oldPicture);
    EXPECT_EQ(world.notifications, std::vector<std::wstring>{notificationLine(
                                       pick(kVideoPlayFailed, kEnglish), HRESULT_FROM_WIN32(ERROR_NOT_FOUND))});
}

// Real top-level windows in the desktop, looked at as the control window's coalescing timer
// would have the lifecycle look (the test stands in for the window events).
TEST_F(VideoLifecycleTest, ARealWindowCoveringTheDisplayPausesTheVideoAndMinimizingOrHidingItResumes)
{
    standInEngines = true;
    playPattern();
    ForegroundWindow cover(RECT{-10, -10, 330, 250});
    world.video.updateCover();
    EXPECT_TRUE(world.video.covered());
    EXPECT_EQ(world.video.pauseReasons(), PauseReasons{PauseCovered});
    EXPECT_FALSE(world.video.playing());
    EXPECT_EQ(world.video.timerPeriod(), kReleasePausedVideoMs)
        << "nothing wakes a covered video but the window events, and once the release of its engine";
    // Paused: neither the time nor the window moves while ticks go by.
    const double pausedAt = world.video.activeTime();
    const UINT presents = presentsOf(0);
    playFor(20);
    EXPECT_NEAR(world.video.activeTime(), pausedAt, 0.05);
    EXPECT_EQ(presentsOf(0), presents);

    ShowWindow(cover.window(), SW_MINIMIZE);
    world.video.updateCover();
    EXPECT_FALSE(world.video.covered()) << "a minimized window covers nothing";
    EXPECT_TRUE(world.video.playing());
    EXPECT_TRUE(tickedAsPlaying()) << world.video.timerPeriod();
    playFor(20);
    EXPECT_GT(world.video.activeTime(), pausedAt) << "it plays on from where it was";

    ShowWindow(cover.window(), SW_RESTORE);
    world.video.updateCover();
    ASSERT_TRUE(world.video.covered());
    ShowWindow(cover.window(), SW_HIDE);
    world.video.updateCover();
    EXPECT_FALSE(world.video.covered()) << "a hidden window covers nothing";
    EXPECT_TRUE(world.video.playing());
}

TEST_F(VideoLifecycleTest, ASmallerRealWindowDoesNotPauseTheVideo)
{
    playPattern();
    ForegroundWindow cover(RECT{0, 0, 320, 200});
    world.video.updateCover();
    EXPECT_FALSE(world.video.covered());
    EXPECT_EQ(world.video.hiddenDisplays(), std::vector<bool>{false});
    EXPECT_TRUE(tickedAsPlaying()) << world.video.timerPeriod();
}

TEST_F(VideoLifecycleTest, TheWindowsAreNotLookedAtOnATimer)
{
    playPattern();
    world.system.windowsAbove = std::vector<RECT>{kScreen};
    world.video.updateCover();
    ASSERT_TRUE(world.video.covered());
    const int queries = world.system.windowQueries;
    for (int i = 0; i < 40; ++i) {
        world.system.now += 250;
        world.tick();
    }
    EXPECT_EQ(world.system.windowQueries, queries) << "ten seconds of ticks asked for the windows";
    EXPECT_TRUE(world.video.covered());
}

TEST_F(VideoLifecycleTest, AHiddenDisplayIsNotPresentedWhileTheOtherPlaysAndShowsTheFrameAgainAtOnce)
{
    world.fake->addDisplay(kDisplay2, kSecondScreen, oldPicture);
    playPattern();
    ASSERT_EQ(active().videoWindows().size(), 2u);
    // A maximized window on the first display only.
    world.system.windowsAbove = std::vector<RECT>{kScreen};
    world.video.updateCover();
    EXPECT_EQ(world.video.hiddenDisplays(), (std::vector<bool>{true, false}));
    EXPECT_FALSE(world.video.covered());
    EXPECT_TRUE(world.video.playing());
    EXPECT_TRUE(tickedAsPlaying()) << world.video.timerPeriod();
    const UINT hiddenPresents = presentsOf(0);
    const UINT shownPresents = presentsOf(1);
    playFor(30);
    EXPECT_EQ(presentsOf(0), hiddenPresents) << "the hidden display was presented";
    EXPECT_GT(presentsOf(1), shownPresents);

    // The window goes: the first display gets the current frame at once, without a tick.
    world.system.windowsAbove = std::vector<RECT>{};
    world.video.updateCover();
    EXPECT_EQ(world.video.hiddenDisplays(), (std::vector<bool>{false, false}));
    EXPECT_EQ(presentsOf(0), hiddenPresents + 1);
}

TEST_F(VideoLifecycleTest, SeveralWindowsThatTogetherCoverEveryDisplayPauseIt)
{
    standInEngines = true;
    world.fake->addDisplay(kDisplay2, kSecondScreen, oldPicture);
    playPattern();
    // Two snapped halves of the first display and a game on the second, none focused.
    world.system.windowsAbove = std::vector<RECT>{{0, 0, 160, 240}, {160, 0, 320, 240}, {310, -20, 650, 260}};
    world.video.updateCover();
    EXPECT_EQ(world.video.hiddenDisplays(), (std::vector<bool>{true, true}));
    EXPECT_TRUE(world.video.covered());
    EXPECT_EQ(world.video.timerPeriod(), kReleasePausedVideoMs);
    const double pausedAt = world.video.activeTime();
    playFor(20);
    EXPECT_NEAR(world.video.activeTime(), pausedAt, 0.05);
    // A gap of one pixel between the halves: that display shows, the video plays.
    world.system.windowsAbove = std::vector<RECT>{{0, 0, 160, 240}, {161, 0, 320, 240}, {310, -20, 650, 260}};
    world.video.updateCover();
    EXPECT_EQ(world.video.hiddenDisplays(), (std::vector<bool>{false, true}));
    EXPECT_TRUE(world.video.playing());
}

TEST_F(VideoLifecycleTest, TheUsersPauseOutlastsTheCoverAndPlayOutlastsNothingElse)
{
    playPattern();
    ASSERT_EQ(world.video.setUserPaused(true), S_OK);
    world.system.windowsAbove = std::vector<RECT>{kScreen};
    world.video.updateCover();
    EXPECT_EQ(world.video.pauseReasons(), PauseReasons{PauseUser | PauseCovered});
    world.system.windowsAbove = std::vector<RECT>{};
    world.video.updateCover();
    EXPECT_EQ(world.video.pauseReasons(), PauseReasons{PauseUser});
    EXPECT_FALSE(world.video.playing());

    world.system.windowsAbove = std::vector<RECT>{kScreen};
    world.video.updateCover();
    ASSERT_EQ(world.video.setUserPaused(false), S_OK);
    EXPECT_EQ(world.video.pauseReasons(), PauseReasons{PauseCovered}) << "play does not uncover";
    EXPECT_FALSE(world.video.playing());
    EXPECT_EQ(world.video.timerPeriod(), kReleasePausedVideoMs);
}

TEST_F(VideoLifecycleTest, ThirtySecondsIntoAPauseTheEngineGoesTheFrameStaysAndPlayReopensIt)
{
    playPattern();
    playFor(5);
    ASSERT_EQ(world.video.setUserPaused(true), S_OK);
    const double pausedAt = timeOnceStill([&] { return world.video.activeTime(); });
    world.system.now += kReleasePausedVideoMs - 1;
    world.tick();
    EXPECT_FALSE(active().engineReleased());

    world.system.now += 1;
    world.tick();
    ASSERT_TRUE(active().engineReleased());
    EXPECT_EQ(world.video.timerPeriod(), 0u) << "nothing wakes the program any more";
    EXPECT_NEAR(world.video.activeTime(), pausedAt, 0.05);
    // The frame stays on screen, and can still be drawn again with another fit.
    EXPECT_TRUE(closeTo(readBackBuffer(active(), 0).at(40, 30), kRed));
    ASSERT_EQ(world.video.redraw(FitCenter, std::nullopt), S_OK);
    const BackBuffer redrawn = readBackBuffer(active(), 0);
    EXPECT_TRUE(closeTo(redrawn.at(40, 30), kRed)) << describe(redrawn.at(40, 30));
    EXPECT_TRUE(closeTo(redrawn.at(280, 210), kWhite)) << describe(redrawn.at(280, 210));
    EXPECT_EQ(world.engine.currentState().mode, ModeVideo);
    EXPECT_TRUE(world.notifications.empty()) << notifications();

    ASSERT_EQ(world.video.setUserPaused(false), S_OK);
    EXPECT_FALSE(active().engineReleased());
    EXPECT_TRUE(tickedAsPlaying()) << world.video.timerPeriod();
    // A new engine plays; Wine's cannot seek, so it may start from the beginning.
    const double reopenedAt = world.video.activeTime();
    const ULONGLONG end = GetTickCount64() + 10000;
    while (world.video.activeTime() == reopenedAt && GetTickCount64() < end)
        playFor(1);
    EXPECT_NE(world.video.activeTime(), reopenedAt) << notifications();
    EXPECT_TRUE(world.video.showing());
    EXPECT_TRUE(world.notifications.empty()) << notifications();
}

TEST_F(VideoLifecycleTest, AFileGoneWhileItsEngineWasLetGoOfLeavesItsFrameAsTheStill)
{
    TempFolder folder;
    const std::wstring clip = folder / L"going.mp4";
    ASSERT_TRUE(CopyFileW(clipPath(kPatternClip).c_str(), clip.c_str(), FALSE));
    world.engine.applyFileList({clip});
    tickUntilSettled();
    ASSERT_TRUE(world.video.showing()) << notifications();
    ASSERT_EQ(world.video.setUserPaused(true), S_OK);
    world.system.now += kReleasePausedVideoMs;
    world.tick();
    ASSERT_TRUE(active().engineReleased());
    ASSERT_TRUE(DeleteFileW(clip.c_str()));

    (void)world.video.setUserPaused(false);
    for (int i = 0; i < 400 && world.video.showing(); ++i)
        playFor(1);
    EXPECT_FALSE(world.video.showing());
    EXPECT_EQ(world.engine.currentState().mode, ModeStill);
    const std::wstring still = world.fake->wallpaperOf(kDisplay1);
    EXPECT_NE(still, oldPicture);
    EXPECT_NE(GetFileAttributesW(still.c_str()), INVALID_FILE_ATTRIBUTES) << "the last frame is the still";
}

struct SystemPauseCase {
    const char* name;
    PauseReasons affected;
    PauseReasons holding;
};

class SystemPause : public VideoLifecycleTest, public testing::WithParamInterface<SystemPauseCase> {};

TEST_P(SystemPause, HoldsTheLastFrameOnScreenAndPlaysOnFromThereOnceItEnds)
{
    standInEngines = true;
    playPattern();
    const SystemPauseCase& pause = GetParam();
    world.video.setSystemPause(pause.affected, pause.holding);
    EXPECT_EQ(world.video.pauseReasons(), pause.holding);
    EXPECT_FALSE(world.video.playing());
    EXPECT_EQ(world.video.timerPeriod(), kReleasePausedVideoMs);
    const double pausedAt = world.video.activeTime();
    const UINT presents = presentsOf(0);
    playFor(20);
    EXPECT_NEAR(world.video.activeTime(), pausedAt, 0.05);
    EXPECT_EQ(presentsOf(0), presents) << "a paused video presented frames";
    // The frame stays: the window shows, the video is the wallpaper, the still was not put back.
    EXPECT_TRUE(world.video.showing());
    EXPECT_NE(GetWindowLongPtrW(active().videoWindows().front().window.get(), GWL_STYLE) & WS_VISIBLE, 0);
    EXPECT_TRUE(closeTo(readBackBuffer(active(), 0).at(40, 30), kRed));
    EXPECT_EQ(world.engine.currentState().mode, ModeVideo);
    EXPECT_EQ(world.fake->wallpaperOf(kDisplay1), oldPicture);
    EXPECT_TRUE(world.notifications.empty()) << notifications();

    world.video.setSystemPause(pause.affected, 0);
    EXPECT_EQ(world.video.pauseReasons(), PauseReasons{0});
    EXPECT_TRUE(world.video.playing());
    EXPECT_TRUE(tickedAsPlaying()) << world.video.timerPeriod();
    EXPECT_GT(presentsOf(0), presents) << "the frame is drawn again at the resume";
    playFor(20);
    EXPECT_NE(world.video.activeTime(), pausedAt);
    EXPECT_GE(world.video.activeTime(), pausedAt) << "it plays on from where it was";
}

INSTANTIATE_TEST_SUITE_P(
    Reasons, SystemPause,
    testing::Values(SystemPauseCase{"Locked", PauseLocked, PauseLocked},
                    SystemPauseCase{"Disconnected", PauseDisconnected, PauseDisconnected},
                    SystemPauseCase{"Suspended", PauseSuspended, PauseSuspended},
                    SystemPauseCase{"DisplayOff", PauseDisplayOff | PauseDisplayDimmed, PauseDisplayOff},
                    SystemPauseCase{"DisplayDimmed", PauseDisplayOff | PauseDisplayDimmed, PauseDisplayDimmed},
                    SystemPauseCase{"BatterySaver", PauseBatterySaver, PauseBatterySaver}),
    [](const testing::TestParamInfo<SystemPauseCase>& info) { return std::string(info.param.name); });

TEST_F(VideoLifecycleTest, EachSystemReasonHoldsTheVideoUntilTheLastGoes)
{
    standInEngines = true;
    playPattern();
    world.video.setSystemPause(PauseLocked, PauseLocked);
    world.video.setSystemPause(PauseDisplayOff | PauseDisplayDimmed, PauseDisplayOff);
    world.video.setSystemPause(PauseDisplayOff | PauseDisplayDimmed, PauseDisplayDimmed);
    EXPECT_EQ(world.video.pauseReasons(), PauseReasons{PauseLocked | PauseDisplayDimmed});
    world.video.setSystemPause(PauseLocked, 0);
    EXPECT_FALSE(world.video.playing()) << "the dimmed display still holds it";
    world.video.setSystemPause(PauseDisplayOff | PauseDisplayDimmed, 0);
    EXPECT_TRUE(world.video.playing());
    // Reasons that are not the system's are not its to set.
    world.video.setSystemPause(PauseUser | PauseCovered, PauseUser | PauseCovered);
    EXPECT_EQ(world.video.pauseReasons(), PauseReasons{0});
}

TEST_F(VideoLifecycleTest, ANewVideoClearsTheUsersPauseButNotTheSystems)
{
    standInEngines = true;
    playPattern();
    world.video.setSystemPause(PauseLocked, PauseLocked);
    ASSERT_EQ(world.video.setUserPaused(true), S_OK);
    world.engine.applyFileList({clipPath(kPatternClip)});
    tickUntilSettled();
    ASSERT_TRUE(world.video.showing()) << notifications();
    EXPECT_EQ(world.video.pauseReasons(), PauseReasons{PauseLocked});
    EXPECT_FALSE(world.video.userPaused());
    EXPECT_EQ(world.video.timerPeriod(), kReleasePausedVideoMs);
    const double pausedAt = world.video.activeTime();
    playFor(20);
    EXPECT_NEAR(world.video.activeTime(), pausedAt, 0.05) << "a video shown while locked starts paused";
    world.video.setSystemPause(PauseLocked, 0);
    EXPECT_TRUE(world.video.playing());
}

TEST_F(VideoLifecycleTest, AfterTheLockTheWindowsAreBuiltAgainInTheHostTheShellMadeMeanwhile)
{
    standInEngines = true;
    playPattern();
    world.video.setSystemPause(PauseLocked, PauseLocked);
    const int created = world.windowsCreated;
    host.reset();
    auto newHost = std::make_unique<TestHostWindow>(320, 240);
    world.findHost = newHost->lookup();
    world.video.setSystemPause(PauseLocked, 0);
    ASSERT_TRUE(world.video.showing()) << notifications();
    EXPECT_EQ(world.windowsCreated, created + 1);
    const HWND window = active().videoWindows().front().window.get();
    EXPECT_EQ(GetParent(window), newHost->window());
    EXPECT_NE(GetWindowLongPtrW(window, GWL_STYLE) & WS_VISIBLE, 0);
    EXPECT_TRUE(closeTo(readBackBuffer(active(), 0).at(40, 30), kRed)) << "not the last frame";
    EXPECT_TRUE(world.video.playing());
    EXPECT_TRUE(world.notifications.empty()) << notifications();
}

TEST_F(VideoLifecycleTest, AfterTheLockUnchangedWindowsAreKept)
{
    standInEngines = true;
    playPattern();
    const HWND window = active().videoWindows().front().window.get();
    const int created = world.windowsCreated;
    world.video.setSystemPause(PauseSuspended, PauseSuspended);
    world.video.setSystemPause(PauseSuspended, 0);
    EXPECT_EQ(active().videoWindows().front().window.get(), window);
    EXPECT_EQ(world.windowsCreated, created);
}

TEST_F(VideoLifecycleTest, WhenTheHostIsDestroyedTheWindowsAreBuiltInTheNewOne)
{
    playPattern();
    host.reset();
    auto newHost = std::make_unique<TestHostWindow>(320, 240);
    world.findHost = newHost->lookup();
    world.tick();
    ASSERT_TRUE(world.video.showing()) << notifications();
    ASSERT_TRUE(active().windowsAlive());
    const HWND window = active().videoWindows().front().window.get();
    EXPECT_EQ(GetParent(window), newHost->window());
    EXPECT_NE(GetWindowLongPtrW(window, GWL_STYLE) & WS_VISIBLE, 0);
    EXPECT_TRUE(closeTo(readBackBuffer(active(), 0).at(40, 30), kRed));
    EXPECT_TRUE(world.notifications.empty()) << notifications();
}

TEST_F(VideoLifecycleTest, WithoutAnyHostThePlayingVideoFallsBackToItsFrameAsAStillAtTheDeadline)
{
    playPattern();
    host.reset();
    world.findHost = [] { return VideoHost{}; };
    world.tick();
    EXPECT_TRUE(world.video.awaitingHost());
    EXPECT_TRUE(world.notifications.empty()) << notifications();
    world.system.now += kShellWaitMs;
    world.tick();
    EXPECT_FALSE(world.video.showing());
    EXPECT_EQ(world.engine.currentState().mode, ModeStill);
    ASSERT_EQ(world.engine.currentState().files.size(), 1u);
    EXPECT_EQ(world.fake->wallpaperOf(kDisplay1), world.engine.currentState().files.front());
    EXPECT_EQ(world.notifications, std::vector<std::wstring>{notificationLine(pick(kVideoStopped, kEnglish),
                                                                                HRESULT_FROM_WIN32(ERROR_NOT_FOUND))});
    EXPECT_EQ(0u, world.video.timerPeriod());
}

TEST_F(VideoLifecycleTest, TheCurrentFrameBecomesTheStillAndUndoReopensTheVideo)
{
    playPattern();
    playFor(20);
    const double position = world.video.activeTime();
    world.video.useCurrentFrame();
    EXPECT_TRUE(world.notifications.empty()) << notifications();
    EXPECT_FALSE(world.video.showing());
    EXPECT_EQ(0u, world.video.timerPeriod());
    ASSERT_EQ(world.engine.currentState().mode, ModeStill);
    const std::wstring frame = world.engine.currentState().files.front();
    EXPECT_EQ(world.fake->wallpaperOf(kDisplay1), frame);
    EXPECT_EQ(frame.rfind(world.folder.path(), 0), 0u) << "the frame is kept in the data folder";

    // The PNG is the video's whole frame at its own size.
    Microsoft::WRL::ComPtr<IWICBitmapDecoder> decoder;
    Microsoft::WRL::ComPtr<IWICBitmapFrameDecode> decoded;
    ASSERT_EQ(world.imaging->CreateDecoderFromFilename(frame.c_str(), nullptr, GENERIC_READ,
                                                                  WICDecodeMetadataCacheOnDemand, &decoder),
              S_OK);
    ASSERT_EQ(decoder->GetFrame(0, &decoded), S_OK);
    UINT width = 0;
    UINT height = 0;
    decoded->GetSize(&width, &height);
    EXPECT_EQ(width, 320u);
    EXPECT_EQ(height, 240u);

    // Undo reopens the video where it was and, once it plays, the picture under it is back.
    ASSERT_TRUE(world.engine.undoEntry());
    EXPECT_EQ(world.engine.undoEntry()->state.mode, ModeVideo);
    EXPECT_NEAR(world.engine.undoEntry()->state.position, position, 0.2);
    world.engine.undoLastChange();
    ASSERT_TRUE(world.video.opening());
    EXPECT_TRUE(world.video.pending()->restoring);
    EXPECT_NEAR(world.video.pending()->state.position, position, 0.2);
    tickUntilSettled();
    ASSERT_TRUE(world.video.showing()) << notifications();
    EXPECT_EQ(world.engine.currentState().mode, ModeVideo);
    EXPECT_EQ(world.fake->wallpaperOf(kDisplay1), oldPicture);
    EXPECT_FALSE(world.engine.undoEntry());
}

TEST_F(VideoLifecycleTest, AFrameTheDesktopRefusesLeavesTheVideoPlayingAndNoFileBehind)
{
    standInEngines = true;
    playPattern();
    world.fake->failEveryCallOf(L"SetWallpaper", E_ACCESSDENIED);
    world.video.useCurrentFrame();
    EXPECT_EQ(world.notifications,
              std::vector<std::wstring>{notificationLine(pick(kVideoFrameFailed, kEnglish), E_ACCESSDENIED)});
    ASSERT_TRUE(world.video.showing());
    EXPECT_EQ(world.engine.currentState().mode, ModeVideo);
    EXPECT_EQ(world.fake->wallpaperOf(kDisplay1), oldPicture);
    EXPECT_NE(0u, world.video.timerPeriod());
    WIN32_FIND_DATAW found{};
    const HANDLE search = FindFirstFileW((world.settings.dataFolder() + L"\\*.png").c_str(), &found);
    EXPECT_EQ(search, INVALID_HANDLE_VALUE) << "left behind: " << testing::PrintToString(std::wstring(found.cFileName));
    if (search != INVALID_HANDLE_VALUE)
        FindClose(search);
    // The video was held still only while its frame was saved.
    const double failedAt = world.video.activeTime();
    playFor(20);
    EXPECT_NE(world.video.activeTime(), failedAt) << "still paused";
}

TEST_F(VideoLifecycleTest, AFitChangeRedrawsThePlayingVideoAndUndoDrawsTheOldFitAgain)
{
    playPattern();
    const int calls = static_cast<int>(world.fake->calls().size());
    const auto shellPosition = world.fake->state().position;
    world.engine.setFit(FitCenter);
    EXPECT_EQ(world.engine.currentState().fit, FitCenter);
    EXPECT_EQ(world.setting(L"Fit"), L"0");
    // The shell's position is not touched: only the video is drawn again.
    EXPECT_EQ(world.fake->state().position, shellPosition);
    for (std::size_t i = static_cast<std::size_t>(calls); i < world.fake->calls().size(); ++i)
        EXPECT_NE(world.fake->calls()[i].method, L"SetPosition");

    world.engine.undoLastChange();
    EXPECT_FALSE(world.video.opening()) << "the video is drawn again, not reopened";
    EXPECT_EQ(world.engine.currentState().fit, FitStretch);
    EXPECT_EQ(world.setting(L"Fit"), L"2");
    EXPECT_FALSE(world.engine.undoEntry());
    EXPECT_TRUE(world.notifications.empty()) << notifications();
}

struct ShellCase {
    const char* name;
    ShellLayout layout;
    ShellLayoutOptions options;
};

class VideoInTheShell : public VideoLifecycleTest, public testing::WithParamInterface<ShellCase> {};

TEST_P(VideoInTheShell, TheWindowsSitBehindTheIconsInTheShellsOwnWindows)
{
    FakeShellWindows shell(GetParam().layout, GetParam().options);
    ASSERT_EQ(shell.creationError(), 0u);
    world.findHost = [] { return findDesktopHost(true); };
    playPattern();
    const HWND window = active().videoWindows().front().window.get();
    const LONG_PTR exStyle = GetWindowLongPtrW(window, GWL_EXSTYLE);
    if (GetParam().options.noRedirectionBitmap) {
        // A layered child of "Progman", right below the icon view.
        EXPECT_EQ(GetParent(window), shell.progman());
        EXPECT_EQ(GetWindow(shell.iconView(), GW_HWNDNEXT), window);
        EXPECT_NE(exStyle & WS_EX_LAYERED, 0);
    } else {
        // The first child of the wallpaper-layer worker behind the icons.
        EXPECT_EQ(GetParent(window), shell.wallpaperWorker());
        EXPECT_EQ(GetWindow(shell.wallpaperWorker(), GW_CHILD), window);
        EXPECT_EQ(exStyle & WS_EX_LAYERED, 0);
    }
    EXPECT_TRUE(closeTo(readBackBuffer(active(), 0).at(40, 30), kRed));
}

INSTANTIATE_TEST_SUITE_P(Layouts, VideoInTheShell,
                         testing::Values(ShellCase{"Worker", ShellLayout::WorkerHostsIconView, {}},
                                         ShellCase{"ProgmanWithoutRedirectionBitmap",
                                                   ShellLayout::ProgmanHostsIconView,
                                                   {true, false, false}}),
                         [](const testing::TestParamInfo<ShellCase>& info) { return std::string(info.param.name); });

TEST_F(VideoLifecycleTest, UsingTheFrameWithoutAVideoDoesNothing)
{
    EXPECT_FALSE(world.video.showing());
    world.video.useCurrentFrame();
    EXPECT_TRUE(world.notifications.empty());
    EXPECT_EQ(world.engine.currentState().files, std::vector<std::wstring>{oldPicture});
}

TEST_F(VideoLifecycleTest, EveryVideoIsLentTheOneDeviceWithAnEngineOfItsOwn)
{
    playPattern();
    ID3D11Device* const device = active().graphicsDevice();
    ASSERT_NE(device, nullptr);
    world.engine.applyFileList({clipPath(kPatternClip)});
    ASSERT_TRUE(world.video.opening());
    const VideoWallpaper* const next = world.video.pending()->video.get();
    EXPECT_NE(next, &active());
    EXPECT_EQ(next->graphicsDevice(), device);
    tickUntilSettled();
    ASSERT_EQ(world.video.activeVideo(), next) << notifications();
    EXPECT_EQ(active().graphicsDevice(), device);
    EXPECT_TRUE(active().hasVideoFrame());
}

TEST_F(VideoLifecycleTest, ShutdownWithAVideoPlayingAndAnotherOpeningReleasesBoth)
{
    playPattern();
    const HWND window = active().videoWindows().front().window.get();
    world.engine.applyFileList({clipPath(kPatternClip)});
    ASSERT_TRUE(world.video.opening());
    ASSERT_TRUE(world.video.showing());
    settle(*world.video.pending()->video);
    world.video.shutdown();
    EXPECT_FALSE(world.video.opening());
    EXPECT_FALSE(world.video.showing());
    EXPECT_FALSE(IsWindow(window));
    EXPECT_FALSE(world.video.mediaFoundationStarted());
    // Media Foundation starts again for a later video.
    world.engine.applyFileList({clipPath(kPatternClip)});
    EXPECT_TRUE(world.video.mediaFoundationStarted());
}

} // namespace
