#pragma once
// The test clips of tests/data/video (scripts/make-clips) and helpers to watch a
// VideoWallpaper's frames:
//
//     RestingVideo video;
//     ASSERT_EQ(video.open(clipPath(kPatternClip), 0.0), S_OK);
//     ASSERT_EQ(pumpUntilFrame(video), S_OK);
//     TestHostWindow host(400, 300);
//     ASSERT_EQ(video.createWindows({RECT{0, 0, 200, 150}}, host.lookup()), S_OK);
//     ASSERT_EQ(video.render(FitFit, RGB(9, 9, 9)), S_OK);
//     BackBuffer pixels = readBackBuffer(video, 0);
//
// Pattern clip: 320x240, 3 s at 30 fps, quadrants red | green over blue | white, the frame
// number in a yellow box in the middle.
#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "tests/support/time_once_still.h"
#include "video/video_host.h"
#include "video/video_wallpaper.h"

inline constexpr const wchar_t* kPatternClip = L"pattern_320x240.mp4";
inline constexpr const wchar_t* kSoundOnlyClip = L"sound_only.mp4";
inline constexpr const wchar_t* kCorruptClip = L"corrupt.mp4";
inline constexpr const wchar_t* kUhdClip = L"uhd_3840x2160.mp4";
// With a sound track (AAC): a phone's kind of recording (High profile, B-frames, 44.1 kHz mono
// sound), 180x320 portrait, 2 s at 30 fps; and 320x240 at 25 fps with 48 kHz stereo sound, 2 s.
// Both show the pattern's quadrants.
inline constexpr const wchar_t* kPhoneClip = L"phone_high_aac_180x320.mp4";
inline constexpr const wchar_t* kStereoClip = L"stereo48k_aac_25fps_320x240.mp4";

// The Windows path of a clip in tests/data/video.
std::wstring clipPath(const wchar_t* name);

// Media Foundation started for the calling test, shut down after it.
class MediaFoundationScope {
public:
    MediaFoundationScope();
    ~MediaFoundationScope();
    MediaFoundationScope(const MediaFoundationScope&) = delete;
    MediaFoundationScope& operator=(const MediaFoundationScope&) = delete;
    HRESULT result() const { return result_; }

private:
    HRESULT result_;
};

// Calls pumpFrame, pumping this thread's messages in between, until it answers something other
// than S_FALSE (nothing new yet) or the decoder has had `limitMs` of wall time; returns that
// answer, or S_FALSE when none came. The decoder runs on its own threads: this waits for it,
// not for a timer.
HRESULT pumpUntilFrame(VideoWallpaper& video, DWORD limitMs = 20000);

// Lets an engine that is still loading its file come to rest (first frame or error) before the
// test destroys it: Wine 8 can crash at process exit after an engine was shut down mid-load.
void settle(VideoWallpaper& video);

// Pauses a playing video and waits until its engine rests, before the test destroys it: Wine 8's
// engine can deadlock when it is shut down while it hands over frames (its sample grabber waits
// for the lock that Shutdown holds while the source's threads wait for the grabber).
void rest(VideoWallpaper& video);

// A video of a test that rests before it goes, however the test ends.
class RestingVideo final : public VideoWallpaper {
public:
    RestingVideo() noexcept = default;
    ~RestingVideo() { rest(*this); }
    RestingVideo(const RestingVideo&) = delete;
    RestingVideo& operator=(const RestingVideo&) = delete;
};

// A top-level window of the test that stands in for the shell's host window (hidden).
class TestHostWindow {
public:
    TestHostWindow(int width, int height, bool noRedirectionBitmap = false);
    ~TestHostWindow();
    TestHostWindow(const TestHostWindow&) = delete;
    TestHostWindow& operator=(const TestHostWindow&) = delete;
    HWND window() const { return window_; }
    VideoHostLookup lookup() const;

private:
    HWND window_ = nullptr;
    bool noRedirectionBitmap_ = false;
};

struct Bgra {
    std::uint8_t b = 0, g = 0, r = 0, a = 0;
};

// The back buffer of one video window, read back from the graphics card.
struct BackBuffer {
    UINT width = 0;
    UINT height = 0;
    std::vector<Bgra> pixels;
    Bgra at(UINT x, UINT y) const { return pixels[static_cast<std::size_t>(y) * width + x]; }
};
BackBuffer readBackBuffer(const VideoWallpaper& video, std::size_t windowIndex);

// Whether a pixel is near a colour (each channel within `tolerance`); video is lossy.
bool closeTo(Bgra pixel, COLORREF colour, int tolerance = 48);
std::string describe(Bgra pixel);
