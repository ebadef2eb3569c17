#pragma once
// The program's videos: the one being opened in the background, the one shown, why the shown
// one is paused, which of its displays other windows hide, and Media Foundation's start. It
// opens, polls and draws on the user-interface thread (its timer is the control window's),
// rebuilds the windows when the shell made new ones, waits for a restarted shell's new host, and
// falls back to a still picture when playback fails or no host comes in time. It reports through
// VideoEvents. No Direct3D or Media Foundation header comes in through here.
#include <windows.h>
#include <shobjidl.h>
#include <wincodec.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "common/strings.h"
#include "platform/system_services.h"
#include "settings/settings.h"
#include "video/pause_reasons.h"
#include "video/video_host.h"
#include "wallpaper/wallpaper_state.h"

class VideoWallpaper;

struct VideoWallpaperDeleter {
    void operator()(VideoWallpaper* video) const noexcept;
};
using VideoWallpaperPtr = std::unique_ptr<VideoWallpaper, VideoWallpaperDeleter>;

inline constexpr std::uint64_t kVideoOpenTimeoutMs = 12000;
inline constexpr UINT kVideoTickMs = 15;
// A video paused this long lets its engine go (the frame on screen stays) and opens it again to play.
inline constexpr UINT kReleasePausedVideoMs = 30000;
// How often a paused video waiting for the shell's new host looks at its deadline.
inline constexpr UINT kPausedHostWaitTickMs = 1000;

class VideoEvents {
public:
    // The opening video has its first frame, its windows and its drawing: commit its state (the
    // video is handed over with showReadyVideo during the call). The commit's result comes back.
    [[nodiscard]] virtual HRESULT videoReady(const WallpaperState& state, bool restoring) noexcept = 0;
    // The shown video stopped for good; framePath, when not empty, holds its last frame as a
    // picture to show as a still. The still's result comes back (a failure removes the picture).
    [[nodiscard]] virtual HRESULT videoStopped(const std::wstring& framePath) noexcept = 0;
    // "Use current video frame": commit the frame in framePath as a still.
    [[nodiscard]] virtual HRESULT videoFrameChosen(const std::wstring& framePath) noexcept = 0;
    // New video windows are up: whatever must stay above them goes back up.
    virtual void videoWindowsCreated() noexcept = 0;
    // The shell destroyed the windows' host (Explorer restarted): the desktop needs a relayout,
    // tried again (relayout) while awaitingHost() until the shell has its new windows.
    virtual void videoWindowsLost() noexcept = 0;
    // The period of the video timer may have changed.
    virtual void videoTimerChanged() noexcept = 0;
    virtual void videoNotify(const LocalizedText& text, HRESULT code) noexcept = 0;

protected:
    ~VideoEvents() = default;
};

// Opens a new video's file; the program's is VideoWallpaper::open, tests hand in their own.
using VideoOpener = std::function<HRESULT(VideoWallpaper& video, const std::wstring& path, double position)>;

class VideoLifecycle {
public:
    // A video being opened: not shown yet, its windows not made.
    struct PendingVideo {
        VideoWallpaperPtr video;
        WallpaperState state;       // the state to commit once the first frame is in
        std::uint64_t deadline = 0; // tick count after which the open is given up
        bool restoring = false;     // the open is an undo
        std::optional<COLORREF> background;
        // With its first frame but no host for its windows: the tick count at which it gives up.
        std::uint64_t hostDeadline = 0;
    };

    VideoLifecycle(IDesktopWallpaper& desktop, IWICImagingFactory& imaging, const Settings& settings,
                   SystemServices& system, VideoEvents& events, VideoHostLookup findHost,
                   VideoOpener opener = {}) noexcept;
    // Drops the pending and the shown video, then shuts Media Foundation down.
    ~VideoLifecycle();
    VideoLifecycle(const VideoLifecycle&) = delete;
    VideoLifecycle& operator=(const VideoLifecycle&) = delete;

    // Starts Media Foundation unless it runs, makes a new video and opens the state's file at its
    // saved position; on success it is pending, with a deadline 12 s from now. A newer request
    // replaces one still opening. background: the colour of its bars, else the shell's.
    [[nodiscard]] HRESULT open(const WallpaperState& state, bool restoring,
                               std::optional<COLORREF> background) noexcept;
    void cancelPending() noexcept;
    // The timer's work: pulls and draws the shown video's frames while nothing pauses it, and
    // brings the pending one to its first frame (or gives it up at its deadline).
    void tick() noexcept;
    // Builds the shown video's windows again for the displays and the shell's host as they are now.
    // Without a host (the shell restarting, its wallpaper layer not made yet) the video waits for
    // one, as when its windows are lost.
    void relayout() noexcept;
    // Asks which displays the windows above the desktop hide now (the windows changed): hidden
    // displays are neither drawn nor presented, and with every display hidden the video pauses.
    // A display that shows again gets the current frame at once.
    void updateCover() noexcept;
    // The shown video has no windows: the shell took them down with its host. It keeps playing
    // unseen until a relayout builds them in the new host, or stops to a still kShellWaitMs after
    // the loss.
    [[nodiscard]] bool awaitingHost() const noexcept { return hostDeadline_ != 0; }
    // "Use current video frame".
    void useCurrentFrame() noexcept;
    // The shown video stops for good, and its frame stays as a still picture when it can.
    void stopToStill(HRESULT code) noexcept;

    // After a commit: the video that videoReady handed over becomes the shown one, drawn with
    // background; without it (ready false) the shown video stops and its windows close.
    void showReadyVideo(bool ready, COLORREF background) noexcept;
    // Draws the shown video's frame again with another fit (and background colour, when given).
    [[nodiscard]] HRESULT redraw(FitMode fit, std::optional<COLORREF> background) noexcept;

    // A pause the user asked for; it holds until play or another wallpaper. ERROR_NOT_READY
    // without a shown video.
    [[nodiscard]] HRESULT setUserPaused(bool paused) noexcept;
    // The session and power reasons (kSystemPauseReasons): those in `affected` hold when they are in
    // `holding` too, the others are kept. They outlast videos: a video shown while one holds
    // starts paused. Once the last of them is gone, the shown video's windows are checked and
    // rebuilt if the shell or the displays changed meanwhile, drawn again, and playing goes on.
    void setSystemPause(PauseReasons affected, PauseReasons holding) noexcept;

    [[nodiscard]] bool opening() const noexcept { return pending_.has_value(); }
    // The video being opened, for the tests; null without one.
    [[nodiscard]] const PendingVideo* pending() const noexcept { return pending_ ? &*pending_ : nullptr; }
    [[nodiscard]] bool userPaused() const noexcept { return (reasons_ & PauseUser) != 0; }
    [[nodiscard]] bool showing() const noexcept { return active_ != nullptr; }
    [[nodiscard]] bool covered() const noexcept { return (reasons_ & PauseCovered) != 0; }
    // Every reason that holds now; the user's and the covering windows' only with a shown video.
    [[nodiscard]] PauseReasons pauseReasons() const noexcept { return reasons_; }
    // A video is shown and plays: no reason holds.
    [[nodiscard]] bool playing() const noexcept { return active_ && reasons_ == 0 && !enginePaused_; }
    // For each display of the shown video, whether windows hide it; empty without one.
    [[nodiscard]] std::vector<bool> hiddenDisplays() const;
    // The colour the shown video is drawn with around its picture.
    [[nodiscard]] COLORREF background() const noexcept { return background_; }
    [[nodiscard]] bool mediaFoundationStarted() const noexcept { return mediaFoundationStarted_; }
    // The playing position of the shown video in seconds; 0 without one.
    [[nodiscard]] double activeTime() const noexcept;
    // The shown video, for the benchmark and the tests; null without one.
    [[nodiscard]] const VideoWallpaper* activeVideo() const noexcept { return active_.get(); }
    // The period of the video timer: while a video plays, the time until its next frame is due
    // (one wake per new frame), 15 ms until its frame rate is known and while a video opens; 0
    // (off) when no video remains or the shown one is paused and none opens: window, session and
    // power events wake a paused video, never the timer. Once only, 30 s into a pause, it wakes
    // to let the engine go.
    [[nodiscard]] UINT timerPeriod() const noexcept;
    // Shuts Media Foundation down when no video remains and it runs; the device went with the videos.
    void shutDownWhenIdle() noexcept;
    // Drops both videos and shuts Media Foundation down (at exit).
    void shutdown() noexcept;

private:
    // Pauses or plays the shown video's engine to match the reasons; a failure is tried again
    // at the next tick.
    void applyPause() noexcept;
    // Tells the shown video's engine; playing again reopens an engine let go of during a pause.
    [[nodiscard]] HRESULT setEnginePaused(bool pause) noexcept;
    void changeReasons(PauseReasons affected, PauseReasons holding) noexcept;
    // After a system pause: windows rebuilt when the shell or the displays changed, else drawn again.
    void resumeAfterSystemPause() noexcept;
    [[nodiscard]] bool windowsOutdated() noexcept;
    void tickShown() noexcept;
    void tickPending() noexcept;
    [[nodiscard]] HRESULT prepareWindows(VideoWallpaper& video, const std::wstring& monitor) noexcept;
    [[nodiscard]] HRESULT commitPending() noexcept;
    // The shown video's windows are gone (code: why): wait for a host, once per loss.
    void awaitHost(HRESULT code) noexcept;
    // While waiting: the still once the deadline has passed.
    void tickAwaitingHost() noexcept;

    IDesktopWallpaper& desktop_;
    IWICImagingFactory& imaging_;
    const Settings& settings_;
    SystemServices& system_;
    VideoEvents& events_;
    VideoHostLookup findHost_;
    VideoOpener opener_;

    bool mediaFoundationStarted_ = false;
    std::optional<PendingVideo> pending_;
    // Between videoReady and showReadyVideo: the video whose state is being committed.
    VideoWallpaperPtr ready_;
    WallpaperState readyState_;
    VideoWallpaperPtr active_;
    // How the shown video is drawn, and where.
    FitMode fit_ = kDefaultFit;
    std::wstring monitor_;
    COLORREF background_ = 0;
    PauseReasons reasons_ = 0;
    // What the shown video's engine was last told: the engine plays from its first frame on.
    bool enginePaused_ = false;
    std::uint64_t pausedSince_ = 0; // tick count at which the engine was paused
    // While the shown video plays: when to look for its next frame.
    UINT frameWaitMs_ = kVideoTickMs;
    // While the shown video waits for a host: the tick count at which it stops, and why it has
    // no windows. 0 while it has its windows.
    std::uint64_t hostDeadline_ = 0;
    HRESULT hostFailure_ = S_OK;
};

// The rectangles of a list of displays, as the video windows take them.
[[nodiscard]] std::vector<RECT> rectanglesOf(const std::vector<DisplayWallpaper>& displays);
