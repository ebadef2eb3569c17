// The engine lets go of the pictures it stored once nothing refers to them any more.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <string>
#include <vector>

#include "platform/paths.h"
#include "tests/support/temp_folder.h"
#include "tests/support/wallpaper_world.h"

namespace {

class StoredPicturesEngineTest : public ::testing::Test {
protected:
    StoredPicturesEngineTest() { world.fake->addDisplay(kDisplay1, kRect1, L"C:\\old.jpg"); }

    // A frame as the video side saves it: a real picture under a fresh name in the data folder.
    std::wstring saveFrame()
    {
        const std::wstring path = world.settings.newDataFilePath();
        CopyFileW(pictures.png(L"frame.png").c_str(), path.c_str(), FALSE);
        return path;
    }

    // A video as the video side hands it over once its first frame is drawn.
    void showVideo(const WallpaperState& state, bool restoring)
    {
        ASSERT_EQ(S_OK, world.engine.commitState(state, restoring, true));
    }

    PictureFolder pictures;
    WallpaperWorld world;
};

TEST_F(StoredPicturesEngineTest, FramesUsedAndUndoneAreDeletedOnceNothingShowsThem)
{
    WallpaperState video;
    video.mode = ModeVideo;
    video.files = {L"C:\\clip.mp4"};
    showVideo(video, false);

    for (int round = 0; round < 3; ++round) {
        SCOPED_TRACE(round);
        const std::wstring frame = saveFrame();
        ASSERT_EQ(S_OK, world.engine.commitVideoFrame(frame));
        // The still shows the frame: it stays.
        EXPECT_EQ(std::vector<std::wstring>{fileNameOf(frame)}, filesIn(world.settings.dataFolder(), L"{*"));

        world.engine.undoLastChange();
        ASSERT_FALSE(world.events.openRequests.empty());
        showVideo(world.events.openRequests.back().state, true);

        // Back to the video: nothing refers to the frame any more.
        EXPECT_EQ(std::vector<std::wstring>{}, filesIn(world.settings.dataFolder(), L"{*"));
    }
}

TEST_F(StoredPicturesEngineTest, APictureTheShellStillShowsStaysAfterTheUndo)
{
    // The frame on every display, then a picture of the user's over it, then undo: the shell
    // shows the frame again.
    const std::wstring frame = saveFrame();
    WallpaperState still;
    still.mode = ModeStill;
    still.files = {frame};
    ASSERT_EQ(S_OK, world.engine.commitState(still, false));
    world.engine.applyFileList({pictures.png(L"mine.png")});
    world.engine.undoLastChange();

    EXPECT_EQ(frame, world.fake->wallpaperOf(kDisplay1));
    EXPECT_EQ(std::vector<std::wstring>{fileNameOf(frame)}, filesIn(world.settings.dataFolder(), L"{*"));
}

TEST_F(StoredPicturesEngineTest, TheStartSweepKeepsTheDefaultAndWhatTheShellShows)
{
    const std::wstring shown = saveFrame();
    const std::wstring defaultCopy = saveFrame();
    const std::wstring forgotten = saveFrame();
    ASSERT_EQ(S_OK, world.settings.setDefaultWallpaper(defaultCopy));
    ASSERT_EQ(S_OK, world.fake->SetWallpaper(kDisplay1, shown.c_str()));

    world.engine.sweepStoredPictures();

    std::vector<std::wstring> expected{fileNameOf(shown), fileNameOf(defaultCopy)};
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(expected, filesIn(world.settings.dataFolder(), L"{*"));
    EXPECT_FALSE(fileExists(forgotten));
}

TEST_F(StoredPicturesEngineTest, NothingIsSweptWhenADisplayCannotBeRead)
{
    const std::wstring frame = saveFrame();
    world.fake->failEveryCallOf(L"GetWallpaper", E_FAIL);

    world.engine.sweepStoredPictures();

    EXPECT_TRUE(fileExists(frame));
}

} // namespace
