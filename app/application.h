#pragma once
#include <windows.h>
#include <objbase.h>
#include <shobjidl.h>
#include <wincodec.h>
#include <wrl/client.h>

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "platform/system_services.h"
#include "platform/startup_shortcut.h"
#include "platform/unique_handle.h"
#include "settings/settings.h"
#include "common/strings.h"
#include "tray/tray_icon.h"
#include "video/video_lifecycle.h"
#include "wallpaper/file_picker.h"
#include "wallpaper/wallpaper_state.h"
#include "widget/widget.h"

// Private messages of the control window.
inline constexpr UINT TrayCallbackMessage = 0x8001;
inline constexpr UINT FilesDroppedMessage = 0x8002;
inline constexpr UINT WidgetDpiChangedMessage = Widget::kDpiChangedMessage;
inline constexpr UINT ForegroundChangedMessage = Widget::kForegroundChangedMessage;

// Timers of the control window.
inline constexpr UINT_PTR SlideshowTimer = 1;
inline constexpr UINT_PTR VideoTimer = 2;
inline constexpr UINT_PTR RelayoutTimer = 3;
inline constexpr UINT_PTR ErrorFlashTimer = 4;

inline constexpr UINT kRelayoutDelayMs = 400;
inline constexpr std::uint64_t kRelayoutRetryMs = 8000;
inline constexpr UINT kErrorFlashMs = 2200;

inline constexpr const wchar_t* kControlWindowClass = L"Peltorine.Control";
inline constexpr const wchar_t* kSingleInstanceMutex = L"Local\\Peltorine.Desktop.Widget";

// The one object that owns all state of the process: one member per subsystem, and the
// coordination they share (commit and undo, the slideshow, commands, notifications).
// Members are declared so that the destructor releases them in the right order: the last
// declared goes first.
class Application final : public WidgetEvents {
public:
    explicit Application(HINSTANCE instance, SystemServices& system = SystemServices::standard()) noexcept;
    ~Application();
    Application(const Application&) = delete;
    Application& operator=(const Application&) = delete;

    // Start and end (app/)
    [[nodiscard]] HRESULT createComObjects() noexcept;
    [[nodiscard]] HRESULT loadSettings() noexcept;
    [[nodiscard]] HRESULT loadSettingsFrom(const std::wstring& localAppData) noexcept;
    [[nodiscard]] HRESULT initializeWindows() noexcept;
    void shutdown() noexcept;

    // The control window (app/)
    LRESULT handleMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) noexcept;
    void triggerRelayout() noexcept;
    void relayoutAfterDisplayChange() noexcept;
    void refreshHighContrast() noexcept;
    void onTrayEvent(UINT event, WPARAM anchor) noexcept;
    void onTimer(UINT_PTR id) noexcept;
    void takeDroppedFiles() noexcept;
    // Arms or kills the slideshow and video timers to match the current state. A restart arms
    // the slideshow timer again even at the same period, so the next picture is a full interval away.
    void updateTimers(bool restartSlideshow = false) noexcept;

    // Strings in the current language (tray/)
    [[nodiscard]] const wchar_t* text(const LocalizedText& entry) const noexcept
    {
        return pick(entry, settings.language);
    }
    [[nodiscard]] const wchar_t* fitName(FitMode fit) const noexcept;

    // Writes one key; a failure is told to the user and gives false.
    bool writeSetting(const wchar_t* key, const std::wstring& value) noexcept;

    // Wallpaper state, undo and slideshow (wallpaper/)
    [[nodiscard]] HRESULT captureUndoEntry(UndoEntry& entry) noexcept;
    // The video of a video state comes with it, ready and drawn; it is consumed either way.
    std::int32_t commitState(WallpaperState state, bool restoring, VideoWallpaperPtr readyVideo = nullptr) noexcept;
    void switchToState(WallpaperState state, bool restoring) noexcept;
    void setFit(FitMode fit) noexcept;
    void undoLastChange() noexcept;
    void restoreDefaultWallpaper() noexcept;
    void applyFileList(std::vector<std::wstring> paths) noexcept;
    void advanceSlideshow() noexcept;
    [[nodiscard]] std::wstring displayForNextChange() const;

    // Commands, the menu and notifications (app/, tray/)
    void executeCommand(UINT command, const std::vector<DisplayWallpaper>& displays) noexcept;
    void showContextMenu(POINT point) noexcept;
    void showNotification(const std::wstring& text, HRESULT code) noexcept;
    void migrateStartupShortcutAtStart() noexcept;

    // Default wallpaper store (settings/)
    void chooseDefaultWallpaper() noexcept;
    [[nodiscard]] std::wstring newDataFilePath() const;

    // The desktop widget (widget/): what it is asked to do, with the placement and texts
    // that the application keeps.
    void createWidget() noexcept;
    bool layoutWidget() noexcept;
    void setWidgetTooltip(const std::wstring& text) noexcept;
    void showStateTooltip(WallpaperMode mode) noexcept;
    void destroyWidget() noexcept;

    // --- Video lifecycle (video/) ---
    [[nodiscard]] HRESULT openVideo(const WallpaperState& state, bool restoring) noexcept;
    void cancelPendingVideo() noexcept;
    // The period timer 2 should run at now; 0 keeps it off.
    [[nodiscard]] UINT videoTimerPeriod() const noexcept;
    void videoTick() noexcept;
    void relayoutVideo() noexcept;
    void stopVideoToStill(HRESULT code) noexcept;
    void useCurrentFrame() noexcept;

    // --- State. Declared in the reverse of the order in which it is released. ---

    // Process (app/)
    HINSTANCE instance = nullptr;
    SystemServices* system = nullptr;

    // COM objects, released after everything that uses them (app/)
    Microsoft::WRL::ComPtr<IDesktopWallpaper> desktopWallpaper;
    Microsoft::WRL::ComPtr<IWICImagingFactory> imagingFactory;

    // Settings, read once at start (settings/)
    Settings settings;
    // The file dialog behind "Choose wallpaper…" and the default-wallpaper choice; tests put a
    // scripted one here.
    std::function<std::vector<std::wstring>(HWND, bool, std::uint32_t)> chooseFilesFunction = chooseFiles;

    // Start with Windows (platform/)
    StartupShortcut startup;

    // Wallpaper state and its one level of undo (wallpaper/)
    WallpaperState currentState;
    std::optional<UndoEntry> undoEntry;
    // Set when a whole cycle of pictures failed: the slideshow state stays, its timer does not.
    bool slideshowStopped = false;

    // The video being opened and the one shown, and Media Foundation's start (video/). Goes
    // before the settings and COM objects it uses.
    VideoLifecycle video;
    // Finds the shell window that video windows become children of; tests hand in their own.
    VideoHostLookup findVideoHost = [] { return findDesktopHost(true); };

    // Files handed over by the drop target (wallpaper/)
    std::optional<std::vector<std::wstring>> pendingDroppedFiles;

    // Control window, hook, timers and relayout (app/)
    UniqueWindow controlWindow;
    UniqueWinEventHook foregroundHook;
    std::uint64_t relayoutDeadline = 0;
    bool highContrast = false;
    UINT armedSlideshowPeriod = 0; // 0: timer 1 is off
    UINT armedVideoPeriod = 0;     // 0: timer 2 is off

    // The desktop widget (widget/); goes before the control window that owns its tooltip.
    Widget widget{*this};

    // Tray icon and notifications (tray/); goes before the control window it is attached to.
    TrayIcon trayIcon;

private:
    // What the widget reports.
    void widgetFilesDropped(std::vector<std::wstring> paths) noexcept override;
    void widgetRestoreDefault() noexcept override;
    void widgetOpenMenu(POINT point) noexcept override;
    void widgetMoved(POINT position) noexcept override;
    void widgetResized(int size) noexcept override;
    void widgetSystemColoursChanged() noexcept override;
};

// The start failure message, with the code as eight upper-case hexadecimal digits.
std::wstring startFailureMessage(std::uint32_t language, HRESULT hr);

// Runs the whole process: single instance, start, message loop, shutdown. Returns the exit code.
int runPeltorine(HINSTANCE instance) noexcept;
