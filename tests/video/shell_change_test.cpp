// A playing video across the shell's changes, on the stand-in shell windows and the clock seam:
// an Explorer restart (the host destroyed, a new shell a while later in one of its layouts), a
// wallpaper layer that comes late, the deadline after which the video gives way to its frame as
// a still, and displays added and removed.
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "common/strings.h"
#include "tests/support/shell_windows.h"
#include "tests/support/video_clips.h"
#include "tests/support/wallpaper_world.h"
#include "tests/video/video_world.h"
#include "video/video_wallpaper.h"

namespace {

constexpr RECT kScreen{0, 0, 320, 240};
constexpr COLORREF kRed = RGB(255, 0, 0);
constexpr HRESULT kNotFound = HRESULT_FROM_WIN32(ERROR_NOT_FOUND);

class ShellChangeTest : public testing::Test {
protected:
    void SetUp() override
    {
        world.fake->addDisplay(kDisplay1, kScreen, L"C:\\before.jpg");
        world.findHost = [] { return findDesktopHost(true); };
        world.engine.applyFileList({oldPicture});
        ASSERT_EQ(world.engine.currentState().files, std::vector<std::wstring>{oldPicture});
        world.notifications.clear();
        shell.emplace(ShellLayout::WorkerHostsIconView);
        ASSERT_EQ(shell->creationError(), 0u);
    }

    void playPattern()
    {
        world.engine.applyFileList({clipPath(kPatternClip)});
        world.tickWhileOpening();
        ASSERT_TRUE(world.video.showing()) << notifications();
        ASSERT_EQ(parentOfVideo(), shell->wallpaperWorker());
    }

    // Explorer goes, and the wallpaper layer with the video windows in it.
    void explorerStops()
    {
        shell.reset();
        world.tick();
    }

    HWND parentOfVideo() const
    {
        const VideoWallpaper* active = world.video.activeVideo();
        if (!active || active->videoWindows().empty())
            return nullptr;
        return GetParent(active->videoWindows().front().window.get());
    }

    // The video is still the wallpaper and nothing was told: no still took its place.
    void expectVideoKept()
    {
        EXPECT_TRUE(world.video.showing());
        EXPECT_EQ(world.engine.currentState().mode, ModeVideo);
        EXPECT_EQ(world.fake->wallpaperOf(kDisplay1), oldPicture) << "no still was set";
        EXPECT_TRUE(world.notifications.empty()) << notifications();
    }

    void expectShownUnder(HWND host)
    {
        ASSERT_TRUE(world.video.showing()) << notifications();
        EXPECT_FALSE(world.video.awaitingHost());
        ASSERT_EQ(parentOfVideo(), host);
        const HWND window = world.video.activeVideo()->videoWindows().front().window.get();
        EXPECT_NE(GetWindowLongPtrW(window, GWL_STYLE) & WS_VISIBLE, 0);
        EXPECT_TRUE(closeTo(readBackBuffer(*world.video.activeVideo(), 0).at(40, 30), kRed));
    }

    std::string notifications() const
    {
        std::wstring all;
        for (const std::wstring& line : world.notifications)
            all += line;
        return utf8(all);
    }

    PictureFolder pictures;
    std::wstring oldPicture = pictures.png(L"old.png", RGB(0, 0, 255));
    VideoWorld world;
    std::optional<FakeShellWindows> shell;
};

struct NewShell {
    const char* name;
    ShellLayout layout;
    ShellLayoutOptions options;
};

class ExplorerRestart : public ShellChangeTest, public testing::WithParamInterface<NewShell> {};

TEST_P(ExplorerRestart, KeepsTheVideoAndBuildsItsWindowsUnderTheNewWallpaperLayer)
{
    playPattern();
    explorerStops();
    EXPECT_TRUE(world.video.awaitingHost());
    expectVideoKept();
    // The shell takes its time; the video waits, its engine playing unseen.
    world.system.now += 5000;
    world.tick();
    EXPECT_TRUE(world.video.awaitingHost());
    expectVideoKept();

    // The new shell is up ("TaskbarCreated"): the program's relayout builds the windows there.
    shell.emplace(GetParam().layout, GetParam().options);
    ASSERT_EQ(shell->creationError(), 0u);
    world.video.relayout();
    const HWND layer = GetParam().options.noRedirectionBitmap ? shell->progman() : shell->wallpaperWorker();
    ASSERT_NE(layer, nullptr);
    expectShownUnder(layer);
    if (GetParam().options.splitOnRequest) {
        EXPECT_EQ(GetParent(shell->iconView()), shell->iconHost()) << "the icons moved into a WorkerW";
    }
    expectVideoKept();
    // Back in its windows, the video has no deadline any more.
    world.system.now += kShellWaitMs;
    world.tick();
    expectVideoKept();
}

INSTANTIATE_TEST_SUITE_P(Layouts, ExplorerRestart,
                         testing::Values(NewShell{"IconsInAWorker", ShellLayout::WorkerHostsIconView, {}},
                                         NewShell{"IconViewMovedIntoAWorkerWhenAsked",
                                                  ShellLayout::ProgmanHostsIconView,
                                                  {.splitOnRequest = true}},
                                         NewShell{"LayeredChildrenOfProgman",
                                                  ShellLayout::ProgmanHostsIconView,
                                                  {.noRedirectionBitmap = true}}),
                         [](const testing::TestParamInfo<NewShell>& info) { return std::string(info.param.name); });

TEST_F(ShellChangeTest, AWallpaperWorkerThatArrivesLateStillGetsTheVideo)
{
    playPattern();
    explorerStops();
    // The new shell shows its icons, but has no wallpaper layer yet: the relayout finds no host.
    shell.emplace(ShellLayout::ProgmanHostsIconView);
    world.system.now += 2000;
    world.video.relayout();
    EXPECT_TRUE(world.video.awaitingHost());
    expectVideoKept();

    world.system.now += 3000;
    shell->addWallpaperWorker();
    world.video.relayout();
    expectShownUnder(shell->wallpaperWorker());
    expectVideoKept();
}

TEST_F(ShellChangeTest, WithoutANewShellWithinThirtySecondsTheFrameBecomesTheStill)
{
    playPattern();
    explorerStops();
    ASSERT_TRUE(world.video.awaitingHost());
    world.system.now += kShellWaitMs - 1;
    world.video.relayout(); // a retry that still finds nothing
    world.tick();
    expectVideoKept();

    world.system.now += 1;
    world.tick();
    EXPECT_FALSE(world.video.showing());
    EXPECT_FALSE(world.video.awaitingHost());
    EXPECT_EQ(world.engine.currentState().mode, ModeStill);
    ASSERT_EQ(world.engine.currentState().files.size(), 1u);
    EXPECT_EQ(world.fake->wallpaperOf(kDisplay1), world.engine.currentState().files.front());
    EXPECT_EQ(world.notifications,
              std::vector<std::wstring>{notificationLine(pick(kVideoStopped, kEnglish), kNotFound)});
    EXPECT_EQ(0u, world.video.timerPeriod());
}

TEST_F(ShellChangeTest, ADisplayAddedOrRemovedGetsOrLosesItsWindow)
{
    playPattern();
    world.fake->addDisplay(kDisplay2, RECT{320, 0, 640, 240}, oldPicture);
    world.video.relayout(); // what WM_DISPLAYCHANGE leads to
    ASSERT_EQ(world.video.activeVideo()->videoWindows().size(), 2u);
    for (const VideoWindow& window : world.video.activeVideo()->videoWindows())
        EXPECT_EQ(GetParent(window.window.get()), shell->wallpaperWorker());
    EXPECT_EQ(world.video.activeVideo()->videoWindows()[1].screenRect.left, 320);

    world.fake->removeDisplay(kDisplay2);
    world.video.relayout();
    ASSERT_EQ(world.video.activeVideo()->videoWindows().size(), 1u);
    expectShownUnder(shell->wallpaperWorker());
    expectVideoKept();
}

TEST_F(ShellChangeTest, AFitChangeWhileTheVideoWaitsIsKeptForItsNewWindows)
{
    playPattern();
    explorerStops();
    world.engine.setFit(FitCenter);
    EXPECT_TRUE(world.notifications.empty()) << notifications();
    EXPECT_EQ(world.engine.currentState().fit, FitCenter);
    shell.emplace(ShellLayout::WorkerHostsIconView);
    world.video.relayout();
    expectShownUnder(shell->wallpaperWorker());
}

} // namespace
