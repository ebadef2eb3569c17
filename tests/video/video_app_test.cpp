// A video in the whole program: what the menu and the widget say while one opens.
#include <gtest/gtest.h>

#include <string>

#include "common/strings.h"
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

} // namespace
