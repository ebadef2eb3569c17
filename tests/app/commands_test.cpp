// Menu commands against a real settings file and the stand-in desktop: what is written,
// what changes in the running program, and what the user is told.
#include "tests/support/temp_folder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "tests/support/wallpaper_world.h"
#include "tray/menu_model.h"
#include "common/strings.h"

namespace {

constexpr HRESULT kSharingViolation = HRESULT_FROM_WIN32(ERROR_SHARING_VIOLATION);

class CommandsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        world.fake->addDisplay(kDisplay1, kRect1, L"C:\\old one.jpg");
        world.fake->addDisplay(kDisplay2, kRect2, L"C:\\old two.jpg");
        displays = {{kDisplay1, kRect1, L""}, {kDisplay2, kRect2, L""}};
    }

    void startSlideshowAt10Seconds()
    {
        app.settings.slideshowInterval = 10;
        app.applyFileList({pictures.png(L"a.png"), pictures.png(L"b.png")});
        ASSERT_EQ(ModeSlideshow, app.currentState.mode);
        ASSERT_EQ(10000u, world.system.periodOf(SlideshowTimer));
        world.system.timerEvents.clear();
        world.system.debugLines.clear();
    }

    PictureFolder pictures;
    WallpaperWorld world;
    Application& app = world.app;
    std::vector<DisplayWallpaper> displays;
};

TEST_F(CommandsTest, IntervalThatCannotBeSavedChangesNothing)
{
    startSlideshowAt10Seconds();
    const std::string settingsBefore = world.settingsBytes();
    {
        HeldOpen lock(world.settingsFile);
        ASSERT_TRUE(lock.held());
        app.executeCommand(kCommandFirstInterval + 3, displays); // 30 seconds
    }
    EXPECT_EQ((std::vector<std::wstring>{notificationLine(L"Couldn't save the settings.", kSharingViolation)}),
              world.notifications());
    EXPECT_EQ(L"Couldn't save the settings.", std::wstring(app.widget.tooltipText()));
    EXPECT_EQ(10, app.settings.slideshowInterval);
    EXPECT_EQ(10, app.currentState.interval);
    EXPECT_TRUE(world.system.timerEvents.empty()) << "the running slideshow keeps its timing";
    EXPECT_EQ(settingsBefore, world.settingsBytes());

    // The next menu still checks the old interval.
    MenuState state;
    state.slideshowInterval = app.settings.slideshowInterval;
    const std::vector<MenuItem> menu = buildMenuModel(state, displays);
    const auto submenu =
        std::find_if(menu.begin(), menu.end(), [](const MenuItem& item) { return item.text == L"Slideshow interval"; });
    ASSERT_NE(menu.end(), submenu);
    const std::vector<MenuItem>& intervals = submenu->submenu;
    ASSERT_EQ(4u, intervals.size());
    EXPECT_TRUE(intervals[1].checked) << "10 sec per image";
    EXPECT_FALSE(intervals[3].checked) << "30 sec per image";
}

TEST_F(CommandsTest, IntervalDuringASlideshowRestartsItsTimer)
{
    startSlideshowAt10Seconds();
    app.executeCommand(kCommandFirstInterval, displays); // 5 seconds

    EXPECT_EQ(L"5", world.setting(L"Interval"));
    EXPECT_EQ(5, app.settings.slideshowInterval);
    EXPECT_EQ(5, app.currentState.interval);
    ASSERT_EQ(1u, world.system.timerEvents.size());
    EXPECT_TRUE(world.system.timerEvents[0].armed);
    EXPECT_EQ(SlideshowTimer, world.system.timerEvents[0].id);
    EXPECT_EQ(5000u, world.system.timerEvents[0].milliseconds);
    EXPECT_TRUE(world.notifications().empty());
}

TEST_F(CommandsTest, IntervalWithoutASlideshowOnlyChangesTheSetting)
{
    app.currentState.mode = ModeStill;
    app.currentState.files = {L"C:\\a.png"};
    app.executeCommand(kCommandFirstInterval + 2, displays); // 15 seconds

    EXPECT_EQ(L"15", world.setting(L"Interval"));
    EXPECT_EQ(15, app.settings.slideshowInterval);
    EXPECT_EQ(10, app.currentState.interval);
    EXPECT_TRUE(world.system.timerEvents.empty());
}

TEST_F(CommandsTest, AllDisplaysWritesAnEmptyMonitor)
{
    ASSERT_TRUE(app.writeSetting(L"Monitor", kDisplay2));
    app.settings.targetMonitor = kDisplay2;

    app.executeCommand(kCommandAllDisplays, displays);

    EXPECT_EQ(L"", world.setting(L"Monitor")) << "the key stays, with nothing after the equals sign";
    EXPECT_NE(std::string::npos, world.settingsBytes().find(std::string("M\0o\0n\0i\0t\0o\0r\0=\0\r\0\n\0", 20)));
    EXPECT_EQ(L"", app.settings.targetMonitor);
}

TEST_F(CommandsTest, DisplayEntryChoosesTheDisplayTheMenuShowed)
{
    app.executeCommand(kCommandFirstDisplay + 1, displays);
    EXPECT_EQ(kDisplay2, world.setting(L"Monitor"));
    EXPECT_EQ(kDisplay2, app.settings.targetMonitor);

    // The choice is for the next change: what the desktop shows stays.
    EXPECT_EQ(L"C:\\old one.jpg", world.fake->wallpaperOf(kDisplay1));
    EXPECT_EQ(L"C:\\old two.jpg", world.fake->wallpaperOf(kDisplay2));
}

TEST_F(CommandsTest, CommandsOutsideTheTableDoNothing)
{
    startSlideshowAt10Seconds();
    const WorldImage before = imageOf(world);
    const std::wstring tooltip = std::wstring(app.widget.tooltipText());
    const std::uint32_t language = app.settings.language;
    // A display beyond the list the menu showed, the banner, and ids between the ranges.
    for (const UINT command : {kCommandFirstDisplay + 2u, 0u, 11u, 12u, 19u, 24u, 29u, 36u, 39u, 44u, 99u, 200u}) {
        app.executeCommand(command, displays);
        EXPECT_EQ(before, imageOf(world)) << "command " << command;
    }
    EXPECT_EQ(tooltip, std::wstring(app.widget.tooltipText()));
    EXPECT_EQ(language, app.settings.language);
    EXPECT_TRUE(world.notifications().empty());
    EXPECT_TRUE(world.system.timerEvents.empty());
}

TEST_F(CommandsTest, SwitchingToVietnameseSavesItAndRetellsTheTooltip)
{
    startSlideshowAt10Seconds();
    app.executeCommand(kCommandVietnamese, displays);

    EXPECT_EQ(L"vi", world.setting(L"Language"));
    EXPECT_EQ(kVietnamese, app.settings.language);
    EXPECT_EQ(L"Peltorine · Đang chạy album hình nền", std::wstring(app.widget.tooltipText()));

    // Choosing the language in use writes nothing: even a locked file goes unnoticed.
    HeldOpen lock(world.settingsFile);
    ASSERT_TRUE(lock.held());
    app.executeCommand(kCommandVietnamese, displays);
    EXPECT_TRUE(world.notifications().empty());
    EXPECT_EQ(kVietnamese, app.settings.language);
}

TEST_F(CommandsTest, LanguageThatCannotBeSavedIsReportedInTheOldLanguage)
{
    app.settings.language = kVietnamese;
    {
        HeldOpen lock(world.settingsFile);
        ASSERT_TRUE(lock.held());
        app.executeCommand(kCommandEnglish, displays);
    }
    EXPECT_EQ((std::vector<std::wstring>{notificationLine(L"Không lưu được cài đặt.", kSharingViolation)}),
              world.notifications());
    EXPECT_EQ(kVietnamese, app.settings.language);
    EXPECT_EQ(std::nullopt, world.setting(L"Language"));
}

TEST_F(CommandsTest, SwitchingBackToEnglishShowsTheIdleTooltipInEnglish)
{
    app.settings.language = kVietnamese;
    app.executeCommand(kCommandEnglish, displays);
    EXPECT_EQ(L"en", world.setting(L"Language"));
    EXPECT_EQ(kEnglish, app.settings.language);
    EXPECT_EQ(pick(kIdleTooltip, kEnglish), std::wstring(app.widget.tooltipText()));
}

TEST_F(CommandsTest, WidgetSizeAndCornerAreSaved)
{
    app.executeCommand(kCommandFirstWidgetSize + 3, displays);
    EXPECT_EQ(L"128", world.setting(L"WidgetSize"));
    EXPECT_EQ(128, app.settings.widgetSize);

    app.settings.widgetPosition = POINT{300, 400};
    app.settings.widgetPositionSet = true;
    app.executeCommand(kCommandMoveToCorner, displays);
    EXPECT_EQ(L"default", world.setting(L"WidgetPosition"));
    EXPECT_FALSE(app.settings.widgetPositionSet);
}

TEST_F(CommandsTest, WidgetSettingsThatCannotBeSavedStayAsTheyWere)
{
    app.settings.widgetPositionSet = true;
    {
        HeldOpen lock(world.settingsFile);
        ASSERT_TRUE(lock.held());
        app.executeCommand(kCommandFirstWidgetSize, displays);
        app.executeCommand(kCommandMoveToCorner, displays);
        app.executeCommand(kCommandFirstDisplay, displays);
    }
    EXPECT_EQ(64, app.settings.widgetSize);
    EXPECT_TRUE(app.settings.widgetPositionSet);
    EXPECT_EQ(L"", app.settings.targetMonitor);
    EXPECT_EQ(3u, world.notifications().size());
}

TEST_F(CommandsTest, FitEntryChangesTheFitOfTheDesktop)
{
    app.executeCommand(kCommandFirstFit + FitCenter, displays);
    EXPECT_EQ(DWPOS_CENTER, world.fake->state().position);
    EXPECT_EQ(FitCenter, app.settings.fitMode);
    EXPECT_EQ(L"0", world.setting(L"Fit"));
}

TEST_F(CommandsTest, ExitEndsTheMessageLoopWithCodeZero)
{
    app.executeCommand(kCommandExit, displays);
    MSG message{};
    ASSERT_TRUE(PeekMessageW(&message, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
    EXPECT_EQ(0u, message.wParam);
}

TEST_F(CommandsTest, StartWithWindowsTogglesTheShortcut)
{
    TempFolder startup;
    app.startup.folderOverride = startup.path();
    const std::wstring shortcut = startup / L"Peltorine.lnk";

    app.executeCommand(kCommandStartWithWindows, displays);
    EXPECT_TRUE(fileExists(shortcut));
    app.executeCommand(kCommandStartWithWindows, displays);
    EXPECT_FALSE(fileExists(shortcut));
    EXPECT_TRUE(world.notifications().empty());
}

TEST_F(CommandsTest, StartWithWindowsThatCannotBeLookedUpIsReported)
{
    // A folder where the shortcut belongs can be neither read as the setting nor replaced.
    TempFolder startup;
    app.startup.folderOverride = startup.path();
    ASSERT_TRUE(CreateDirectoryW((startup / L"Peltorine.lnk").c_str(), nullptr));

    app.executeCommand(kCommandStartWithWindows, displays);

    EXPECT_EQ((std::vector<std::wstring>{notificationLine(L"Couldn't change the Windows startup setting.",
                                                          HRESULT_FROM_WIN32(ERROR_DIRECTORY))}),
              world.notifications());
}

} // namespace

namespace {

TEST_F(CommandsTest, ChooseWallpaperAsksForPicturesOrVideoAndCancellingChangesNothing)
{
    struct Asked {
        HWND owner;
        bool forDefault;
        std::uint32_t language;
    };
    std::vector<Asked> asked;
    app.chooseFilesFunction = [&](HWND owner, bool forDefault, std::uint32_t language) {
        asked.push_back({owner, forDefault, language});
        return std::vector<std::wstring>{};
    };
    const FakeDesktopState before = world.fake->state();

    app.executeCommand(kCommandChooseWallpaper, displays);

    ASSERT_EQ(1u, asked.size());
    EXPECT_EQ(app.controlWindow.get(), asked[0].owner);
    EXPECT_FALSE(asked[0].forDefault);
    EXPECT_EQ(app.settings.language, asked[0].language);
    EXPECT_EQ(before, world.fake->state());
    EXPECT_TRUE(world.notifications().empty());
    EXPECT_EQ(ModeNone, app.currentState.mode);
    EXPECT_FALSE(app.undoEntry.has_value());
}

TEST_F(CommandsTest, ChosenPicturesBecomeTheWallpaperInNaturalOrder)
{
    const std::wstring second = pictures.png(L"img10.png");
    const std::wstring first = pictures.png(L"img2.png");
    app.chooseFilesFunction = [&](HWND, bool, std::uint32_t) { return std::vector<std::wstring>{second, first}; };

    app.executeCommand(kCommandChooseWallpaper, displays);

    EXPECT_EQ(ModeSlideshow, app.currentState.mode);
    EXPECT_EQ((std::vector<std::wstring>{first, second}), app.currentState.files);
    EXPECT_EQ(first, world.fake->wallpaperOf(kDisplay1));
    EXPECT_EQ(first, world.fake->wallpaperOf(kDisplay2));
    EXPECT_TRUE(app.undoEntry.has_value());
}

} // namespace
