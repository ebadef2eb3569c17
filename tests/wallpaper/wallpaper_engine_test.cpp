// Wallpaper commits, the one level of undo and fit changes, against the fake shell object.
#include <gtest/gtest.h>

#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "tests/support/wallpaper_world.h"
#include "common/strings.h"

namespace {

constexpr HRESULT kInjected = HRESULT_FROM_WIN32(ERROR_GEN_FAILURE);
constexpr HRESULT kDisplayNotFound = HRESULT_FROM_WIN32(ERROR_NOT_FOUND);
constexpr const wchar_t* kOld1 = L"C:\\Windows\\Web\\Wallpaper\\old one.jpg";
constexpr const wchar_t* kOld2 = L"C:\\Windows\\Web\\Wallpaper\\old two.jpg";
constexpr COLORREF kColour = RGB(0x11, 0x66, 0x99);

struct Pictures {
    PictureFolder folder;
    std::wstring a = folder.png(L"a.png", RGB(255, 0, 0));
    std::wstring b = folder.jpeg(L"b.jpg", RGB(0, 255, 0));
    std::wstring c = folder.png(L"c.png", RGB(0, 0, 255));
    std::wstring d = folder.jpeg(L"d.jpeg", RGB(255, 255, 0));
};

// Two displays with pictures of the shell's own, under Center on a coloured background.
void twoDisplays(WallpaperWorld& world)
{
    world.fake->addDisplay(kDisplay1, kRect1, kOld1);
    world.fake->addDisplay(kDisplay2, kRect2, kOld2);
    world.fake->setPosition(DWPOS_CENTER);
    world.fake->setBackgroundColor(kColour);
    // The settings hold Fill, the default, without a key in the file yet.
    ASSERT_EQ(FitFill, world.settings.fitMode());
}

bool changesDesktop(const FakeDesktopCall& call)
{
    return call.method.rfind(L"Set", 0) == 0 || call.method == L"Enable" || call.method == L"AdvanceSlideshow";
}

int desktopChanges(const FakeDesktopWallpaper& fake)
{
    int count = 0;
    for (const FakeDesktopCall& call : fake.calls())
        count += changesDesktop(call) ? 1 : 0;
    return count;
}

// ---------------------------------------------------------------------------------------------
// The rollback property: whichever single call to the shell fails, an operation either
// reports one failure and leaves everything exactly as it was, or carries on to exactly the
// result it has without the failure.

struct RollbackScenario {
    const char* name;
    void (*arrange)(WallpaperWorld&, const Pictures&);
    void (*act)(WallpaperWorld&, const Pictures&);
    const LocalizedText* failureText;
};

void arrangeTwoDisplays(WallpaperWorld& world, const Pictures&)
{
    twoDisplays(world);
}
void arrangeTargetDisplay(WallpaperWorld& world, const Pictures&)
{
    twoDisplays(world);
    ASSERT_EQ(S_OK, world.settings.setTargetMonitor(kDisplay2));
}
void arrangeShellSlideshow(WallpaperWorld& world, const Pictures& pictures)
{
    twoDisplays(world);
    world.fake->setShellSlideshow(makeShellItemArray({pictures.c, pictures.d}), DSO_SHUFFLEIMAGES, 60000);
}
void arrangeDisabledDesktop(WallpaperWorld& world, const Pictures&)
{
    twoDisplays(world);
    world.fake->setWallpaperOf(kDisplay2, L"");
    world.fake->setEnabled(false);
}
void arrangeSpan(WallpaperWorld& world, const Pictures&)
{
    twoDisplays(world);
    world.fake->setWallpaperOf(kDisplay1, kOld1);
    world.fake->setWallpaperOf(kDisplay2, kOld1);
    world.fake->setPosition(DWPOS_SPAN);
    ASSERT_EQ(S_OK, world.settings.setFitMode(FitSpan));
    ASSERT_EQ(S_OK, world.settings.setTargetMonitor(kDisplay1)); // Span ignores it
}
void arrangeStillShown(WallpaperWorld& world, const Pictures& pictures)
{
    twoDisplays(world);
    world.engine.applyFileList({pictures.a});
}
void arrangeStillAfterSlideshow(WallpaperWorld& world, const Pictures& pictures)
{
    twoDisplays(world);
    ASSERT_EQ(S_OK, world.settings.setSlideshowInterval(5));
    world.engine.applyFileList({pictures.a, pictures.b});
    world.engine.advanceSlideshow();
    world.engine.applyFileList({pictures.c});
}
void arrangeSlideshowOverShellSlideshow(WallpaperWorld& world, const Pictures& pictures)
{
    arrangeShellSlideshow(world, pictures);
    world.engine.applyFileList({pictures.a, pictures.b});
}
void arrangeStillOnDisabledDesktop(WallpaperWorld& world, const Pictures& pictures)
{
    arrangeDisabledDesktop(world, pictures);
    world.engine.applyFileList({pictures.a});
}
void arrangeSlideshowRunning(WallpaperWorld& world, const Pictures& pictures)
{
    twoDisplays(world);
    world.engine.applyFileList({pictures.a, pictures.b, pictures.c});
}
void arrangeDefaultStored(WallpaperWorld& world, const Pictures& pictures)
{
    twoDisplays(world);
    ASSERT_EQ(S_OK, world.settings.setDefaultWallpaper(pictures.d));
}

void dropA(WallpaperWorld& world, const Pictures& pictures)
{
    world.engine.applyFileList({pictures.a});
}
void dropAB(WallpaperWorld& world, const Pictures& pictures)
{
    world.engine.applyFileList({pictures.b, pictures.a});
}
void undo(WallpaperWorld& world, const Pictures&)
{
    world.engine.undoLastChange();
}
void fitCenter(WallpaperWorld& world, const Pictures&)
{
    world.engine.setFit(FitCenter);
}
void fitTile(WallpaperWorld& world, const Pictures&)
{
    world.engine.setFit(FitTile);
}
void restoreDefault(WallpaperWorld& world, const Pictures&)
{
    world.engine.showDefaultWallpaper();
}

void PrintTo(const RollbackScenario& scenario, std::ostream* out)
{
    *out << scenario.name;
}

const RollbackScenario kRollbackScenarios[] = {
    {"StillOnEveryDisplay", arrangeTwoDisplays, dropA, &kWallpaperChangeFailed},
    {"StillOnOneDisplay", arrangeTargetDisplay, dropA, &kWallpaperChangeFailed},
    {"SlideshowOverTheShellsOwnSlideshow", arrangeShellSlideshow, dropAB, &kWallpaperChangeFailed},
    {"StillOnADisabledDesktop", arrangeDisabledDesktop, dropA, &kWallpaperChangeFailed},
    {"StillUnderSpan", arrangeSpan, dropA, &kWallpaperChangeFailed},
    {"DefaultWallpaper", arrangeDefaultStored, restoreDefault, &kWallpaperChangeFailed},
    {"UndoOfAStill", arrangeStillShown, undo, &kWallpaperChangeFailed},
    {"UndoThatBringsASlideshowBack", arrangeStillAfterSlideshow, undo, &kWallpaperChangeFailed},
    {"UndoToTheShellsOwnSlideshow", arrangeSlideshowOverShellSlideshow, undo, &kWallpaperChangeFailed},
    {"UndoOnADisabledDesktop", arrangeStillOnDisabledDesktop, undo, &kWallpaperChangeFailed},
    {"FitChangeOfAStill", arrangeStillShown, fitCenter, &kFitChangeFailed},
    {"FitChangeOfASlideshow", arrangeSlideshowRunning, fitTile, &kFitChangeFailed},
};

class RollbackProperty : public ::testing::TestWithParam<RollbackScenario> {
protected:
    static void SetUpTestSuite() { pictures = std::make_unique<Pictures>(); }
    static void TearDownTestSuite() { pictures.reset(); }

    // A world after the scenario's arrangement, which must itself have gone without a message.
    static std::unique_ptr<WallpaperWorld> arranged(const RollbackScenario& scenario)
    {
        auto world = std::make_unique<WallpaperWorld>();
        scenario.arrange(*world, *pictures);
        EXPECT_TRUE(world->notifications().empty()) << "arrangement failed";
        world->fake->clearCalls();
        return world;
    }

    static std::unique_ptr<Pictures> pictures;
};
std::unique_ptr<Pictures> RollbackProperty::pictures;

TEST_P(RollbackProperty, EachFailingShellCallLeavesAllOrNothing)
{
    const RollbackScenario& scenario = GetParam();

    const auto reference = arranged(scenario);
    const WorldImage referenceBefore = imageOf(*reference);
    scenario.act(*reference, *pictures);
    ASSERT_TRUE(reference->notifications().empty()) << "the operation fails even without an injected failure";
    const WorldImage succeeded = imageOf(*reference);
    ASSERT_NE(referenceBefore, succeeded) << "the operation changes nothing, so it proves nothing";
    const int operationCalls = reference->fake->totalCalls();

    for (int n = 1;; ++n) {
        ASSERT_LE(n, operationCalls + 1);
        const auto world = arranged(scenario);
        const WorldImage before = imageOf(*world);
        const size_t linesBefore = world->notifications().size();
        world->fake->failNthCall(n, kInjected);
        scenario.act(*world, *pictures);

        if (world->fake->totalCalls() < n) {
            // The injected failure was never reached: the operation ran as without it.
            EXPECT_EQ(operationCalls + 1, n);
            EXPECT_EQ(succeeded, imageOf(*world));
            break;
        }
        SCOPED_TRACE(::testing::Message()
                     << "call " << n << " failed: " << ::testing::PrintToString(world->fake->calls()[n - 1]));
        const std::vector<std::wstring> lines(world->notifications().begin() + static_cast<std::ptrdiff_t>(linesBefore),
                                              world->notifications().end());
        if (lines.empty()) {
            const FakeDesktopCall& failed = world->fake->calls()[n - 1];
            WorldImage expected = succeeded;
            if (failed.method == L"SetWallpaper" && failed.arguments.size() == 2 && failed.arguments[1].empty()) {
                // Putting back "no picture" on a disabled desktop may be refused by the shell; the
                // desktop shows no picture either way, so only that display's path may differ.
                expected.desktop.displays = world->fake->state().displays;
            }
            if (failed.method == L"GetMonitorRECT" || failed.method == L"GetWallpaper" ||
                failed.method == L"GetMonitorDevicePathAt") {
                // A display that could not be read, and whose picture the operation does not
                // touch, is left out of the undo record and the operation goes on.
                expected.undo = imageOf(*world).undo;
                if (failed.method != L"GetMonitorDevicePathAt") {
                    EXPECT_EQ(std::wstring::npos, expected.undo.find(failed.arguments.at(0)));
                }
            }
            EXPECT_EQ(expected, imageOf(*world)) << "the operation reported success after a failed call";
            continue;
        }
        ASSERT_EQ(1u, lines.size());
        const std::wstring text = pick(*scenario.failureText, kEnglish);
        EXPECT_TRUE(lines[0] == notificationLine(text, kInjected) ||
                    lines[0] == notificationLine(text, kDisplayNotFound))
            << ::testing::PrintToString(lines[0]);
        EXPECT_EQ(before, imageOf(*world));
    }
}

INSTANTIATE_TEST_SUITE_P(Operations, RollbackProperty, ::testing::ValuesIn(kRollbackScenarios),
                         [](const ::testing::TestParamInfo<RollbackScenario>& info) { return info.param.name; });

// ---------------------------------------------------------------------------------------------
// Commits and undo.

class WallpaperStateTest : public ::testing::Test {
protected:
    void SetUp() override { twoDisplays(world); }

    PictureFolder pictureFolder;
    const std::wstring a = pictureFolder.png(L"a.png", RGB(255, 0, 0));
    const std::wstring b = pictureFolder.jpeg(L"b.jpg", RGB(0, 255, 0));
    const std::wstring c = pictureFolder.png(L"c.png", RGB(0, 0, 255));
    const std::wstring d = pictureFolder.jpeg(L"d.jpeg", RGB(255, 255, 0));
    WallpaperWorld world;
    WallpaperEngine& engine = world.engine;
    Settings& settings = world.settings;
};

TEST_F(WallpaperStateTest, UndoAfterAStillReplacedASlideshowBringsTheSlideshowBack)
{
    ASSERT_EQ(S_OK, settings.setSlideshowInterval(5));
    ASSERT_EQ(S_OK, settings.setFitMode(FitFit));
    engine.applyFileList({a, b, c});
    engine.advanceSlideshow();
    ASSERT_EQ(b, world.fake->wallpaperOf(kDisplay1));
    // The menu changes later; the slideshow keeps what it was started with.
    ASSERT_EQ(S_OK, settings.setSlideshowInterval(15));
    ASSERT_EQ(S_OK, settings.setFitMode(FitFill));
    engine.applyFileList({d});
    ASSERT_EQ(0u, world.engine.slideshowPeriod());
    ASSERT_EQ(d, world.fake->wallpaperOf(kDisplay2));

    engine.undoLastChange();

    EXPECT_EQ(ModeSlideshow, engine.currentState().mode);
    EXPECT_EQ((std::vector<std::wstring>{a, b, c}), engine.currentState().files);
    EXPECT_EQ(1u, engine.currentState().index);
    EXPECT_EQ(5, engine.currentState().interval);
    EXPECT_EQ(FitFit, engine.currentState().fit);
    EXPECT_EQ(5000u, world.engine.slideshowPeriod());
    EXPECT_EQ(b, world.fake->wallpaperOf(kDisplay1));
    EXPECT_EQ(b, world.fake->wallpaperOf(kDisplay2));
    EXPECT_EQ(DWPOS_FIT, world.fake->state().position);
    EXPECT_EQ(L"5", world.setting(L"Interval"));
    EXPECT_EQ(L"3", world.setting(L"Fit"));
    EXPECT_EQ(5, world.settings.slideshowInterval());
    EXPECT_EQ(FitFit, world.settings.fitMode());
    EXPECT_FALSE(engine.undoEntry().has_value());
    EXPECT_EQ(ModeSlideshow, world.events.shownModes.back());
    EXPECT_TRUE(world.notifications().empty());

    // The show goes on from where it was.
    engine.advanceSlideshow();
    EXPECT_EQ(c, world.fake->wallpaperOf(kDisplay1));

    // One level only: a second undo finds nothing and touches nothing.
    world.fake->clearCalls();
    const WorldImage afterUndo = imageOf(world);
    engine.undoLastChange();
    EXPECT_EQ(0, world.fake->totalCalls());
    EXPECT_EQ(afterUndo, imageOf(world));
}

TEST_F(WallpaperStateTest, UndoOfTheFirstChangePutsTheDesktopBackAndStoresTheShellsPositionAsFit)
{
    const FakeDesktopState original = world.fake->state();
    engine.applyFileList({a});
    ASSERT_EQ(DWPOS_FILL, world.fake->state().position);
    ASSERT_FALSE(world.setting(L"Fit").has_value()) << "a new picture writes no setting";

    engine.undoLastChange();

    EXPECT_EQ(original, world.fake->state());
    EXPECT_EQ(ModeNone, engine.currentState().mode);
    EXPECT_EQ(FitCenter, world.settings.fitMode());
    EXPECT_EQ(L"0", world.setting(L"Fit"));
    EXPECT_FALSE(world.setting(L"Interval").has_value());
    EXPECT_EQ(ModeNone, world.events.shownModes.back());
    EXPECT_FALSE(engine.undoEntry().has_value());
}

TEST_F(WallpaperStateTest, CommitAnswersDoneNothingToDoOrTheFailure)
{
    WallpaperState still;
    still.mode = ModeStill;
    still.files = {a};
    still.fit = FitFill;
    EXPECT_EQ(0, engine.commitState(still, false));
    EXPECT_EQ(1, engine.commitState(still, false));

    world.fake->removeDisplay(kDisplay2);
    WallpaperState elsewhere = still;
    elsewhere.files = {b};
    elsewhere.monitor = kDisplay2;
    EXPECT_EQ(kDisplayNotFound, engine.commitState(elsewhere, false));
    EXPECT_EQ(a, world.fake->wallpaperOf(kDisplay1));
    EXPECT_EQ(describe(still), describe(engine.currentState()));
}

TEST_F(WallpaperStateTest, CommitRefusesStatesItCannotShowWithoutTouchingTheDesktop)
{
    struct Case {
        const char* name;
        WallpaperState state;
        bool restoring;
        HRESULT expected;
    };
    WallpaperState noFiles;
    noFiles.mode = ModeStill;
    WallpaperState indexPastTheEnd;
    indexPastTheEnd.mode = ModeSlideshow;
    indexPastTheEnd.files = {a, b};
    indexPastTheEnd.index = 2;
    WallpaperState videoWithoutItsVideo;
    videoWithoutItsVideo.mode = ModeVideo;
    videoWithoutItsVideo.files = {L"C:\\clip.mp4"};
    WallpaperState still;
    still.mode = ModeStill;
    still.files = {a};
    const Case cases[] = {
        {"still without a file", noFiles, false, E_INVALIDARG},
        {"index past the end", indexPastTheEnd, false, E_INVALIDARG},
        {"video state without its video", videoWithoutItsVideo, false, E_INVALIDARG},
        {"restoring with nothing to undo", still, true, E_UNEXPECTED},
    };
    for (const Case& test : cases) {
        SCOPED_TRACE(test.name);
        world.fake->clearCalls();
        const WorldImage before = imageOf(world);
        EXPECT_EQ(test.expected, engine.commitState(test.state, test.restoring));
        EXPECT_EQ(0, world.fake->totalCalls()) << world.fake->callsText();
        EXPECT_EQ(before, imageOf(world));
    }
}

TEST_F(WallpaperStateTest, APictureForAnUnpluggedDisplayFailsAndLeavesTheDesktop)
{
    ASSERT_EQ(S_OK, settings.setTargetMonitor(kDisplay2));
    world.fake->removeDisplay(kDisplay2);
    const FakeDesktopState before = world.fake->state();

    engine.applyFileList({a});

    EXPECT_EQ(before, world.fake->state());
    EXPECT_EQ((std::vector<std::wstring>{notificationLine(pick(kWallpaperChangeFailed, kEnglish), kDisplayNotFound)}),
              world.notifications());
    EXPECT_EQ(ModeNone, engine.currentState().mode);
    EXPECT_FALSE(engine.undoEntry().has_value());
}

// One display whose rectangle cannot be read must not stop changes elsewhere, their undo or
// a fit change; a change that would touch that display is refused and nothing changes.
TEST_F(WallpaperStateTest, AnUnreadableDisplayBlocksOnlyTheChangesThatTouchIt)
{
    constexpr HRESULT kUnreadable = E_ACCESSDENIED;
    world.fake->failMonitorRect(kDisplay1, kUnreadable);
    const FakeDesktopState original = world.fake->state();

    engine.applyFileList({a}); // every display
    EXPECT_EQ(original, world.fake->state());
    EXPECT_EQ(std::vector<std::wstring>{notificationLine(pick(kWallpaperChangeFailed, kEnglish), kUnreadable)},
              world.notifications());
    EXPECT_EQ(ModeNone, engine.currentState().mode);
    EXPECT_FALSE(engine.undoEntry().has_value());

    world.events.notifications.clear();
    ASSERT_EQ(S_OK, settings.setTargetMonitor(kDisplay2));
    engine.applyFileList({b});
    EXPECT_EQ(b, world.fake->wallpaperOf(kDisplay2));
    EXPECT_EQ(kOld1, world.fake->wallpaperOf(kDisplay1));
    engine.setFit(FitTile);
    EXPECT_EQ(DWPOS_TILE, world.fake->state().position);
    engine.undoLastChange(); // the fit change
    engine.undoLastChange(); // nothing left: the fit's undo consumed the one level
    EXPECT_TRUE(world.notifications().empty()) << ::testing::PrintToString(world.notifications());
    EXPECT_EQ(DWPOS_FILL, world.fake->state().position);
    EXPECT_EQ(b, world.fake->wallpaperOf(kDisplay2));

    engine.applyFileList({c});
    engine.undoLastChange();
    EXPECT_TRUE(world.notifications().empty()) << ::testing::PrintToString(world.notifications());
    EXPECT_EQ(b, world.fake->wallpaperOf(kDisplay2));
    EXPECT_EQ(kOld1, world.fake->wallpaperOf(kDisplay1));
}

TEST_F(WallpaperStateTest, AnUnwritableSettingsFileDuringUndoKeepsTheUndoneStateAndSaysSo)
{
    const FakeDesktopState original = world.fake->state();
    engine.applyFileList({a});
    // Held open without sharing, the file cannot be written (being root does not help).
    const HANDLE lock = CreateFileW(world.settingsFile.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, lock);

    engine.undoLastChange();
    CloseHandle(lock);

    EXPECT_EQ(original, world.fake->state());
    EXPECT_EQ(ModeNone, engine.currentState().mode);
    EXPECT_FALSE(engine.undoEntry().has_value());
    ASSERT_EQ(1u, world.notifications().size());
    EXPECT_EQ(0u, world.notifications()[0].rfind(L"Peltorine: " + std::wstring(pick(kSettingsSaveFailed, kEnglish)), 0))
        << ::testing::PrintToString(world.notifications()[0]);
    EXPECT_FALSE(world.setting(L"Fit").has_value());
}

TEST_F(WallpaperStateTest, RestoringTheDefaultCoversEveryDisplayAndThenHasNothingToDo)
{
    ASSERT_EQ(S_OK, settings.setDefaultWallpaper(d));
    ASSERT_EQ(S_OK, settings.setTargetMonitor(kDisplay2));
    engine.showDefaultWallpaper();
    EXPECT_EQ(d, world.fake->wallpaperOf(kDisplay1));
    EXPECT_EQ(d, world.fake->wallpaperOf(kDisplay2));
    EXPECT_EQ(L"", engine.currentState().monitor);
    EXPECT_EQ(ModeStill, engine.currentState().mode);

    world.fake->clearCalls();
    const WorldImage shown = imageOf(world);
    engine.showDefaultWallpaper();
    EXPECT_EQ(0, desktopChanges(*world.fake.Get())) << world.fake->callsText();
    EXPECT_EQ(shown, imageOf(world));
}

// ---------------------------------------------------------------------------------------------
// A picture that is already shown.

struct AlreadyShownCase {
    const char* name;
    void (*arrange)(WallpaperWorld&, const std::wstring& picture, const std::wstring& other);
    bool nothingToDo;
};

void PrintTo(const AlreadyShownCase& test, std::ostream* out)
{
    *out << test.name;
}

std::wstring upperCased(std::wstring text)
{
    for (wchar_t& c : text)
        c = (c >= L'a' && c <= L'z') ? static_cast<wchar_t>(c - L'a' + L'A') : c;
    return text;
}

void showEverywhere(WallpaperWorld& world, const std::wstring& picture)
{
    world.fake->setWallpaperOf(kDisplay1, upperCased(picture));
    world.fake->setWallpaperOf(kDisplay2, picture);
    world.fake->setPosition(DWPOS_FILL);
}

const AlreadyShownCase kAlreadyShownCases[] = {
    {"OnEveryDisplayInOtherLetterCase",
     [](WallpaperWorld& world, const std::wstring& picture, const std::wstring&) { showEverywhere(world, picture); },
     true},
    {"OnTheTargetDisplayWhileTheOtherShowsAnother",
     [](WallpaperWorld& world, const std::wstring& picture, const std::wstring& other) {
         showEverywhere(world, picture);
         world.fake->setWallpaperOf(kDisplay1, other);
         ASSERT_EQ(S_OK, world.settings.setTargetMonitor(kDisplay2));
     },
     true},
    {"AsTheCurrentStillPicture",
     [](WallpaperWorld& world, const std::wstring& picture, const std::wstring&) {
         world.engine.applyFileList({picture});
     },
     true},
    {"WhileTheShellsOwnSlideshowRuns",
     [](WallpaperWorld& world, const std::wstring& picture, const std::wstring& other) {
         showEverywhere(world, picture);
         world.fake->setShellSlideshow(makeShellItemArray({picture, other}));
     },
     false},
    {"WhileTheWallpaperIsDisabled",
     [](WallpaperWorld& world, const std::wstring& picture, const std::wstring&) {
         showEverywhere(world, picture);
         world.fake->setEnabled(false);
     },
     false},
    {"UnderAnotherPosition",
     [](WallpaperWorld& world, const std::wstring& picture, const std::wstring&) {
         showEverywhere(world, picture);
         world.fake->setPosition(DWPOS_STRETCH);
     },
     false},
    {"OnOneOfTheTwoTargetedDisplays",
     [](WallpaperWorld& world, const std::wstring& picture, const std::wstring& other) {
         showEverywhere(world, picture);
         world.fake->setWallpaperOf(kDisplay1, other);
     },
     false},
    {"ByARunningSlideshow",
     [](WallpaperWorld& world, const std::wstring& picture, const std::wstring& other) {
         world.engine.applyFileList({picture, other});
         world.engine.advanceSlideshow(); // other.jpg sorts first
     },
     false},
};

class AlreadyShownTest : public ::testing::TestWithParam<AlreadyShownCase> {
protected:
    PictureFolder pictureFolder;
    const std::wstring picture = pictureFolder.png(L"shown.png");
    const std::wstring other = pictureFolder.jpeg(L"other.jpg");
    WallpaperWorld world;
};

TEST_P(AlreadyShownTest, IsLeftAloneOnlyWhenNothingWouldChange)
{
    twoDisplays(world);
    GetParam().arrange(world, picture, other);
    ASSERT_TRUE(world.notifications().empty());
    const std::size_t shownBefore = world.events.shownModes.size();
    const WorldImage before = imageOf(world);
    const FakeDesktopState desktopBefore = world.fake->state();
    world.fake->clearCalls();

    world.engine.applyFileList({picture});

    EXPECT_TRUE(world.notifications().empty());
    if (GetParam().nothingToDo) {
        EXPECT_EQ(before, imageOf(world));
        EXPECT_EQ(0, desktopChanges(*world.fake.Get())) << world.fake->callsText();
        EXPECT_EQ(shownBefore, world.events.shownModes.size()) << "nothing new was shown";
        return;
    }
    EXPECT_EQ(ModeStill, world.engine.currentState().mode);
    EXPECT_EQ(std::vector<std::wstring>{picture}, world.engine.currentState().files);
    EXPECT_EQ(0u, world.engine.slideshowPeriod());
    EXPECT_EQ(ModeStill, world.events.shownModes.back());
    ASSERT_TRUE(world.engine.undoEntry().has_value());
    EXPECT_EQ(before.state, describe(world.engine.undoEntry()->state));
    // And it can be taken back.
    world.engine.undoLastChange();
    EXPECT_EQ(desktopBefore, world.fake->state());
    EXPECT_EQ(before.state, describe(world.engine.currentState()));
}

INSTANTIATE_TEST_SUITE_P(Cases, AlreadyShownTest, ::testing::ValuesIn(kAlreadyShownCases),
                         [](const ::testing::TestParamInfo<AlreadyShownCase>& info) { return info.param.name; });

// ---------------------------------------------------------------------------------------------
// Fit changes.

TEST_F(WallpaperStateTest, SpanIsRefusedSilentlyWhileOneDisplayIsInPlay)
{
    struct Case {
        const char* name;
        std::wstring targetMonitor;
        std::wstring shownOn;
    };
    const Case cases[] = {
        {"target display chosen", kDisplay2, L""},
        {"picture shown on one display", L"", kDisplay1},
    };
    for (const Case& test : cases) {
        SCOPED_TRACE(test.name);
        WallpaperWorld other;
        twoDisplays(other);
        ASSERT_EQ(S_OK, other.settings.setTargetMonitor(test.shownOn));
        other.engine.applyFileList({a});
        ASSERT_EQ(S_OK, other.settings.setTargetMonitor(test.targetMonitor));
        other.fake->clearCalls();
        const WorldImage before = imageOf(other);

        other.engine.setFit(FitSpan);

        EXPECT_EQ(0, other.fake->totalCalls()) << other.fake->callsText();
        EXPECT_EQ(before, imageOf(other));
        EXPECT_TRUE(other.notifications().empty());
    }
}

TEST_F(WallpaperStateTest, TheFitAlreadyInForceChangesNothing)
{
    engine.applyFileList({a});
    world.fake->clearCalls();
    const WorldImage before = imageOf(world);

    engine.setFit(FitFill);

    EXPECT_EQ(0, desktopChanges(*world.fake.Get())) << world.fake->callsText();
    EXPECT_EQ(before, imageOf(world));
}

TEST_F(WallpaperStateTest, AFitChangeSetsThePositionRecordsUndoAndWritesFit)
{
    engine.applyFileList({a});
    const FakeDesktopState shown = world.fake->state();

    engine.setFit(FitCenter);

    FakeDesktopState expected = shown;
    expected.position = DWPOS_CENTER;
    EXPECT_EQ(expected, world.fake->state());
    EXPECT_EQ(FitCenter, world.settings.fitMode());
    EXPECT_EQ(FitCenter, engine.currentState().fit);
    EXPECT_EQ(L"0", world.setting(L"Fit"));

    engine.undoLastChange();

    EXPECT_EQ(shown, world.fake->state());
    EXPECT_EQ(FitFill, world.settings.fitMode());
    EXPECT_EQ(FitFill, engine.currentState().fit);
    EXPECT_EQ(L"4", world.setting(L"Fit"));
    EXPECT_TRUE(world.notifications().empty());
}

TEST_F(WallpaperStateTest, AFailedFitChangeKeepsFitStateAndUndo)
{
    engine.applyFileList({a});
    const WorldImage before = imageOf(world);
    world.fake->failEveryCallOf(L"SetPosition", E_ACCESSDENIED);

    engine.setFit(FitStretch);

    EXPECT_EQ(before, imageOf(world));
    EXPECT_EQ((std::vector<std::wstring>{notificationLine(pick(kFitChangeFailed, kEnglish), E_ACCESSDENIED)}),
              world.notifications());
}

} // namespace
