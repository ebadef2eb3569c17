// How the program as a whole uses its settings: the shell's fit read at start, and a settings
// file that cannot be written reported once, in the language in use.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

#include "tests/support/temp_folder.h"
#include "tests/support/windowed_world.h"
#include "tray/menu_model.h"

namespace {

TEST(SettingsUse, WithoutAStoredFitTheShellsIsKeptAndTheShellIsOnlyAsked)
{
    WindowedWorld world(false);
    world.fake->setPosition(DWPOS_TILE);
    const FakeDesktopState before = world.fake->state();

    ASSERT_EQ(S_OK, world.start(false));

    EXPECT_EQ(FitTile, world.app.settings().fitMode());
    EXPECT_EQ(before, world.fake->state());
    for (const wchar_t* change : {L"SetPosition", L"SetWallpaper", L"SetBackgroundColor", L"Enable", L"SetSlideshow"})
        EXPECT_EQ(0, world.fake->callCount(change)) << world.fake->callsText();
    EXPECT_TRUE(world.system.debugLines.empty());
}

TEST(SettingsUse, AFailedWriteIsReportedInTheLanguageInUseAndChangesNothing)
{
    // 0x80070020, the sharing violation, as an unsigned decimal number.
    const struct {
        UINT languageCommand;
        const wchar_t* line;
    } cases[] = {
        {kCommandEnglish, L"Peltorine: Couldn't save the settings. [2147942432]\n"},
        {kCommandVietnamese, L"Peltorine: Không lưu được cài đặt. [2147942432]\n"},
    };
    for (const auto& test : cases) {
        WindowedWorld world;
        ASSERT_EQ(S_OK, world.started);
        world.app.executeCommand(test.languageCommand, {});
        const std::string before = readFileBytes(world.settingsFile());
        world.system.debugLines.clear();
        {
            const HeldOpen other(world.settingsFile());
            ASSERT_TRUE(other.held());

            world.app.executeCommand(kCommandFirstInterval + 3, {}); // 30 seconds
        }
        EXPECT_EQ(std::vector<std::wstring>{test.line}, world.system.debugLines);
        EXPECT_EQ(10, world.app.settings().slideshowInterval());
        EXPECT_EQ(before, readFileBytes(world.settingsFile()));
    }
}

} // namespace
