// Menu commands against a real settings file and the stand-in desktop: what is written,
// what changes in the running program, and what the user is told.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "common/strings.h"
#include "tests/support/temp_folder.h"
#include "tests/support/wallpaper_world.h"
#include "tests/support/windowed_world.h"
#include "tray/menu_model.h"

namespace {

constexpr HRESULT kSharingViolation = HRESULT_FROM_WIN32(ERROR_SHARING_VIOLATION);
// The display WindowedWorld starts with, and a second one.
constexpr const wchar_t* kFirst = L"\\\\?\\DISPLAY#1";

class CommandsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        world.fake->addDisplay(kDisplay2, kRect2, L"C:\\old two.jpg");
        displays = {{kFirst, {0, 0, 1920, 1080}, L""}, {kDisplay2, kRect2, L""}};
        ASSERT_EQ(S_OK, world.start());
    }

    void startSlideshowAt10Seconds()
    {
        app.applyFileList({pictures.png(L"a.png"), pictures.png(L"b.png")});
        ASSERT_EQ(ModeSlideshow, app.wallpaper().currentState().mode);
        ASSERT_EQ(10000u, world.system.periodOf(SlideshowTimer));
        world.system.timerEvents.clear();
        world.system.debugLines.clear();
    }

    const Settings& settings() const { return app.settings(); }
    std::wstring tooltip() const { return app.widget().tooltipText(); }
    std::string settingsBytes() const { return readFileBytes(world.settingsFile()); }
    const std::vector<std::wstring>& notifications() const { return world.system.debugLines; }

    PictureFolder pictures;
    WindowedWorld world{false};
    Application& app = world.app;
    std::vector<DisplayWallpaper> displays;
};

// What a command that could not save its setting must leave as it was.
struct SettingsSnapshot {
    std::int32_t interval;
    std::uint32_t language;
    std::wstring monitor;
    std::int32_t widgetSize;
    bool widgetPositionSet;
    FitMode fit;

    bool operator==(const SettingsSnapshot&) const = default;
};

SettingsSnapshot snapshotOf(const Settings& settings)
{
    return {settings.slideshowInterval(), settings.language(),   settings.targetMonitor(),
            settings.widgetSize(),        settings.widgetPosition().has_value(), settings.fitMode()};
}

TEST_F(CommandsTest, ASettingThatCannotBeSavedChangesNothingAndIsToldOnce)
{
    const struct {
        const char* name;
        UINT command;
    } cases[] = {
        {"interval", kCommandFirstInterval + 3},
        {"language", kCommandVietnamese},
        {"display", kCommandFirstDisplay + 1},
        {"all displays after one", kCommandAllDisplays},
        {"widget size", kCommandFirstWidgetSize + 3},
        {"widget corner", kCommandMoveToCorner},
    };
    startSlideshowAt10Seconds();
    // So that "all displays" has something to change.
    app.executeCommand(kCommandFirstDisplay + 1, displays);
    for (const auto& test : cases) {
        SCOPED_TRACE(test.name);
        if (test.command == kCommandFirstDisplay + 1)
            app.executeCommand(kCommandAllDisplays, displays);
        world.system.debugLines.clear();
        world.system.timerEvents.clear();
        const SettingsSnapshot before = snapshotOf(settings());
        const std::string bytesBefore = settingsBytes();
        {
            HeldOpen lock(world.settingsFile());
            ASSERT_TRUE(lock.held());
            app.executeCommand(test.command, displays);
        }
        EXPECT_EQ((std::vector<std::wstring>{notificationLine(L"Couldn't save the settings.", kSharingViolation)}),
                  notifications());
        EXPECT_EQ(L"Couldn't save the settings.", tooltip());
        EXPECT_EQ(before, snapshotOf(settings()));
        EXPECT_EQ(bytesBefore, settingsBytes());
        EXPECT_EQ(10, app.wallpaper().currentState().interval);
        EXPECT_EQ(10000u, world.system.periodOf(SlideshowTimer)) << "the running slideshow keeps its timing";
        EXPECT_FALSE(std::any_of(world.system.timerEvents.begin(), world.system.timerEvents.end(),
                                 [](const auto& event) { return event.id == SlideshowTimer; }));
    }

    // The next menu still checks the old interval.
    MenuState state;
    state.slideshowInterval = settings().slideshowInterval();
    const std::vector<MenuItem> menu = buildMenuModel(state, displays);
    const auto submenu =
        std::find_if(menu.begin(), menu.end(), [](const MenuItem& item) { return item.text == L"Slideshow interval"; });
    ASSERT_NE(menu.end(), submenu);
    ASSERT_EQ(4u, submenu->submenu.size());
    EXPECT_TRUE(submenu->submenu[1].checked) << "10 sec per image";
    EXPECT_FALSE(submenu->submenu[3].checked) << "30 sec per image";
}

TEST_F(CommandsTest, IntervalDuringASlideshowRestartsItsTimer)
{
    startSlideshowAt10Seconds();
    app.executeCommand(kCommandFirstInterval, displays); // 5 seconds

    EXPECT_EQ(L"5", world.setting(L"Interval"));
    EXPECT_EQ(5, settings().slideshowInterval());
    EXPECT_EQ(5, app.wallpaper().currentState().interval);
    ASSERT_EQ(1u, world.system.timerEvents.size());
    EXPECT_TRUE(world.system.timerEvents[0].armed);
    EXPECT_EQ(SlideshowTimer, world.system.timerEvents[0].id);
    EXPECT_EQ(5000u, world.system.timerEvents[0].milliseconds);
    EXPECT_TRUE(notifications().empty());
}

TEST_F(CommandsTest, IntervalWithoutASlideshowOnlyChangesTheSetting)
{
    app.applyFileList({pictures.png(L"a.png")});
    world.system.timerEvents.clear();

    app.executeCommand(kCommandFirstInterval + 2, displays); // 15 seconds

    EXPECT_EQ(L"15", world.setting(L"Interval"));
    EXPECT_EQ(15, settings().slideshowInterval());
    EXPECT_EQ(10, app.wallpaper().currentState().interval);
    EXPECT_TRUE(world.system.timerEvents.empty());
}

TEST_F(CommandsTest, AllDisplaysWritesAnEmptyMonitor)
{
    app.executeCommand(kCommandFirstDisplay + 1, displays);
    ASSERT_EQ(kDisplay2, settings().targetMonitor());

    app.executeCommand(kCommandAllDisplays, displays);

    EXPECT_EQ(L"", world.setting(L"Monitor")) << "the key stays, with nothing after the equals sign";
    EXPECT_NE(std::string::npos, settingsBytes().find(std::string("M\0o\0n\0i\0t\0o\0r\0=\0\r\0\n\0", 20)));
    EXPECT_EQ(L"", settings().targetMonitor());
}

TEST_F(CommandsTest, DisplayEntryChoosesTheDisplayTheMenuShowed)
{
    app.executeCommand(kCommandFirstDisplay + 1, displays);
    EXPECT_EQ(kDisplay2, world.setting(L"Monitor"));
    EXPECT_EQ(kDisplay2, settings().targetMonitor());

    // The choice is for the next change: what the desktop shows stays.
    EXPECT_EQ(L"C:\\old.jpg", world.fake->wallpaperOf(kFirst));
    EXPECT_EQ(L"C:\\old two.jpg", world.fake->wallpaperOf(kDisplay2));
}

TEST_F(CommandsTest, CommandsOutsideTheTableDoNothing)
{
    startSlideshowAt10Seconds();
    const FakeDesktopState desktop = world.fake->state();
    const std::string bytes = settingsBytes();
    const std::wstring tooltipBefore = tooltip();
    const SettingsSnapshot before = snapshotOf(settings());
    // A display beyond the list the menu showed, the banner, and ids between the ranges.
    for (const UINT command : {kCommandFirstDisplay + 2u, 0u, 11u, 12u, 19u, 24u, 29u, 36u, 39u, 44u, 99u, 200u}) {
        app.executeCommand(command, displays);
        EXPECT_EQ(desktop, world.fake->state()) << "command " << command;
        EXPECT_EQ(bytes, settingsBytes()) << "command " << command;
    }
    EXPECT_EQ(tooltipBefore, tooltip());
    EXPECT_EQ(before, snapshotOf(settings()));
    EXPECT_TRUE(notifications().empty());
    EXPECT_TRUE(world.system.timerEvents.empty());
}

TEST_F(CommandsTest, SwitchingToVietnameseSavesItAndRetellsTheTooltip)
{
    startSlideshowAt10Seconds();
    app.executeCommand(kCommandVietnamese, displays);

    EXPECT_EQ(L"vi", world.setting(L"Language"));
    EXPECT_EQ(kVietnamese, settings().language());
    EXPECT_EQ(L"Peltorine · Đang chạy album hình nền", tooltip());

    // Choosing the language in use writes nothing: even a locked file goes unnoticed.
    HeldOpen lock(world.settingsFile());
    ASSERT_TRUE(lock.held());
    app.executeCommand(kCommandVietnamese, displays);
    EXPECT_TRUE(notifications().empty());
    EXPECT_EQ(kVietnamese, settings().language());
}

TEST_F(CommandsTest, LanguageThatCannotBeSavedIsReportedInTheOldLanguage)
{
    app.executeCommand(kCommandVietnamese, displays);
    world.system.debugLines.clear();
    {
        HeldOpen lock(world.settingsFile());
        ASSERT_TRUE(lock.held());
        app.executeCommand(kCommandEnglish, displays);
    }
    EXPECT_EQ((std::vector<std::wstring>{notificationLine(L"Không lưu được cài đặt.", kSharingViolation)}),
              notifications());
    EXPECT_EQ(kVietnamese, settings().language());
    EXPECT_EQ(L"vi", world.setting(L"Language"));
}

TEST_F(CommandsTest, SwitchingBackToEnglishShowsTheIdleTooltipInEnglish)
{
    app.executeCommand(kCommandVietnamese, displays);
    app.executeCommand(kCommandEnglish, displays);
    EXPECT_EQ(L"en", world.setting(L"Language"));
    EXPECT_EQ(kEnglish, settings().language());
    EXPECT_EQ(pick(kIdleTooltip, kEnglish), tooltip());
}

TEST(CommandsWithAPlacedWidget, WidgetSizeAndCornerAreSaved)
{
    WindowedWorld world(false);
    CreateDirectoryW((world.folder / L"Peltorine").c_str(), nullptr);
    writeFileBytes(world.settingsFile(), std::string("\xFF\xFE", 2));
    ASSERT_TRUE(WritePrivateProfileStringW(L"Peltorine", L"WidgetPosition", L"300,400", world.settingsFile().c_str()));
    ASSERT_EQ(S_OK, world.start());
    ASSERT_TRUE(world.app.settings().widgetPosition().has_value());

    world.app.executeCommand(kCommandFirstWidgetSize + 3, {});
    EXPECT_EQ(L"128", world.setting(L"WidgetSize"));
    EXPECT_EQ(128, world.app.settings().widgetSize());

    world.app.executeCommand(kCommandMoveToCorner, {});
    EXPECT_EQ(L"default", world.setting(L"WidgetPosition"));
    EXPECT_FALSE(world.app.settings().widgetPosition().has_value());
    EXPECT_TRUE(world.system.debugLines.empty());
}

TEST_F(CommandsTest, FitEntryChangesTheFitOfTheDesktop)
{
    app.executeCommand(kCommandFirstFit + FitCenter, displays);
    EXPECT_EQ(DWPOS_CENTER, world.fake->state().position);
    EXPECT_EQ(FitCenter, settings().fitMode());
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
    const std::wstring shortcut = world.startupFolder / L"Peltorine.lnk";

    app.executeCommand(kCommandStartWithWindows, displays);
    EXPECT_TRUE(fileExists(shortcut));
    app.executeCommand(kCommandStartWithWindows, displays);
    EXPECT_FALSE(fileExists(shortcut));
    EXPECT_TRUE(notifications().empty());
}

TEST_F(CommandsTest, StartWithWindowsThatCannotBeLookedUpIsReported)
{
    // A folder where the shortcut belongs can be neither read as the setting nor replaced.
    ASSERT_TRUE(CreateDirectoryW((world.startupFolder / L"Peltorine.lnk").c_str(), nullptr));

    app.executeCommand(kCommandStartWithWindows, displays);

    EXPECT_EQ((std::vector<std::wstring>{notificationLine(L"Couldn't change the Windows startup setting.",
                                                          HRESULT_FROM_WIN32(ERROR_DIRECTORY))}),
              notifications());
}

TEST_F(CommandsTest, ChooseWallpaperAsksForPicturesOrVideoAndCancellingChangesNothing)
{
    struct Asked {
        HWND owner;
        bool forDefault;
        std::uint32_t language;
    };
    std::vector<Asked> asked;
    world.chooseFiles = [&](HWND owner, bool forDefault, std::uint32_t language) {
        asked.push_back({owner, forDefault, language});
        return std::vector<std::wstring>{};
    };
    const FakeDesktopState before = world.fake->state();

    app.executeCommand(kCommandChooseWallpaper, displays);

    ASSERT_EQ(1u, asked.size());
    EXPECT_EQ(app.controlWindow(), asked[0].owner);
    EXPECT_FALSE(asked[0].forDefault);
    EXPECT_EQ(settings().language(), asked[0].language);
    EXPECT_EQ(before, world.fake->state());
    EXPECT_TRUE(notifications().empty());
    EXPECT_EQ(ModeNone, app.wallpaper().currentState().mode);
    EXPECT_FALSE(app.wallpaper().undoEntry().has_value());
}

TEST_F(CommandsTest, ChosenPicturesBecomeTheWallpaperInNaturalOrder)
{
    const std::wstring second = pictures.png(L"img10.png");
    const std::wstring first = pictures.png(L"img2.png");
    world.chooseFiles = [&](HWND, bool, std::uint32_t) { return std::vector<std::wstring>{second, first}; };

    app.executeCommand(kCommandChooseWallpaper, displays);

    EXPECT_EQ(ModeSlideshow, app.wallpaper().currentState().mode);
    EXPECT_EQ((std::vector<std::wstring>{first, second}), app.wallpaper().currentState().files);
    EXPECT_EQ(first, world.fake->wallpaperOf(kFirst));
    EXPECT_EQ(first, world.fake->wallpaperOf(kDisplay2));
    EXPECT_TRUE(app.wallpaper().undoEntry().has_value());
}

} // namespace
