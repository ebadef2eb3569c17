// A playing video's timer follows its frames: it wakes when the next frame is due on the engine's
// clock, not at a fixed period, and so brings one new frame per wake.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/support/fake_media_engine.h"
#include "tests/support/video_clips.h"
#include "tests/support/wallpaper_world.h"
#include "tests/video/video_world.h"
#include "video/video_wallpaper.h"

namespace {

constexpr LONGLONG kFrame = 400'000; // 25 frames a second, in 100-ns units

class FramePace : public testing::Test {
protected:
    void SetUp() override
    {
        world.fake->addDisplay(kDisplay1, RECT{0, 0, 320, 240}, L"C:\\before.jpg");
        world.findHost = host.lookup();
        engine->frameTicks = kFrame;
        engine->deliverFrames = true;
        engine->clock = 0.0;
        world.engine.applyFileList({clipPath(kStereoClip)});
        ASSERT_TRUE(world.video.opening());
        world.tick(); // the metadata: playback starts
        world.tick(); // the first frame: shown
        ASSERT_TRUE(world.video.showing()) << utf8(world.notifications.empty() ? L"" : world.notifications[0]);
    }

    // One wake of the program's video timer at the engine's time `seconds`.
    void tickAt(double seconds)
    {
        engine->clock = seconds;
        world.tick();
    }

    Microsoft::WRL::ComPtr<FakeMediaEngine> engine = FakeMediaEngine::create();
    VideoWorld world{[this](VideoWallpaper& video, const std::wstring&, double position) {
        return video.openEngine(engine, engine->sink, position);
    }};
    TestHostWindow host{320, 240};
};

TEST_F(FramePace, UntilTwoFramesGiveTheFrameRateTheTimerLooksEvery15Ms)
{
    EXPECT_EQ(kVideoTickMs, world.video.timerPeriod());
}

struct PaceCase {
    const char* name;
    double tickAt;   // the engine's time at the wake after frames 0 and 40 ms
    bool newFrame;   // the engine has a new frame then
    UINT period;     // the timer's period afterwards, in ms
};

const PaceCase kPaceCases[] = {
    // A new frame: the next is a frame's time away.
    {"NewFrame", 0.081, true, 40},
    // Nothing new (woken early, or the decoder is behind): a quarter of a frame later.
    {"NothingNew", 0.075, false, 10},
    // The loop started over: still a frame.
    {"LoopStartsOver", 0.001, true, 40},
};

TEST_F(FramePace, FramesSeenFarApartAtTheStartDoNotSlowTheTimerDown)
{
    // The first frames the program saw came 600 ms apart (the windows were being made meanwhile).
    tickAt(0.600);
    EXPECT_EQ(kLongestFrameWaitMs, world.video.timerPeriod());
    // Looked at that often, it sees the video's own steps, and keeps to them.
    tickAt(0.650);
    EXPECT_EQ(40u, world.video.timerPeriod());
}

class FramePaceCases : public FramePace, public testing::WithParamInterface<PaceCase> {};

TEST_P(FramePaceCases, TheTimerWakesWhenTheNextFrameIsDue)
{
    const PaceCase& c = GetParam();
    tickAt(0.041); // the frame at 40 ms: the interval is known
    ASSERT_EQ(40u, world.video.timerPeriod());
    if (c.name == std::string("LoopStartsOver"))
        tickAt(1.961); // the last frame before the loop
    engine->deliverFrames = c.newFrame;
    tickAt(c.tickAt);
    EXPECT_EQ(c.period, world.video.timerPeriod());
}

INSTANTIATE_TEST_SUITE_P(Frames, FramePaceCases, testing::ValuesIn(kPaceCases),
                         [](const testing::TestParamInfo<PaceCase>& info) { return std::string(info.param.name); });

TEST_F(FramePace, EachWakeOfTheTimerBringsTheNextFrameAndSkipsNone)
{
    // 30 frames a second (33.3 ms, which the timer cannot keep exactly), each a little after its
    // time, as from a decoder a little behind.
    engine->frameTicks = 333'333;
    engine->lag = 0.003;
    double now = 0.0;
    int wakes = 0;
    while (now < 4.0) {
        now += world.video.timerPeriod() / 1000.0;
        tickAt(now);
        ++wakes;
    }
    std::vector<LONGLONG> expected;
    for (LONGLONG frame = 0; frame <= engine->transferred.back(); frame += engine->frameTicks)
        expected.push_back(frame);
    EXPECT_EQ(expected, engine->transferred) << "a frame was passed over";
    const double wakesPerFrame = static_cast<double>(wakes) / static_cast<double>(engine->transferred.size());
    EXPECT_LE(wakesPerFrame, 1.2) << wakes << " wakes for " << engine->transferred.size() << " frames";
}

TEST_F(FramePace, APausedVideoIsNotPolledAndPlaysOnAtItsFramePace)
{
    tickAt(0.041);
    ASSERT_EQ(S_OK, world.video.setUserPaused(true));
    EXPECT_EQ(kReleasePausedVideoMs, world.video.timerPeriod()) << "only to let the engine go";
    ASSERT_EQ(S_OK, world.video.setUserPaused(false));
    EXPECT_EQ(10u, world.video.timerPeriod()) << "the first new frame after the pause is looked for at once";
    tickAt(0.081);
    EXPECT_EQ(40u, world.video.timerPeriod());
}

} // namespace
