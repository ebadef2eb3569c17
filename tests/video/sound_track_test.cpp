// Videos with a sound track: their sound is switched off before playback starts (an engine that
// cannot select streams, as Wine 8's, plays them all the same), and an engine that accepts Play
// and then shows nothing is given up with the message of a video that cannot play.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/strings.h"
#include "tests/support/fake_media_engine.h"
#include "tests/support/video_clips.h"
#include "tests/support/wallpaper_world.h"
#include "tests/video/video_world.h"
#include "video/video_wallpaper.h"

namespace {

constexpr COLORREF kRed = RGB(255, 0, 0);
constexpr COLORREF kWhite = RGB(255, 255, 255);

struct SoundClip {
    const char* name;
    const wchar_t* clip;
    LONG width;
    LONG height;
};

class ClipWithSound : public testing::TestWithParam<SoundClip> {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(SUCCEEDED(ole.result()));
        ASSERT_EQ(mediaFoundation.result(), S_OK);
    }

    OleScope ole;
    MediaFoundationScope mediaFoundation;
};

// The real engine: Wine 8's answers E_NOTIMPL to stream selection, Windows' deselects the sound.
TEST_P(ClipWithSound, PlaysItsPictureWithTheSoundSwitchedOffWhereTheEngineCan)
{
    const SoundClip& clip = GetParam();
    RestingVideo video;
    ASSERT_EQ(video.open(clipPath(clip.clip), 0.0), S_OK);
    ASSERT_EQ(pumpUntilFrame(video), S_OK) << "no first frame";
    // It plays on: the next frame comes. (Asked at once: Wine's engine does not loop, and the
    // clip lasts 2 s.)
    EXPECT_EQ(pumpUntilFrame(video), S_OK) << "no second frame";
    EXPECT_TRUE(video.playRequested());
    const HRESULT selection = video.audioSelection();
    EXPECT_TRUE(selection == S_OK || selection == E_NOTIMPL) << std::hex << selection;
    RecordProperty("audioSelection", selection == S_OK ? "deselected" : "not supported (E_NOTIMPL)");

    TestHostWindow host(clip.width, clip.height);
    ASSERT_EQ(video.createWindows({RECT{0, 0, clip.width, clip.height}}, host.lookup()), S_OK);
    ASSERT_EQ(video.render(FitStretch, RGB(0, 0, 0)), S_OK);
    const BackBuffer frame = readBackBuffer(video, 0);
    ASSERT_EQ(frame.width, static_cast<UINT>(clip.width));
    const Bgra topLeft = frame.at(frame.width / 4, frame.height / 8);
    const Bgra bottomRight = frame.at(frame.width * 3 / 4, frame.height * 7 / 8);
    EXPECT_TRUE(closeTo(topLeft, kRed)) << describe(topLeft);
    EXPECT_TRUE(closeTo(bottomRight, kWhite)) << describe(bottomRight);
}

INSTANTIATE_TEST_SUITE_P(Clips, ClipWithSound,
                         testing::Values(SoundClip{"PhoneHighProfileWithBFrames", kPhoneClip, 180, 320},
                                         SoundClip{"Stereo48kHzAt25Fps", kStereoClip, 320, 240}),
                         [](const testing::TestParamInfo<SoundClip>& info) { return std::string(info.param.name); });

// The stand-in engine shows what Wine's cannot: which streams are switched off, and when.
struct SelectionCase {
    const char* name;
    std::vector<GUID> streams;
    HRESULT engineAnswer; // what the engine's stream selection answers
    bool extended;        // the engine offers IMFMediaEngineEx
    HRESULT result;       // what audioSelection() then says
    std::vector<std::wstring> calls;
};

const SelectionCase kSelectionCases[] = {
    {"AudioStreamsAreSwitchedOffBeforePlay",
     {MFMediaType_Video, MFMediaType_Audio, MFMediaType_Audio},
     S_OK,
     true,
     S_OK,
     {L"GetNumberOfStreams", L"SetStreamSelection(1, 0)", L"SetStreamSelection(2, 0)", L"ApplyStreamSelections",
      L"Play"}},
    {"WithoutSoundNothingIsApplied", {MFMediaType_Video}, S_OK, true, S_FALSE, {L"GetNumberOfStreams", L"Play"}},
    {"AnEngineThatCannotSelectStreamsPlaysAllTheSame",
     {MFMediaType_Video, MFMediaType_Audio},
     E_NOTIMPL,
     true,
     E_NOTIMPL,
     {L"GetNumberOfStreams", L"Play"}},
    {"AnEngineWithoutStreamSelectionPlaysAllTheSame",
     {MFMediaType_Video, MFMediaType_Audio},
     S_OK,
     false,
     E_NOINTERFACE,
     {L"Play"}},
};

class AudioSelection : public testing::TestWithParam<SelectionCase> {
protected:
    OleScope ole;
};

TEST_P(AudioSelection, HappensOnceTheMetadataIsKnownAndNeverStopsPlayback)
{
    const SelectionCase& test = GetParam();
    auto engine = FakeMediaEngine::create();
    engine->streams = test.streams;
    engine->streamSelectionResult = test.engineAnswer;
    engine->extended = test.extended;
    VideoWallpaper video;
    ASSERT_EQ(video.openEngine(engine, engine->sink, 0.0), S_OK);
    EXPECT_EQ(video.audioSelection(), E_PENDING);

    EXPECT_EQ(video.pumpFrame(), S_FALSE) << "playing, no frame yet";
    EXPECT_TRUE(video.playRequested());
    EXPECT_EQ(video.audioSelection(), test.result);
    EXPECT_EQ(engine->calls, test.calls);
}

INSTANTIATE_TEST_SUITE_P(Engines, AudioSelection, testing::ValuesIn(kSelectionCases),
                         [](const testing::TestParamInfo<SelectionCase>& info) {
                             return std::string(info.param.name);
                         });

// A stalled engine (Play accepted, then nothing) in the program's lifecycle, on the clock seam.
class StalledEngine : public testing::Test {
protected:
    void SetUp() override
    {
        world.fake->addDisplay(kDisplay1, RECT{0, 0, 320, 240}, L"C:\\before.jpg");
        world.findHost = host.lookup();
        world.engine.applyFileList({oldPicture});
        ASSERT_EQ(world.engine.currentState().files, std::vector<std::wstring>{oldPicture});
        world.notifications.clear();
        engine->streams = {MFMediaType_Video, MFMediaType_Audio};
        engine->streamSelectionResult = E_NOTIMPL;
    }

    // Opens the stand-in engine and ticks until it has been asked to play.
    void openAndPlay()
    {
        world.engine.applyFileList({clipPath(kStereoClip)});
        ASSERT_TRUE(world.video.opening()) << utf8(world.notifications.empty() ? L"" : world.notifications[0]);
        world.tick();
        ASSERT_TRUE(world.video.pending()->video->playRequested());
    }

    PictureFolder pictures;
    std::wstring oldPicture = pictures.png(L"old.png", RGB(0, 0, 255));
    Microsoft::WRL::ComPtr<FakeMediaEngine> engine = FakeMediaEngine::create();
    VideoWorld world{[this](VideoWallpaper& video, const std::wstring&, double position) {
        return video.openEngine(engine, engine->sink, position);
    }};
    TestHostWindow host{320, 240};
};

TEST_F(StalledEngine, WithoutAFirstFrameWithinFiveSecondsOfPlayItIsAVideoThatCannotPlay)
{
    openAndPlay();
    world.system.now += kPlaybackStartTimeoutMs - 1;
    world.tick();
    ASSERT_TRUE(world.video.opening()) << "given up too early";
    world.system.now += 1;
    world.tick();
    EXPECT_FALSE(world.video.opening());
    EXPECT_FALSE(world.video.showing());
    EXPECT_EQ(world.notifications,
              std::vector<std::wstring>{notificationLine(pick(kVideoPlayFailed, kEnglish), kPlaybackStalled)});
    EXPECT_EQ(world.engine.currentState().files, std::vector<std::wstring>{oldPicture});
    EXPECT_EQ(world.fake->wallpaperOf(kDisplay1), oldPicture);
    EXPECT_EQ(0u, world.video.timerPeriod());
}

TEST_F(StalledEngine, AnEngineThatSaysItPlaysIsGivenUntilTheOpenDeadline)
{
    openAndPlay();
    engine->sink->EventNotify(MF_MEDIA_ENGINE_EVENT_PLAYING, 0, 0);
    world.system.now += kPlaybackStartTimeoutMs;
    world.tick();
    EXPECT_TRUE(world.video.opening()) << "the engine said it plays";
    world.system.now += kVideoOpenTimeoutMs;
    world.tick();
    EXPECT_FALSE(world.video.opening());
    EXPECT_EQ(world.notifications, std::vector<std::wstring>{notificationLine(pick(kVideoPlayFailed, kEnglish),
                                                                                HRESULT_FROM_WIN32(ERROR_TIMEOUT))});
}

TEST_F(StalledEngine, AFirstFrameInTimeIsShown)
{
    openAndPlay();
    world.system.now += kPlaybackStartTimeoutMs - 1;
    engine->deliverFrames = true;
    world.tick();
    EXPECT_FALSE(world.video.opening());
    EXPECT_TRUE(world.video.showing()) << utf8(world.notifications.empty() ? L"" : world.notifications[0]);
    EXPECT_EQ(world.engine.currentState().mode, ModeVideo);
    EXPECT_TRUE(world.notifications.empty());
    // Shown, it is never taken for stalled, whatever the clock says.
    engine->deliverFrames = false;
    world.system.now += 60000;
    world.tick();
    EXPECT_TRUE(world.video.showing());
}

} // namespace
