// Lists of files becoming wallpapers, and the slideshow's ticks (delivered by calling
// advanceSlideshow, as the program does on its slideshow timer).
#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

#include "tests/support/wallpaper_world.h"
#include "common/strings.h"

namespace {

constexpr HRESULT kDisplayNotFound = HRESULT_FROM_WIN32(ERROR_NOT_FOUND);
constexpr HRESULT kFileNotFound = HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND);

class SlideshowTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        world.fake->addDisplay(kDisplay1, kRect1, L"C:\\old one.jpg");
        world.fake->addDisplay(kDisplay2, kRect2, L"C:\\old two.jpg");
        ASSERT_EQ(FitFill, settings.fitMode());
    }

    // What each display shows, display 1 first.
    std::vector<std::wstring> shown() const
    {
        return {world.fake->wallpaperOf(kDisplay1), world.fake->wallpaperOf(kDisplay2)};
    }

    PictureFolder pictures;
    WallpaperWorld world;
    WallpaperEngine& engine = world.engine;
    Settings& settings = world.settings;
};

TEST_F(SlideshowTest, ShowsThePicturesInNaturalNameOrderAndWrapsAround)
{
    const std::wstring img10 = pictures.png(L"img10.png");
    const std::wstring img2 = pictures.jpeg(L"img2.jpg");
    const std::wstring img1 = pictures.png(L"img1.png");
    ASSERT_EQ(S_OK, settings.setSlideshowInterval(15));

    engine.applyFileList({img10, img2, img1});

    EXPECT_EQ(ModeSlideshow, engine.currentState().mode);
    EXPECT_EQ((std::vector<std::wstring>{img1, img1}), shown());
    EXPECT_EQ(15000u, world.engine.slideshowPeriod());
    EXPECT_EQ(std::vector<WallpaperMode>{ModeSlideshow}, world.events.shownModes);

    // A tick records no undo, writes no setting and leaves the tooltip alone.
    const std::wstring undoBefore = describe(engine.undoEntry());
    const std::string settingsBefore = world.settingsBytes();
    std::vector<std::wstring> sequence;
    for (int tick = 0; tick < 4; ++tick) {
        engine.advanceSlideshow();
        sequence.push_back(world.fake->wallpaperOf(kDisplay2));
        EXPECT_EQ(world.fake->wallpaperOf(kDisplay1), world.fake->wallpaperOf(kDisplay2));
    }
    EXPECT_EQ((std::vector<std::wstring>{img2, img10, img1, img2}), sequence);
    EXPECT_EQ(undoBefore, describe(engine.undoEntry()));
    EXPECT_EQ(settingsBefore, world.settingsBytes());
    EXPECT_EQ(std::vector<WallpaperMode>{ModeSlideshow}, world.events.shownModes) << "nothing new was shown";
    EXPECT_EQ(15000u, world.engine.slideshowPeriod());
    EXPECT_TRUE(world.notifications().empty());
}

TEST_F(SlideshowTest, ADeletedPictureIsSkippedWithoutAMessage)
{
    const std::wstring first = pictures.png(L"1.png");
    const std::wstring second = pictures.png(L"2.png");
    const std::wstring third = pictures.png(L"3.png");
    engine.applyFileList({first, second, third});
    ASSERT_TRUE(DeleteFileW(third.c_str()));

    std::vector<std::wstring> sequence;
    for (int tick = 0; tick < 3; ++tick) {
        engine.advanceSlideshow();
        sequence.push_back(world.fake->wallpaperOf(kDisplay1));
    }

    EXPECT_EQ((std::vector<std::wstring>{second, first, second}), sequence);
    EXPECT_TRUE(world.notifications().empty());
    EXPECT_NE(0u, world.engine.slideshowPeriod());
}

struct WholeCycleFailure {
    const char* name;
    void (*cause)(WallpaperWorld& world, const std::vector<std::wstring>& files);
    HRESULT code;
};

void PrintTo(const WholeCycleFailure& failure, std::ostream* out)
{
    *out << failure.name;
}

const WholeCycleFailure kWholeCycleFailures[] = {
    {"TargetDisplayUnplugged",
     [](WallpaperWorld& world, const std::vector<std::wstring>&) { world.fake->removeDisplay(kDisplay2); },
     kDisplayNotFound},
    {"EveryPictureDeleted",
     [](WallpaperWorld&, const std::vector<std::wstring>& files) {
         for (const std::wstring& file : files)
             DeleteFileW(file.c_str());
     },
     kFileNotFound},
};

class SlideshowFailureTest : public SlideshowTest, public ::testing::WithParamInterface<WholeCycleFailure> {};

TEST_P(SlideshowFailureTest, TriesEveryPictureOnceThenStopsWithTheLastCode)
{
    const std::vector<std::wstring> files = {pictures.png(L"a.png"), pictures.png(L"b.png"), pictures.png(L"c.png")};
    ASSERT_EQ(S_OK, settings.setTargetMonitor(kDisplay2));
    engine.applyFileList(files);
    engine.advanceSlideshow();
    ASSERT_EQ(files[1], world.fake->wallpaperOf(kDisplay2));
    GetParam().cause(world, files);
    const FakeDesktopState before = world.fake->state();
    world.fake->clearCalls();

    engine.advanceSlideshow();

    EXPECT_EQ((std::vector<std::wstring>{notificationLine(
                  L"Couldn't continue the slideshow. Check the images and target display.", GetParam().code)}),
              world.notifications());
    EXPECT_EQ(0u, world.engine.slideshowPeriod()) << "no later ticks";
    EXPECT_EQ(ModeSlideshow, engine.currentState().mode);
    EXPECT_EQ(1u, engine.currentState().index) << "back at the picture shown before the tick";
    EXPECT_EQ(before, world.fake->state());
    EXPECT_EQ(0, world.fake->callCount(L"SetWallpaper"));
    if (GetParam().code == kDisplayNotFound) {
        EXPECT_EQ(3, world.fake->callCount(L"GetMonitorRECT")) << "every picture was tried";
    }
}

INSTANTIATE_TEST_SUITE_P(Causes, SlideshowFailureTest, ::testing::ValuesIn(kWholeCycleFailures),
                         [](const ::testing::TestParamInfo<WholeCycleFailure>& info) { return info.param.name; });

TEST_F(SlideshowTest, OneUnreadablePictureAmongGoodOnesChangesNothingAndIsNamed)
{
    const std::vector<std::wstring> files = {pictures.png(L"good.png"), pictures.garbage(L"bad.png"),
                                             pictures.jpeg(L"fine.jpg")};
    const WorldImage before = imageOf(world);

    engine.applyFileList(files);

    EXPECT_EQ(before, imageOf(world));
    ASSERT_EQ(1u, world.notifications().size());
    EXPECT_EQ(0u, world.notifications()[0].rfind(L"Peltorine: Couldn't open image bad.png [", 0))
        << ::testing::PrintToString(world.notifications()[0]);
}

TEST_F(SlideshowTest, OnePictureIsAStillAndSeveralAreASlideshow)
{
    struct Case {
        std::vector<std::wstring> files;
        WallpaperMode mode;
        bool timer;
    };
    const Case cases[] = {
        {{pictures.png(L"only.png")}, ModeStill, false},
        {{pictures.png(L"x.png"), pictures.jpeg(L"y.jpeg")}, ModeSlideshow, true},
    };
    for (const Case& test : cases) {
        ASSERT_EQ(S_OK, settings.setSlideshowInterval(5));
        engine.applyFileList(test.files);
        EXPECT_EQ(test.mode, engine.currentState().mode);
        EXPECT_EQ(test.timer, world.engine.slideshowPeriod() != 0);
        if (test.timer) {
            EXPECT_EQ(5000u, world.engine.slideshowPeriod());
        }
    }
}

TEST_F(SlideshowTest, UnderSpanTheShowCoversEveryDisplayWhateverTheTarget)
{
    const std::wstring a = pictures.png(L"a.png");
    const std::wstring b = pictures.png(L"b.png");
    ASSERT_EQ(S_OK, settings.setFitMode(FitSpan));
    ASSERT_EQ(S_OK, settings.setTargetMonitor(kDisplay1));

    engine.applyFileList({b, a});

    EXPECT_EQ(L"", engine.currentState().monitor);
    EXPECT_EQ((std::vector<std::wstring>{a, a}), shown());
    EXPECT_EQ(DWPOS_SPAN, world.fake->state().position);
}

TEST_F(SlideshowTest, ATickKeepsTheShowsOwnDisplayAndFitAndPutsBackAMovedPosition)
{
    const std::wstring a = pictures.png(L"a.png");
    const std::wstring b = pictures.png(L"b.png");
    ASSERT_EQ(S_OK, settings.setTargetMonitor(kDisplay1));
    ASSERT_EQ(S_OK, settings.setFitMode(FitFit));
    engine.applyFileList({a, b});
    // Later choices apply to the next list only; the position is changed behind our back.
    ASSERT_EQ(S_OK, settings.setTargetMonitor(kDisplay2));
    ASSERT_EQ(S_OK, settings.setFitMode(FitCenter));
    world.fake->setPosition(DWPOS_TILE);

    engine.advanceSlideshow();

    EXPECT_EQ((std::vector<std::wstring>{b, L"C:\\old two.jpg"}), shown());
    EXPECT_EQ(DWPOS_FIT, world.fake->state().position);
}

TEST_F(SlideshowTest, ATickWhileAStillPictureIsShownDoesNothing)
{
    engine.applyFileList({pictures.png(L"still.png")});
    world.fake->clearCalls();
    const WorldImage before = imageOf(world);

    engine.advanceSlideshow();

    EXPECT_EQ(0, world.fake->totalCalls());
    EXPECT_EQ(before, imageOf(world));
}

TEST_F(SlideshowTest, AFailedChangeLeavesTheSlideshowRunning)
{
    const std::wstring a = pictures.png(L"a.png");
    const std::wstring b = pictures.png(L"b.png");
    engine.applyFileList({a, b});
    ASSERT_EQ(S_OK, settings.setTargetMonitor(kDisplay2));
    world.fake->removeDisplay(kDisplay2);

    engine.applyFileList({pictures.png(L"c.png")});

    EXPECT_EQ((std::vector<std::wstring>{notificationLine(pick(kWallpaperChangeFailed, kEnglish), kDisplayNotFound)}),
              world.notifications());
    EXPECT_EQ(ModeSlideshow, engine.currentState().mode);
    EXPECT_EQ(10000u, world.engine.slideshowPeriod());
    engine.advanceSlideshow();
    EXPECT_EQ(b, world.fake->wallpaperOf(kDisplay1));
}

TEST_F(SlideshowTest, UndoDuringASlideshowEndsItAndBringsBackThePicture)
{
    const std::wstring still = pictures.png(L"still.png");
    engine.applyFileList({still});
    engine.applyFileList({pictures.png(L"a.png"), pictures.png(L"b.png")});
    engine.advanceSlideshow();

    engine.undoLastChange();

    EXPECT_EQ(ModeStill, engine.currentState().mode);
    EXPECT_EQ((std::vector<std::wstring>{still, still}), shown());
    EXPECT_EQ(0u, world.engine.slideshowPeriod());
    EXPECT_EQ(ModeStill, world.events.shownModes.back());
}

} // namespace

namespace {

// The slideshow timer follows the state: armed for a running slideshow, restarted only where the
// next picture must come a full interval later, killed when the show ends.
TEST_F(SlideshowTest, TimerOneFollowsTheStateAndRestartsOnlyWhereItMust)
{
    const std::wstring a = pictures.png(L"a.png");
    const std::wstring b = pictures.png(L"b.png");
    const std::wstring c = pictures.png(L"c.png");
    // The slideshow timer as the program arms it from what the engine reports.
    UINT armed = 0;
    int restartsSeen = 0;
    const auto events = [&] {
        std::vector<std::wstring> lines;
        const UINT period = engine.slideshowPeriod();
        const bool restart = world.events.slideshowTimerRestarts != restartsSeen;
        restartsSeen = world.events.slideshowTimerRestarts;
        if (period == 0 && armed != 0)
            lines.push_back(L"kill");
        else if (period != 0 && (restart || period != armed))
            lines.push_back(L"arm " + std::to_wstring(period));
        armed = period;
        return lines;
    };
    using Lines = std::vector<std::wstring>;
    ASSERT_EQ(S_OK, settings.setSlideshowInterval(10));

    engine.applyFileList({a, b});
    EXPECT_EQ(Lines{L"arm 10000"}, events()) << "a new slideshow";
    engine.advanceSlideshow();
    EXPECT_EQ(Lines{}, events()) << "a tick keeps the period running";
    engine.setFit(FitTile);
    EXPECT_EQ(Lines{}, events()) << "a fit change does not delay the next picture";
    engine.setSlideshowInterval(5);
    EXPECT_EQ(Lines{L"arm 5000"}, events()) << "a new interval starts a full period";
    engine.setSlideshowInterval(5);
    EXPECT_EQ(Lines{L"arm 5000"}, events()) << "choosing it again restarts the period too";
    engine.applyFileList({c});
    EXPECT_EQ(Lines{L"kill"}, events()) << "a still ends the show";
    engine.setFit(FitFill);
    EXPECT_EQ(Lines{}, events()) << "nothing to kill twice";
    engine.undoLastChange(); // the fit
    engine.applyFileList({a, b});
    events();

    // Once every picture fails the timer stops, and nothing but a new commit starts it again.
    DeleteFileW(a.c_str());
    DeleteFileW(b.c_str());
    engine.advanceSlideshow();
    EXPECT_EQ(Lines{L"kill"}, events());
    engine.setFit(FitCenter);
    EXPECT_EQ(Lines{}, events()) << "the stopped show stays stopped";
    EXPECT_EQ(0u, world.engine.slideshowPeriod());
}

} // namespace
