#pragma once
// What the program holds of its videos: the one being opened, the one being shown, whether the
// shown one is paused under a covering window, and Media Foundation's start. No Direct3D or
// Media Foundation header comes in through here.
#include <windows.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "video/video_host.h"
#include "wallpaper/wallpaper_state.h"

class VideoWallpaper;

struct VideoWallpaperDeleter {
    void operator()(VideoWallpaper* video) const noexcept;
};
using VideoWallpaperPtr = std::unique_ptr<VideoWallpaper, VideoWallpaperDeleter>;

// A video being opened: not shown yet, its windows not made.
struct PendingVideo {
    VideoWallpaperPtr video;
    WallpaperState state;       // the state to commit once the first frame is in
    std::uint64_t deadline = 0; // tick count after which the open is given up
    bool restoring = false;     // the open is an undo
};

inline constexpr std::uint64_t kVideoOpenTimeoutMs = 12000;
inline constexpr std::uint64_t kCoverCheckMs = 250;
inline constexpr UINT kVideoTickMs = 15;
inline constexpr UINT kCoveredVideoTickMs = 250;

class VideoLifecycle {
public:
    VideoLifecycle() noexcept = default;
    // Drops the pending and the active video, then shuts Media Foundation down.
    ~VideoLifecycle();
    VideoLifecycle(const VideoLifecycle&) = delete;
    VideoLifecycle& operator=(const VideoLifecycle&) = delete;

    // Starts Media Foundation unless it runs, makes a new video and opens the state's file at
    // its saved position; on success the video is pending with a deadline of now + 12 s.
    [[nodiscard]] HRESULT open(WallpaperState state, bool restoring, std::uint64_t now) noexcept;
    void cancelPending() noexcept;
    // The period of the video timer: 15 ms while a video plays or opens, 250 ms while the shown
    // one is covered and none opens, 0 (off) when no video remains.
    [[nodiscard]] UINT timerPeriod() const noexcept;
    // Shuts Media Foundation down when no video remains and it runs.
    void shutDownWhenIdle() noexcept;
    // Drops both videos and shuts Media Foundation down (at exit).
    void shutdown() noexcept;

    // Makes a ready, drawn video the shown one (or none, for any other state): its windows
    // appear, and the previous video stops and closes its windows.
    void activate(VideoWallpaperPtr ready, COLORREF background) noexcept;
    // Draws the shown video's current frame again with a fit and background colour.
    [[nodiscard]] HRESULT redrawActive(FitMode fit, COLORREF background) noexcept;

    // The playing position of the shown video in seconds; 0 without one.
    [[nodiscard]] double activeTime() const noexcept;

    bool mediaFoundationStarted = false;
    bool videoCovered = false;
    COLORREF videoBackground = 0;
    std::uint64_t nextCoverCheck = 0;
    std::optional<PendingVideo> pendingVideo;
    VideoWallpaperPtr activeVideo;
};

// The rectangles of a list of displays, as the video windows take them.
[[nodiscard]] std::vector<RECT> rectanglesOf(const std::vector<DisplayWallpaper>& displays);
