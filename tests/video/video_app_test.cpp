// A video in the whole program: what the menu and the widget say while one opens, and the video
// across an Explorer restart, with the program's own timers delivered by the test.
#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "common/strings.h"
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
