#pragma once
// The wallpaper engine: what the desktop shows of ours, its one level of undo, and every change
// between them, each one transactional (a change that fails puts the whole desktop back). It
// talks to the shell's desktop-wallpaper object, keeps the fit and interval in the settings, and
// reports through WallpaperEvents, which also stands for the video side.
#include <windows.h>
#include <shobjidl.h>
#include <wincodec.h>

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "common/strings.h"
#include "settings/settings.h"
#include "wallpaper/file_list_checker.h"
#include "wallpaper/wallpaper_state.h"

class WallpaperEvents {
public:
    // A result or a failure for the user: the text, then what follows it (a file name).
    virtual void wallpaperNotify(const LocalizedText& text, HRESULT code, std::wstring_view suffix = {}) noexcept = 0;
    // Another state is shown: its mode is what the widget tells.
    virtual void wallpaperShown(WallpaperMode mode) noexcept = 0;
    // The slideshow's period may have changed; with restart, the next picture is a full interval away.
    virtual void slideshowTimerChanged(bool restart) noexcept = 0;
    // A list of pictures is being opened, or (checking false) no longer is; what it gave follows.
    virtual void fileListChecking(bool checking) noexcept = 0;

    // The video side. A video state opens in the background while the old wallpaper stays; once
    // ready it comes back through commitState with videoReady. background, when given, is the
    // colour to draw the video's bars with (an undo brings back the colour it had).
    [[nodiscard]] virtual HRESULT openVideo(const WallpaperState& state, bool restoring,
                                            std::optional<COLORREF> background) noexcept = 0;
    virtual void cancelVideoOpening() noexcept = 0;
    [[nodiscard]] virtual bool videoOpening() const noexcept = 0;
    [[nodiscard]] virtual bool videoShown() const noexcept = 0;
    // The shown video's playing position in seconds.
    [[nodiscard]] virtual double videoPosition() const noexcept = 0;
    // Draws the shown video again with another fit, and another background colour when given.
    [[nodiscard]] virtual HRESULT redrawVideo(FitMode fit, std::optional<COLORREF> background) noexcept = 0;
    // After a commit: the ready video becomes the shown one, or (ready false) the shown one stops.
    virtual void showCommittedVideo(bool ready, COLORREF background) noexcept = 0;

protected:
    ~WallpaperEvents() = default;
};

class WallpaperEngine {
public:
    // Lists of pictures are checked on fileChecks, which calls fileCheckFinished from its own
    // thread once there is a result for takeFileCheck; without it, at once on the calling thread.
    WallpaperEngine(IDesktopWallpaper& desktop, IWICImagingFactory& imaging, Settings& settings,
                    WallpaperEvents& events, FileCheckRunner* fileChecks = nullptr,
                    std::function<void()> fileCheckFinished = {}) noexcept;
    WallpaperEngine(const WallpaperEngine&) = delete;
    WallpaperEngine& operator=(const WallpaperEngine&) = delete;

    [[nodiscard]] const WallpaperState& currentState() const noexcept { return currentState_; }
    [[nodiscard]] const std::optional<UndoEntry>& undoEntry() const noexcept { return undoEntry_; }
    // The period of the slideshow timer in milliseconds; 0 when no slideshow runs.
    [[nodiscard]] UINT slideshowPeriod() const noexcept;
    // The display a new wallpaper goes to: all displays under Span, else the chosen one.
    [[nodiscard]] std::wstring displayForNextChange() const;
    // The stored default picture exists.
    [[nodiscard]] bool defaultUsable() const noexcept;

    // The state and the whole desktop as they are now, for undo.
    [[nodiscard]] HRESULT captureUndoEntry(UndoEntry& entry) noexcept;
    // Shows a state; S_FALSE when the still picture is already shown. A video state comes with
    // its video ready and drawn (videoReady). restoring: the state is the undo entry's.
    [[nodiscard]] HRESULT commitState(WallpaperState state, bool restoring, bool videoReady = false) noexcept;
    // commitState for a change the user asked for, a video opened first; a failure is reported.
    void switchToState(WallpaperState state, bool restoring) noexcept;
    void setFit(FitMode fit) noexcept;
    void setSlideshowInterval(std::int32_t seconds) noexcept;
    void undoLastChange() noexcept;
    // The stored default on every display, whatever display is chosen for the next change.
    void showDefaultWallpaper() noexcept;

    // A dropped or chosen list of files: checked, ordered, and shown. Pictures are opened on the
    // runner first, and the change comes with takeFileCheck; a newer request cancels the check.
    void applyFileList(std::vector<std::wstring> paths) noexcept;
    // On the interface thread, once woken: the newest check's result, shown or reported.
    void takeFileCheck() noexcept;
    [[nodiscard]] bool checkingFiles() const noexcept { return checker_.checking(); }
    // The program is going: the check still running is dropped and wakes no one.
    void closeFileChecks() noexcept;
    void advanceSlideshow() noexcept;

    // What the video side hands back: the frame of a video that stopped for good becomes a still
    // (nothing of ours shows when framePath is empty or cannot be shown) ...
    [[nodiscard]] HRESULT replaceVideoWithStill(const std::wstring& framePath) noexcept;
    // ... and "Use current video frame", a commit that keeps the video for undo.
    [[nodiscard]] HRESULT commitVideoFrame(const std::wstring& framePath) noexcept;

    // Deletes the stored pictures of the data folder that nothing refers to any more: not the
    // settings' default, not the state shown, not the undo entry, not what the shell went on
    // showing. Every change that can let one go ends with it.
    void releaseUnusedPictures() noexcept;
    // The same at start, with what the shell shows now asked of it.
    void sweepStoredPictures() noexcept;

private:
    void applyCheck(FileListCheck check) noexcept;
    void cancelFileCheck() noexcept;
    [[nodiscard]] bool undoRedrawsVideo() const noexcept;
    void undoVideoFit() noexcept;
    void reportSettingsFailure(HRESULT code) noexcept;
    void keepUndoEntry(UndoEntry entry) noexcept;
    void dropUndoEntry() noexcept;

    IDesktopWallpaper& desktop_;
    IWICImagingFactory& imaging_;
    Settings& settings_;
    WallpaperEvents& events_;

    WallpaperState currentState_;
    std::optional<UndoEntry> undoEntry_;
    // Set when a whole cycle of pictures failed: the slideshow state stays, its timer does not.
    bool slideshowStopped_ = false;
    // Pictures the shell showed when the last record of it was let go (or at start): in use.
    std::vector<std::wstring> shellPictures_;

    InlineFileCheckRunner inlineChecks_;
    FileListChecker checker_;
};
