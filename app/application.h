#pragma once
// The composition root: one object per subsystem, wired to each other through their events, and
// the hidden control window that routes the system's messages, the tray icon's events and the
// timers to them.
#include <windows.h>
#include <objbase.h>
#include <shobjidl.h>
#include <wincodec.h>
#include <wrl/client.h>

#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "app/command_line.h"
#include "common/strings.h"
#include "platform/desktop_host.h"
#include "platform/product_names.h"
#include "platform/startup_shortcut.h"
#include "platform/system_services.h"
#include "platform/unique_handle.h"
#include "platform/window_class.h"
#include "settings/settings.h"
#include "tray/tray_icon.h"
#include "video/video_lifecycle.h"
#include "wallpaper/wallpaper_engine.h"
#include "widget/widget.h"

// Private messages of the control window.
inline constexpr UINT TrayCallbackMessage = 0x8001;
inline constexpr UINT FilesDroppedMessage = 0x8002;
inline constexpr UINT ForegroundChangedMessage = 0x8004;
// Posted from a checking thread: the newest check of dropped or chosen pictures has a result.
inline constexpr UINT FileCheckFinishedMessage = 0x8005;
// A top-level window was shown, hidden, moved, minimized, cloaked or came to the foreground.
inline constexpr UINT WindowsChangedMessage = 0x8006;

// Timers of the control window.
inline constexpr UINT_PTR SlideshowTimer = 1;
inline constexpr UINT_PTR VideoTimer = 2;
inline constexpr UINT_PTR RelayoutTimer = 3;
inline constexpr UINT_PTR ErrorFlashTimer = 4;
inline constexpr UINT_PTR CoverCheckTimer = 5;

inline constexpr UINT kRelayoutDelayMs = 400;
inline constexpr std::uint64_t kRelayoutRetryMs = kShellWaitMs;
inline constexpr UINT kErrorFlashMs = 2200;
// How long after the last window event the windows above the desktop are looked at.
inline constexpr UINT kCoverCheckDelayMs = 30;
// The window-event hooks that follow the windows above a video (app/system_pauses.cpp).
inline constexpr std::size_t kCoverHookCount = 6;
// The power settings whose changes the control window registers for (app/system_pauses.h).
inline constexpr std::size_t kFollowedPowerSettingCount = 3;

inline constexpr const wchar_t* kSingleInstanceMutex = L"Local\\Peltorine.Desktop.Widget";

// The file dialog: owner, the one-picture form for the default, the language.
using ChooseFilesFunction = std::function<std::vector<std::wstring>(HWND, bool, std::uint32_t)>;

// What the Application is built over besides Windows itself; tests hand in their own.
struct ApplicationSeams {
    SystemServices* system = &SystemServices::standard();
    // The file dialog behind "Choose wallpaper…" and the choice of the default; empty: the shell's.
    ChooseFilesFunction chooseFiles;
    // The shell window that video windows become children of; empty: the desktop's.
    VideoHostLookup findVideoHost;
    // The folder of the Startup shortcut; empty: the user's Startup folder.
    std::wstring startupFolder;
    // The module whose resources hold the menu's banner; null: the program's own.
    HINSTANCE resources = nullptr;
    // Where lists of pictures are checked; null: a thread of its own for each check.
    FileCheckRunner* fileChecks = nullptr;
    // How a video is opened; empty: on Media Foundation's Media Engine.
    VideoOpener openVideo;
};

// The widget's events are public: they are what the user does to the widget, and tests act as the
// widget. The engine's and the video's stay between the subsystems.
class Application final : private WallpaperEvents, private VideoEvents, public WidgetEvents {
public:
    explicit Application(HINSTANCE instance, ApplicationSeams seams = {}) noexcept;
    ~Application();
    Application(const Application&) = delete;
    Application& operator=(const Application&) = delete;

    // The start, in this order; shutdown undoes it.
    [[nodiscard]] HRESULT createComObjects() noexcept;
    // The start with COM objects made elsewhere (tests use a stand-in desktop).
    void useComObjects(Microsoft::WRL::ComPtr<IDesktopWallpaper> desktop,
                       Microsoft::WRL::ComPtr<IWICImagingFactory> imaging) noexcept;
    [[nodiscard]] HRESULT loadSettings() noexcept;
    [[nodiscard]] HRESULT loadSettingsFrom(const std::wstring& localAppData) noexcept;
    [[nodiscard]] HRESULT initializeWindows() noexcept;
    void shutdown() noexcept;

    LRESULT handleMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) noexcept;

    // What the user can ask for, whichever way the request comes.
    void executeCommand(UINT command, const std::vector<DisplayWallpaper>& displays) noexcept;
    void applyFileList(std::vector<std::wstring> paths) noexcept;
    void restoreDefaultWallpaper() noexcept;
    void chooseDefaultWallpaper() noexcept;
    // The one way every result and failure reaches the user.
    void showNotification(const std::wstring& message, HRESULT code) noexcept;

    // Read-only views, for the tests and the benchmarks. The wallpaper engine and the video
    // lifecycle exist once the settings are loaded.
    [[nodiscard]] HWND controlWindow() const noexcept { return controlWindow_.get(); }
    [[nodiscard]] const Settings& settings() const noexcept { return settings_; }
    [[nodiscard]] const WallpaperEngine& wallpaper() const noexcept { return *engine_; }
    [[nodiscard]] const VideoLifecycle& video() const noexcept { return *video_; }
    [[nodiscard]] const Widget& widget() const noexcept { return widget_; }
    [[nodiscard]] const TrayIcon& trayIcon() const noexcept { return trayIcon_; }
    [[nodiscard]] const StartupShortcut& startup() const noexcept { return startup_; }
    [[nodiscard]] bool highContrast() const noexcept { return highContrast_; }
    [[nodiscard]] bool filesPending() const noexcept { return pendingDroppedFiles_.has_value(); }

private:
    [[nodiscard]] const wchar_t* text(const LocalizedText& entry) const noexcept
    {
        return pick(entry, settings_.language());
    }

    // The control window (app/control_window.cpp)
    void onTimer(UINT_PTR id) noexcept;
    void onTrayEvent(UINT event, WPARAM anchor) noexcept;
    void takeDroppedFiles() noexcept;
    void triggerRelayout() noexcept;
    void relayoutAfterDisplayChange() noexcept;
    void relayoutWhatIsMissing() noexcept;
    // The widget or the video still waits for the shell's desktop windows.
    [[nodiscard]] bool shellWindowsMissing() const noexcept;
    void refreshHighContrast() noexcept;
    void migrateStartupShortcutAtStart() noexcept;
    // Arms or kills the slideshow and video timers to match the engine and the video, and hooks
    // or unhooks the window events that a shown video follows. A restart arms the slideshow
    // timer again even at the same period, so the next picture is a full interval away.
    void updateTimers(bool restartSlideshow = false) noexcept;

    // Pausing the video for the system and the windows (app/system_pauses.cpp)
    void registerSystemNotifications() noexcept;
    void unregisterSystemNotifications() noexcept;
    void onSessionChange(WPARAM event) noexcept;
    void onPowerBroadcast(WPARAM event, LPARAM data) noexcept;
    void followVideoWindows() noexcept;
    void forgetVideoWindows() noexcept;
    void onWindowsChanged() noexcept;

    // Commands and the menu (app/commands.cpp)
    void showContextMenu(POINT point) noexcept;
    void toggleStartWithWindows() noexcept;
    void switchLanguage(std::uint32_t language) noexcept;
    void changeWidgetSize(std::int32_t size) noexcept;
    void moveWidgetToCorner() noexcept;
    void chooseDisplay(const std::wstring& monitorId) noexcept;
    void chooseWallpaper() noexcept;
    [[nodiscard]] std::vector<std::wstring> askForFiles(bool forDefault) noexcept;
    // A settings write that failed is told once, as every failure is.
    void reportSettingsResult(HRESULT code) noexcept;

    // Commands from the command line of another copy (app/remote_commands.cpp)
    LRESULT onCommandMessage(HWND sender, const COPYDATASTRUCT* data) noexcept;
    void runCommand(const CommandRequest& request) noexcept;
    void runSetCommand(const CommandRequest& request) noexcept;
    // The answer to the command in progress, once; with refuse, the command fails with text.
    void finishCommand(int exitCode, const std::wstring& text) noexcept;
    void refuseCommand(const LocalizedText& message) noexcept;
    // A command whose work is done (nothing opens or is checked any more) has succeeded.
    void settleCommand() noexcept;
    [[nodiscard]] std::wstring statusJson() const;

    // The widget (app/widget_bridge.cpp)
    void createWidget() noexcept;
    void layoutWidget() noexcept;
    void showStateTooltip(WallpaperMode mode) noexcept;
    // What the widget tells while nothing else is to be said: pictures or a video opening, or the state.
    void showStatusTooltip() noexcept;

    // WallpaperEvents
    void wallpaperNotify(const LocalizedText& text, HRESULT code, std::wstring_view suffix) noexcept override;
    void wallpaperShown(WallpaperMode mode) noexcept override;
    void slideshowTimerChanged(bool restart) noexcept override;
    void fileListChecking(bool checking) noexcept override;
    [[nodiscard]] HRESULT openVideo(const WallpaperState& state, bool restoring,
                                    std::optional<COLORREF> background) noexcept override;
    void cancelVideoOpening() noexcept override;
    [[nodiscard]] bool videoOpening() const noexcept override;
    [[nodiscard]] bool videoShown() const noexcept override;
    [[nodiscard]] double videoPosition() const noexcept override;
    [[nodiscard]] HRESULT redrawVideo(FitMode fit, std::optional<COLORREF> background) noexcept override;
    void showCommittedVideo(bool ready, COLORREF background) noexcept override;

    // VideoEvents
    [[nodiscard]] HRESULT videoReady(const WallpaperState& state, bool restoring) noexcept override;
    [[nodiscard]] HRESULT videoStopped(const std::wstring& framePath) noexcept override;
    [[nodiscard]] HRESULT videoFrameChosen(const std::wstring& framePath) noexcept override;
    void videoWindowsCreated() noexcept override;
    void videoWindowsLost() noexcept override;
    void videoTimerChanged() noexcept override;
    void videoNotify(const LocalizedText& text, HRESULT code) noexcept override;

    // WidgetEvents
    void widgetFilesDropped(std::vector<std::wstring> paths) noexcept override;
    void widgetRestoreDefault() noexcept override;
    void widgetOpenMenu(POINT point) noexcept override;
    void widgetMoved(POINT position) noexcept override;
    void widgetResized(int size) noexcept override;
    void widgetSystemColoursChanged() noexcept override;
    void widgetDpiChanged() noexcept override;

    // Declared in the reverse of the order in which they are released.
    HINSTANCE instance_ = nullptr;
    ApplicationSeams seams_;
    SystemServices& system_;

    // COM objects, released after everything that uses them. The desktop-wallpaper object is a
    // ReconnectingDesktopWallpaper in front of the shell's: it outlives an Explorer restart.
    Microsoft::WRL::ComPtr<IDesktopWallpaper> desktopWallpaper_;
    Microsoft::WRL::ComPtr<IWICImagingFactory> imagingFactory_;

    Settings settings_;
    StartupShortcut startup_;
    // Goes after the engine, whose checks it runs.
    ThreadFileCheckRunner fileCheckThreads_;
    // The window a finished check wakes; read on the checking threads.
    std::atomic<HWND> fileCheckWindow_{nullptr};
    std::optional<WallpaperEngine> engine_;
    // Goes before the engine, the settings and the COM objects it uses.
    std::optional<VideoLifecycle> video_;

    // The reply window of the command in progress; null when none waits.
    HWND commandReplyWindow_ = nullptr;

    // Files handed over by the drop target, applied once the control window gets to them.
    std::optional<std::vector<std::wstring>> pendingDroppedFiles_;

    WindowClass<Application> controlClass_;
    UniqueWindow controlWindow_;
    UniqueWinEventHook foregroundHook_;
    std::array<UniqueWinEventHook, kCoverHookCount> coverHooks_;
    bool coverHooksInstalled_ = false;
    bool sessionRegistered_ = false;
    std::array<HPOWERNOTIFY, kFollowedPowerSettingCount> powerRegistrations_{};
    std::uint64_t relayoutDeadline_ = 0;
    // A display, theme or taskbar event asks for a whole relayout at the next relayout timer.
    bool relayoutDue_ = false;
    bool highContrast_ = false;
    UINT armedSlideshowPeriod_ = 0; // 0: timer 1 is off
    UINT armedVideoPeriod_ = 0;     // 0: timer 2 is off

    // Goes before the control window that owns its tooltip.
    Widget widget_{*this};
    // Goes before the control window it is attached to.
    TrayIcon trayIcon_;
};

// The start failure message, with the code as eight upper-case hexadecimal digits.
std::wstring startFailureMessage(std::uint32_t language, HRESULT hr);

// Runs the whole process: single instance, start, message loop, shutdown. Returns the exit code.
int runPeltorine(HINSTANCE instance) noexcept;
