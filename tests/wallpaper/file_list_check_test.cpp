// Dropped or chosen pictures are opened away from the interface thread: nothing changes until the
// check's result is taken, a newer request cancels an older check, and what the user sees in the
// end is what the check at once gave.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "common/strings.h"
#include "tests/support/file_checks.h"
#include "tests/support/wallpaper_world.h"

namespace {

constexpr const wchar_t* kOld = L"C:\\old.jpg";

struct NewerRequest {
    const char* name;
    std::function<void(WallpaperEngine&)> make;
    std::wstring expectedWallpaper;
    bool opensVideo = false;
};

TEST(FileListCheck, ANewerRequestCancelsAnOlderCheckWhicheverEndsFirst)
{
    PictureFolder pictures;
    const std::wstring a = pictures.png(L"a.png");
    const std::wstring bad = pictures.garbage(L"bad.png");
    const std::wstring b = pictures.png(L"b.png");
    const std::wstring c = pictures.png(L"c.png");
    const std::wstring d = pictures.png(L"d.png");
    const std::wstring fallback = pictures.png(L"default.png");
    const std::wstring clip = pictures.path() + L"\\clip.mp4";

    const NewerRequest requests[] = {
        {"another list",
         [&](WallpaperEngine& engine) {
             engine.applyFileList({d, c});
         },
         c},
        {"the default restored", [](WallpaperEngine& engine) { engine.showDefaultWallpaper(); }, fallback},
        {"an undo", [](WallpaperEngine& engine) { engine.undoLastChange(); }, kOld},
        {"a video", [&](WallpaperEngine& engine) { engine.applyFileList({clip}); }, a, true},
    };
    for (const NewerRequest& request : requests) {
        for (const bool olderEndedFirst : {true, false}) {
            SCOPED_TRACE(std::string(request.name) +
                         (olderEndedFirst ? ", the older check ended but was not taken" : ", the older ends last"));
            HeldFileChecks checks;
            WallpaperWorld world(&checks);
            world.fake->addDisplay(kDisplay1, kRect1, kOld);
            ASSERT_EQ(S_OK, world.settings.setDefaultWallpaper(fallback));
            world.engine.applyFileList({a});
            checks.runAll();
            world.engine.takeFileCheck();
            ASSERT_EQ(a, world.fake->wallpaperOf(kDisplay1));

            // The older list would fail on its first picture.
            world.engine.applyFileList({bad, b});
            if (olderEndedFirst)
                checks.runOldest();
            request.make(world.engine);
            if (!olderEndedFirst && checks.jobs.size() > 1) {
                checks.runNewest();
                world.engine.takeFileCheck();
            }
            checks.runAll();
            world.engine.takeFileCheck();

            EXPECT_EQ(request.expectedWallpaper, world.fake->wallpaperOf(kDisplay1));
            EXPECT_EQ(std::vector<std::wstring>{}, world.notifications()) << "the cancelled check is never told";
            EXPECT_EQ(request.opensVideo ? 1u : 0u, world.events.openRequests.size());
            EXPECT_FALSE(world.engine.checkingFiles());
            ASSERT_FALSE(world.events.checkingChanges.empty());
            EXPECT_FALSE(world.events.checkingChanges.back());
        }
    }
}

TEST(FileListCheck, ResultsAndMessagesAreThoseOfTheCheckAtOnce)
{
    PictureFolder pictures;
    const std::wstring img10 = pictures.png(L"img10.png");
    const std::wstring img2 = pictures.jpeg(L"img2.jpg");
    const std::wstring img1 = pictures.png(L"img1.png");
    const std::wstring z = pictures.png(L"z.png");
    const std::wstring m = pictures.garbage(L"m.png");
    const std::wstring early = pictures.garbage(L"a.png");
    const std::wstring missing = pictures.path() + L"\\missing.png";
    const std::wstring notes = pictures.path() + L"\\notes.txt";
    const std::wstring clip = pictures.path() + L"\\clip.mp4";

    const struct {
        std::vector<std::wstring> files;
        bool decidedAtOnce;
        const wchar_t* notificationStart; // nullptr: none
    } cases[] = {
        {{img10, img2, img1}, false, nullptr},
        {{img2}, false, nullptr},
        // The first bad picture in the order given, not in the order shown.
        {{z, m, early}, false, L"Peltorine: Couldn't open image m.png ["},
        {{missing, z}, false, L"Peltorine: Couldn't open image missing.png ["},
        {{img1, notes}, true, L"Peltorine: Choose PNG, JPG or JPEG images, or one MP4 video. ["},
        {{clip}, true, nullptr},
    };
    for (const auto& test : cases) {
        SCOPED_TRACE(utf8(test.files.front()));
        WallpaperWorld atOnce;
        HeldFileChecks checks;
        WallpaperWorld held(&checks);
        for (WallpaperWorld* world : {&atOnce, &held})
            world->fake->addDisplay(kDisplay1, kRect1, kOld);

        atOnce.engine.applyFileList(test.files);
        held.engine.applyFileList(test.files);
        EXPECT_EQ(test.decidedAtOnce, checks.jobs.empty());
        checks.runAll();
        held.engine.takeFileCheck();

        EXPECT_EQ(imageOf(atOnce), imageOf(held));
        EXPECT_EQ(atOnce.notifications(), held.notifications());
        EXPECT_EQ(atOnce.events.openRequests.size(), held.events.openRequests.size());
        if (test.notificationStart) {
            ASSERT_EQ(1u, held.notifications().size());
            EXPECT_EQ(0u, held.notifications().front().find(test.notificationStart)) << utf8(held.notifications()[0]);
        } else {
            EXPECT_EQ(std::vector<std::wstring>{}, held.notifications());
        }
    }
    // The pictures in natural order, the first one shown.
    WallpaperWorld world;
    world.fake->addDisplay(kDisplay1, kRect1, kOld);
    world.engine.applyFileList({img10, img2, img1});
    EXPECT_EQ((std::vector<std::wstring>{img1, img2, img10}), world.state().files);
    EXPECT_EQ(img1, world.fake->wallpaperOf(kDisplay1));
}

TEST(FileListCheck, AStuckCheckOnItsThreadDoesNotHoldUpTheCallerAndWakesItWhenDone)
{
    PictureFolder pictures;
    const std::wstring a = pictures.png(L"a.png");
    const std::wstring b = pictures.png(L"b.png");
    GatedFileChecks checks;
    FinishedEvent finished;
    WallpaperWorld world(&checks, finished.setter());
    world.fake->addDisplay(kDisplay1, kRect1, kOld);

    world.engine.applyFileList({b, a});

    // Back while the check waits at the gate.
    EXPECT_TRUE(world.engine.checkingFiles());
    EXPECT_EQ(std::vector<bool>{true}, world.events.checkingChanges);
    EXPECT_EQ(kOld, world.fake->wallpaperOf(kDisplay1));
    EXPECT_EQ(ModeNone, world.state().mode);
    world.engine.takeFileCheck();
    EXPECT_EQ(kOld, world.fake->wallpaperOf(kDisplay1)) << "nothing to take before the check ends";

    checks.open();
    ASSERT_TRUE(finished.wait());
    EXPECT_NE(GetCurrentThreadId(), checks.checkingThread.load());
    EXPECT_EQ(kOld, world.fake->wallpaperOf(kDisplay1)) << "the change waits for the interface thread";
    world.engine.takeFileCheck();

    EXPECT_EQ(a, world.fake->wallpaperOf(kDisplay1));
    EXPECT_EQ(ModeSlideshow, world.state().mode);
    EXPECT_EQ((std::vector<bool>{true, false}), world.events.checkingChanges);
    EXPECT_EQ(std::vector<std::wstring>{}, world.notifications());
    checks.threads.shutdown();
    EXPECT_EQ(0u, checks.threads.running());
}

} // namespace
