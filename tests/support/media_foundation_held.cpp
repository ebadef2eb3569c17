// Media Foundation and one graphics device, held for the whole of the video tests' program.
//
// Each test's lifecycle starts Media Foundation and shuts it down again when its last video goes,
// as the program does, and lets its graphics device go. Wine 8's Media Engine keeps engines after
// their release (see tests/CMakeLists.txt), with references to the device they decoded into:
// - their work still runs on Media Foundation's work queues, and shutting those queues down under
//   them has now and then crashed a later test (an access violation in rtworkq.dll on one of the
//   engine's threads);
// - a device per test stays in memory for good, and the shards grew past 1 GB.
// Held here from the start, the lifecycle's startup and shutdown only count up and down, and every
// video of the program is lent this one device, as videos that overlap in the program are.
#include <gtest/gtest.h>

#include <memory>

#include "video/video_device.h"
#include "video/video_libraries.h"

namespace {

class MediaFoundationHeld final : public testing::Environment {
public:
    void SetUp() override
    {
        const VideoLibraries* libraries = nullptr;
        ASSERT_EQ(S_OK, loadVideoLibraries(libraries));
        ASSERT_EQ(S_OK, libraries->startup(MF_VERSION, MFSTARTUP_LITE));
        ASSERT_EQ(S_OK, VideoDevice::acquire(device_));
    }

private:
    std::shared_ptr<VideoDevice> device_;
};

testing::Environment* const held = testing::AddGlobalTestEnvironment(new MediaFoundationHeld);

} // namespace
