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
    double tickAt;      // the engine's time at the wake after frames 0 and 40 ms
    bool decoderBehind; // the engine has no new frame, whatever its clock says
    UINT period;        // the timer's period afterwards, in ms
};

const PaceCase kPaceCases[] = {
    // Woken 1 ms into the frame at 40 ms: the next, at 80 ms, is 39 ms away; one more to be sure.
    {"NextFrameDue", 0.041, false, 40},
    // Woken early (the timer fired before the frame's time): only the rest of the way.
    {"WokenEarly", 0.070, false, 11},
    // The frame at 80 ms is late: look again half a frame later.
    {"DecoderBehind", 0.095, true, 21},
    // The loop started over: the clock is far behind the last frame, and the wait is still a frame.
    {"LoopStartsOver", 0.001, false, 40},
};

class FramePaceCases : public FramePace, public testing::WithParamInterface<PaceCase> {};

TEST_P(FramePaceCases, TheTimerWakesWhenTheNextFrameIsDue)
{
    const PaceCase& c = GetParam();
    tickAt(0.041); // the frame at 40 ms: the interval is known
    ASSERT_EQ(40u, world.video.timerPeriod());
    if (c.name == std::string("LoopStartsOver"))
        tickAt(1.961); // the last frame before the loop
    engine->deliverFrames = !c.decoderBehind;
    tickAt(c.tickAt);
    EXPECT_EQ(c.period, world.video.timerPeriod());
}

INSTANTIATE_TEST_SUITE_P(Frames, FramePaceCases, testing::ValuesIn(kPaceCases),
                         [](const testing::TestParamInfo<PaceCase>& info) { return std::string(info.param.name); });

TEST_F(FramePace, EachWakeOfTheTimerBringsTheNextFrameAndSkipsNone)
{
    double now = 0.0;
    int wakes = 0;
    while (now < 2.0) {
        now += world.video.timerPeriod() / 1000.0;
        tickAt(now);
        ++wakes;
    }
    // The first wake, 15 ms in, finds the frame at 0 again; from the second on, the interval is known.
    std::vector<LONGLONG> expected;
    for (LONGLONG frame = 0; frame <= engine->transferred.back(); frame += kFrame)
        expected.push_back(frame);
    EXPECT_EQ(expected, engine->transferred);
    EXPECT_LE(wakes, static_cast<int>(engine->transferred.size()) + 2) << "wakes that brought no new frame";
}

TEST_F(FramePace, APausedVideoIsNotPolledAndPlaysOnAtItsFramePace)
{
    tickAt(0.041);
    ASSERT_EQ(S_OK, world.video.setUserPaused(true));
    EXPECT_EQ(kReleasePausedVideoMs, world.video.timerPeriod()) << "only to let the engine go";
    ASSERT_EQ(S_OK, world.video.setUserPaused(false));
    tickAt(0.081);
    EXPECT_EQ(40u, world.video.timerPeriod());
}

} // namespace
