// Media Foundation held for the whole of the video tests' program.
//
// Each test's lifecycle starts Media Foundation and shuts it down again when its last video goes,
// as the program does. Wine 8's Media Engine keeps engines after their release (see
// tests/CMakeLists.txt), and their work still runs on Media Foundation's work queues: shutting
// those queues down under them has now and then crashed a later test (an access violation in
// rtworkq.dll on one of the engine's threads). Held here from the start, the lifecycle's startup
// and shutdown only count up and down, and the queues stay until the process ends.
#include <gtest/gtest.h>

#include "video/video_libraries.h"

namespace {

class MediaFoundationHeld final : public testing::Environment {
public:
    void SetUp() override
    {
        const VideoLibraries* libraries = nullptr;
        ASSERT_EQ(S_OK, loadVideoLibraries(libraries));
        ASSERT_EQ(S_OK, libraries->startup(MF_VERSION, MFSTARTUP_LITE));
    }
};

testing::Environment* const held = testing::AddGlobalTestEnvironment(new MediaFoundationHeld);

} // namespace
