// Video wallpapers in the program: opening in the background while the earlier wallpaper
// stays, the commit with its undo record, the failures and the 12-second deadline, pausing
// under a covering window, the rebuild of lost windows, "Use current video frame" and undo,
// and the end of the process.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "tests/support/shell_windows.h"
#include "tests/support/video_clips.h"
#include "tests/support/wallpaper_world.h"
#include "tray/menu_model.h"
#include "common/strings.h"
#include "video/video_wallpaper.h"

namespace {

constexpr RECT kScreen{0, 0, 320, 240};
constexpr COLORREF kRed = RGB(255, 0, 0);
constexpr COLORREF kWhite = RGB(255, 255, 255);
constexpr COLORREF kPurple = RGB(128, 0, 128);
constexpr HRESULT kTimeout = HRESULT_FROM_WIN32(ERROR_TIMEOUT);

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
        world.app.settings.fitMode = FitStretch;
        world.app.findVideoHost = host->lookup();
        world.app.applyFileList({oldPicture});
        ASSERT_EQ(world.app.currentState.mode, ModeStill);
        world.system.debugLines.clear();
    }

    void TearDown() override
    {
        if (world.app.video.pendingVideo)
            settle(*world.app.video.pendingVideo->video);
    }

    // Delivers timer 2 until no video is pending any more, as the control window would; the
    // decoder runs on its own threads, so wall time passes between ticks, the clock seam does not.
    void tickUntilSettled()
    {
        const ULONGLONG end = GetTickCount64() + 20000;
        while (world.app.video.pendingVideo && GetTickCount64() < end) {
            world.app.onTimer(VideoTimer);
            MSG message{};
            while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE))
                DispatchMessageW(&message);
            Sleep(5);
        }
        ASSERT_FALSE(world.app.video.pendingVideo) << "the video never settled";
    }

    void playPattern()
    {
        world.app.applyFileList({clipPath(kPatternClip)});
        tickUntilSettled();
        ASSERT_TRUE(world.app.video.activeVideo) << "notifications: " << notifications();
    }

    // Ticks until the playing video has shown some more frames.
    void playFor(int ticks)
    {
        for (int i = 0; i < ticks; ++i) {
            world.app.onTimer(VideoTimer);
            Sleep(15);
        }
    }

    std::string notifications() const
    {
        std::wstring all;
        for (const std::wstring& line : world.notifications())
            all += line;
        return utf8(all);
    }

    const VideoWallpaper& active() const { return *world.app.video.activeVideo; }

    PictureFolder pictures;
    std::wstring oldPicture = pictures.png(L"old.png", RGB(0, 0, 255));
    WallpaperWorld world;
    std::unique_ptr<TestHostWindow> host = std::make_unique<TestHostWindow>(320, 240);
};

TEST_F(VideoLifecycleTest, AVideoOpensBehindTheEarlierWallpaperAndIsShownWithItsFirstFrame)
{
    world.app.applyFileList({clipPath(kPatternClip)});
    // Opening: the earlier picture stays, the tick runs every 15 ms.
    ASSERT_TRUE(world.app.video.pendingVideo) << notifications();
    EXPECT_EQ(std::wstring(world.app.widget.tooltipText()), pick(kOpeningVideoTooltip, kEnglish));
    EXPECT_EQ(world.system.periodOf(VideoTimer), 15u);
    EXPECT_EQ(world.app.currentState.mode, ModeStill);

    tickUntilSettled();
    ASSERT_TRUE(world.app.video.activeVideo) << notifications();
    EXPECT_EQ(world.app.currentState.mode, ModeVideo);
    EXPECT_EQ(world.app.currentState.files, std::vector<std::wstring>{clipPath(kPatternClip)});
    EXPECT_EQ(std::wstring(world.app.widget.tooltipText()), pick(kVideoTooltip, kEnglish));
    EXPECT_TRUE(world.notifications().empty()) << notifications();
    // The shell's own wallpaper is untouched under the video, and undo would bring the picture back.
    EXPECT_EQ(world.fake->wallpaperOf(kDisplay1), oldPicture);
    ASSERT_TRUE(world.app.undoEntry);
    EXPECT_EQ(world.app.undoEntry->state.mode, ModeStill);

    // One shown window over the display, in the host, with the clip's frame in it.
    ASSERT_EQ(active().videoWindows().size(), 1u);
    const HWND window = active().videoWindows().front().window.get();
    EXPECT_EQ(GetParent(window), host->window());
    EXPECT_NE(GetWindowLongPtrW(window, GWL_STYLE) & WS_VISIBLE, 0);
    const BackBuffer frame = readBackBuffer(active(), 0);
    EXPECT_TRUE(closeTo(frame.at(40, 30), kRed)) << describe(frame.at(40, 30));
    EXPECT_TRUE(closeTo(frame.at(280, 210), kWhite)) << describe(frame.at(280, 210));
    EXPECT_EQ(world.app.video.videoBackground, kPurple);
    EXPECT_EQ(world.system.periodOf(VideoTimer), 15u);
}

struct BrokenClip {
    const char* name;
    const wchar_t* clip;
    HRESULT code; // S_OK: whatever failure the engine reports
};

class VideoOpenFailure : public VideoLifecycleTest, public testing::WithParamInterface<BrokenClip> {};

TEST_P(VideoOpenFailure, LeavesTheEarlierWallpaperAndSaysWhy)
{
    world.app.applyFileList({clipPath(GetParam().clip)});
    tickUntilSettled();
    EXPECT_FALSE(world.app.video.activeVideo);
    EXPECT_EQ(world.app.currentState.mode, ModeStill);
    EXPECT_EQ(world.app.currentState.files, std::vector<std::wstring>{oldPicture});
    EXPECT_EQ(world.fake->wallpaperOf(kDisplay1), oldPicture);
    ASSERT_EQ(world.notifications().size(), 1u);
    const std::wstring& line = world.notifications().front();
    EXPECT_EQ(line.rfind(L"Peltorine: " + std::wstring(pick(kVideoPlayFailed, kEnglish)) + L" [", 0), 0u) << utf8(line);
    if (GetParam().code != S_OK)
        EXPECT_EQ(line, notificationLine(pick(kVideoPlayFailed, kEnglish), GetParam().code));
    else
        EXPECT_EQ(line.find(L"[0]"), std::wstring::npos) << utf8(line);
    // No video remains: the timer stops and Media Foundation shuts down.
    EXPECT_FALSE(world.system.isArmed(VideoTimer));
    EXPECT_FALSE(world.app.video.mediaFoundationStarted);
}

INSTANTIATE_TEST_SUITE_P(Clips, VideoOpenFailure,
                         testing::Values(BrokenClip{"SoundOnly", kSoundOnlyClip, MF_E_INVALIDMEDIATYPE},
                                         BrokenClip{"Corrupt", kCorruptClip, S_OK}),
                         [](const testing::TestParamInfo<BrokenClip>& info) { return std::string(info.param.name); });

TEST_F(VideoLifecycleTest, AnOpenWithoutAFrameWithinTwelveSecondsIsGivenUp)
{
    world.app.applyFileList({clipPath(kPatternClip)});
    ASSERT_TRUE(world.app.video.pendingVideo);
    // A source that never delivers a frame nor an error; the clock seam moves to the deadline.
    settle(*world.app.video.pendingVideo->video);
    world.app.video.pendingVideo->video.reset(new VideoWallpaper());
    world.app.onTimer(VideoTimer);
    world.system.now += 11999;
    world.app.onTimer(VideoTimer);
    ASSERT_TRUE(world.app.video.pendingVideo) << "given up before the deadline";
    world.system.now += 1;
    world.app.onTimer(VideoTimer);
    EXPECT_FALSE(world.app.video.pendingVideo);
    EXPECT_EQ(world.notifications(),
              std::vector<std::wstring>{notificationLine(pick(kVideoPlayFailed, kEnglish), kTimeout)});
    EXPECT_EQ(world.app.currentState.files, std::vector<std::wstring>{oldPicture});
    EXPECT_FALSE(world.system.isArmed(VideoTimer));
}

TEST_F(VideoLifecycleTest, ASecondVideoReplacesOneStillOpeningWithoutAMessage)
{
    world.app.applyFileList({clipPath(kPatternClip)});
    settle(*world.app.video.pendingVideo->video);
    world.system.now += 5000;
    world.app.applyFileList({clipPath(kPatternClip)});
    ASSERT_TRUE(world.app.video.pendingVideo);
    EXPECT_EQ(world.app.video.pendingVideo->deadline, world.system.now + 12000);
    tickUntilSettled();
    EXPECT_TRUE(world.app.video.activeVideo);
    EXPECT_TRUE(world.notifications().empty()) << notifications();
}

TEST_F(VideoLifecycleTest, AWindowCoveringTheDisplayPausesTheVideoAndClosingItResumes)
{
    playPattern();
    ForegroundWindow cover(RECT{-10, -10, 330, 250});
    ASSERT_EQ(GetForegroundWindow(), cover.window());
    world.app.onTimer(VideoTimer);
    EXPECT_TRUE(world.app.video.videoCovered);
    EXPECT_EQ(world.system.periodOf(VideoTimer), 250u);
    // Paused: the time stands still while covered ticks go by.
    const double pausedAt = world.app.video.activeTime();
    Sleep(300);
    world.system.now += 250;
    world.app.onTimer(VideoTimer);
    EXPECT_NEAR(world.app.video.activeTime(), pausedAt, 0.05);

    cover.close();
    world.app.onTimer(VideoTimer);
    EXPECT_TRUE(world.app.video.videoCovered) << "checked again only 250 ms later";
    world.system.now += 250;
    world.app.onTimer(VideoTimer);
    EXPECT_FALSE(world.app.video.videoCovered);
    EXPECT_EQ(world.system.periodOf(VideoTimer), 15u);
    playFor(20);
    // Playing again: the time moves on, or starts over once the three-second clip has ended.
    EXPECT_NE(world.app.video.activeTime(), pausedAt);
}

TEST_F(VideoLifecycleTest, ASmallerForegroundWindowDoesNotPauseTheVideo)
{
    playPattern();
    ForegroundWindow cover(RECT{0, 0, 320, 200});
    world.app.onTimer(VideoTimer);
    EXPECT_FALSE(world.app.video.videoCovered);
    EXPECT_EQ(world.system.periodOf(VideoTimer), 15u);
}

TEST_F(VideoLifecycleTest, WhenTheHostIsDestroyedTheWindowsAreBuiltInTheNewOne)
{
    playPattern();
    host.reset();
    auto newHost = std::make_unique<TestHostWindow>(320, 240);
    world.app.findVideoHost = newHost->lookup();
    world.app.onTimer(VideoTimer);
    ASSERT_TRUE(world.app.video.activeVideo) << notifications();
    ASSERT_TRUE(active().windowsAlive());
    const HWND window = active().videoWindows().front().window.get();
    EXPECT_EQ(GetParent(window), newHost->window());
    EXPECT_NE(GetWindowLongPtrW(window, GWL_STYLE) & WS_VISIBLE, 0);
    EXPECT_TRUE(closeTo(readBackBuffer(active(), 0).at(40, 30), kRed));
    EXPECT_TRUE(world.notifications().empty()) << notifications();
}

TEST_F(VideoLifecycleTest, WithoutAnyHostThePlayingVideoFallsBackToItsFrameAsAStill)
{
    playPattern();
    host.reset();
    world.app.findVideoHost = [] { return VideoHost{}; };
    world.app.onTimer(VideoTimer);
    EXPECT_FALSE(world.app.video.activeVideo);
    EXPECT_EQ(world.app.currentState.mode, ModeStill);
    ASSERT_EQ(world.app.currentState.files.size(), 1u);
    EXPECT_EQ(world.fake->wallpaperOf(kDisplay1), world.app.currentState.files.front());
    EXPECT_EQ(world.notifications(), std::vector<std::wstring>{notificationLine(pick(kVideoStopped, kEnglish),
                                                                                HRESULT_FROM_WIN32(ERROR_NOT_FOUND))});
    EXPECT_FALSE(world.system.isArmed(VideoTimer));
}

TEST_F(VideoLifecycleTest, TheCurrentFrameBecomesTheStillAndUndoReopensTheVideo)
{
    playPattern();
    playFor(20);
    const double position = world.app.video.activeTime();
    world.app.executeCommand(kCommandUseVideoFrame, {});
    EXPECT_TRUE(world.notifications().empty()) << notifications();
    EXPECT_FALSE(world.app.video.activeVideo);
    EXPECT_FALSE(world.system.isArmed(VideoTimer));
    ASSERT_EQ(world.app.currentState.mode, ModeStill);
    const std::wstring frame = world.app.currentState.files.front();
    EXPECT_EQ(world.fake->wallpaperOf(kDisplay1), frame);
    EXPECT_EQ(frame.rfind(world.folder.path(), 0), 0u) << "the frame is kept in the data folder";

    // The PNG is the video's whole frame at its own size.
    Microsoft::WRL::ComPtr<IWICBitmapDecoder> decoder;
    Microsoft::WRL::ComPtr<IWICBitmapFrameDecode> decoded;
    ASSERT_EQ(world.app.imagingFactory->CreateDecoderFromFilename(frame.c_str(), nullptr, GENERIC_READ,
                                                                  WICDecodeMetadataCacheOnDemand, &decoder),
              S_OK);
    ASSERT_EQ(decoder->GetFrame(0, &decoded), S_OK);
    UINT width = 0;
    UINT height = 0;
    decoded->GetSize(&width, &height);
    EXPECT_EQ(width, 320u);
    EXPECT_EQ(height, 240u);

    // Undo reopens the video where it was and, once it plays, the picture under it is back.
    ASSERT_TRUE(world.app.undoEntry);
    EXPECT_EQ(world.app.undoEntry->state.mode, ModeVideo);
    EXPECT_NEAR(world.app.undoEntry->state.position, position, 0.2);
    world.app.executeCommand(kCommandUndo, {});
    ASSERT_TRUE(world.app.video.pendingVideo);
    EXPECT_TRUE(world.app.video.pendingVideo->restoring);
    EXPECT_NEAR(world.app.video.pendingVideo->state.position, position, 0.2);
    tickUntilSettled();
    ASSERT_TRUE(world.app.video.activeVideo) << notifications();
    EXPECT_EQ(world.app.currentState.mode, ModeVideo);
    EXPECT_EQ(world.fake->wallpaperOf(kDisplay1), oldPicture);
    EXPECT_FALSE(world.app.undoEntry);
}

TEST_F(VideoLifecycleTest, AFrameTheDesktopRefusesLeavesTheVideoPlayingAndNoFileBehind)
{
    playPattern();
    world.fake->failEveryCallOf(L"SetWallpaper", E_ACCESSDENIED);
    world.app.executeCommand(kCommandUseVideoFrame, {});
    EXPECT_EQ(world.notifications(),
              std::vector<std::wstring>{notificationLine(pick(kVideoFrameFailed, kEnglish), E_ACCESSDENIED)});
    ASSERT_TRUE(world.app.video.activeVideo);
    EXPECT_EQ(world.app.currentState.mode, ModeVideo);
    EXPECT_EQ(world.fake->wallpaperOf(kDisplay1), oldPicture);
    EXPECT_TRUE(world.system.isArmed(VideoTimer));
    WIN32_FIND_DATAW found{};
    const HANDLE search = FindFirstFileW((world.folder.path() + L"\\*.png").c_str(), &found);
    EXPECT_EQ(search, INVALID_HANDLE_VALUE) << "left behind: " << testing::PrintToString(std::wstring(found.cFileName));
    if (search != INVALID_HANDLE_VALUE)
        FindClose(search);
    // The video was held still only while its frame was saved.
    const double failedAt = world.app.video.activeTime();
    playFor(20);
    EXPECT_NE(world.app.video.activeTime(), failedAt) << "still paused";
}

TEST_F(VideoLifecycleTest, AFitChangeRedrawsThePlayingVideoAndUndoDrawsTheOldFitAgain)
{
    playPattern();
    const int calls = static_cast<int>(world.fake->calls().size());
    const auto shellPosition = world.fake->state().position;
    world.app.executeCommand(kCommandFirstFit + FitCenter, {});
    EXPECT_EQ(world.app.currentState.fit, FitCenter);
    EXPECT_EQ(world.setting(L"Fit"), L"0");
    // The shell's position is not touched: only the video is drawn again.
    EXPECT_EQ(world.fake->state().position, shellPosition);
    for (std::size_t i = static_cast<std::size_t>(calls); i < world.fake->calls().size(); ++i)
        EXPECT_NE(world.fake->calls()[i].method, L"SetPosition");

    world.app.executeCommand(kCommandUndo, {});
    EXPECT_FALSE(world.app.video.pendingVideo) << "the video is drawn again, not reopened";
    EXPECT_EQ(world.app.currentState.fit, FitStretch);
    EXPECT_EQ(world.setting(L"Fit"), L"2");
    EXPECT_FALSE(world.app.undoEntry);
    EXPECT_TRUE(world.notifications().empty()) << notifications();
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
    world.app.findVideoHost = [] { return findDesktopHost(true); };
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

TEST_F(VideoLifecycleTest, SwitchingLanguageWhileAVideoOpensKeepsTheOpeningTooltip)
{
    world.app.applyFileList({clipPath(kPatternClip)});
    world.app.executeCommand(kCommandVietnamese, {});
    EXPECT_EQ(std::wstring(world.app.widget.tooltipText()), pick(kOpeningVideoTooltip, kVietnamese));
}

TEST_F(VideoLifecycleTest, TheMenuOffersTheFrameOnlyWhileAVideoPlays)
{
    EXPECT_FALSE(world.app.video.activeVideo);
    world.app.executeCommand(kCommandUseVideoFrame, {});
    EXPECT_TRUE(world.notifications().empty());
    EXPECT_EQ(world.app.currentState.files, std::vector<std::wstring>{oldPicture});
}

TEST_F(VideoLifecycleTest, ShutdownWithAVideoPlayingAndAnotherOpeningReleasesBoth)
{
    playPattern();
    const HWND window = active().videoWindows().front().window.get();
    world.app.applyFileList({clipPath(kPatternClip)});
    ASSERT_TRUE(world.app.video.pendingVideo);
    ASSERT_TRUE(world.app.video.activeVideo);
    settle(*world.app.video.pendingVideo->video);
    world.app.shutdown();
    EXPECT_FALSE(world.app.video.pendingVideo);
    EXPECT_FALSE(world.app.video.activeVideo);
    EXPECT_FALSE(IsWindow(window));
    EXPECT_FALSE(world.app.video.mediaFoundationStarted);
    // Media Foundation starts again for a later video.
    world.app.applyFileList({clipPath(kPatternClip)});
    EXPECT_TRUE(world.app.video.mediaFoundationStarted);
}

} // namespace
