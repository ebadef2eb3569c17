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

#include "app/system_services.h"
#include "tray/strings.h"
#include "wallpaper/file_picker.h"
#include "wallpaper/wallpaper_state.h"

// Private messages of the control window.
inline constexpr UINT TrayCallbackMessage = 0x8001;
inline constexpr UINT FilesDroppedMessage = 0x8002;
inline constexpr UINT WidgetDpiChangedMessage = 0x8003;
inline constexpr UINT ForegroundChangedMessage = 0x8004;

// Timers of the control window.
inline constexpr UINT_PTR SlideshowTimer = 1;
inline constexpr UINT_PTR VideoTimer = 2;
inline constexpr UINT_PTR RelayoutTimer = 3;
inline constexpr UINT_PTR ErrorFlashTimer = 4;

inline constexpr UINT kRelayoutDelayMs = 400;
inline constexpr std::uint64_t kRelayoutRetryMs = 8000;
inline constexpr UINT kErrorFlashMs = 2200;

inline constexpr UINT kTrayIconId = 1;

inline constexpr const wchar_t* kControlWindowClass = L"Peltorine.Control";
inline constexpr const wchar_t* kWidgetWindowClass = L"Peltorine.Widget";
inline constexpr const wchar_t* kSingleInstanceMutex = L"Local\\Peltorine.Desktop.Widget";

// The one object that owns all state of the process. Members are grouped by the subsystem
// that owns them and declared so that the destructor releases them in the right order:
// the last declared goes first.
class Application {
public:
    explicit Application(HINSTANCE instance, SystemServices& system = SystemServices::standard()) noexcept;
    ~Application();
    Application(const Application&) = delete;
    Application& operator=(const Application&) = delete;

    // Lifecycle and control window (app/)
    [[nodiscard]] HRESULT createComObjects() noexcept;
    [[nodiscard]] HRESULT initializeWindows() noexcept;
    void shutdown() noexcept;
    static LRESULT CALLBACK controlWindowThunk(HWND window, UINT message, WPARAM wParam, LPARAM lParam) noexcept;
    LRESULT controlWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) noexcept;
    void triggerRelayout() noexcept;
    void relayoutAfterDisplayChange() noexcept;
    void refreshHighContrast() noexcept;
    void onTrayEvent(UINT event) noexcept;
    void onTimer(UINT_PTR id) noexcept;
    void takeDroppedFiles() noexcept;

    // Strings (tray/)
    [[nodiscard]] const wchar_t* text(const LocalizedText& entry) const noexcept { return pick(entry, language); }
    [[nodiscard]] const wchar_t* fitName(FitMode fit) const noexcept;

    // Settings (settings/)
    [[nodiscard]] HRESULT loadSettings() noexcept;
    [[nodiscard]] HRESULT loadSettingsFrom(const std::wstring& localAppData) noexcept;
    bool writeSetting(const wchar_t* key, const std::wstring& value) noexcept;

    // Wallpaper state, undo and slideshow (wallpaper/)
    [[nodiscard]] HRESULT captureUndoEntry(UndoEntry& entry) noexcept;
    std::int32_t commitState(WallpaperState state, bool restoring) noexcept;
    void switchToState(WallpaperState state, bool restoring) noexcept;
    void setFit(FitMode fit) noexcept;
    void undoLastChange() noexcept;
    void restoreDefaultWallpaper() noexcept;
    void cancelPendingVideo() noexcept;
    void applyFileList(std::vector<std::wstring> paths) noexcept;
    void advanceSlideshow() noexcept;
    [[nodiscard]] std::wstring displayForNextChange() const;

    // Video lifecycle (video/): playback is not built yet
    [[nodiscard]] HRESULT openVideo(const WallpaperState& state, bool restoring) noexcept;
    void updateVideoTimer() noexcept;
    void videoTick() noexcept;
    void relayoutVideo() noexcept;

    // Widget (widget/)
    static LRESULT CALLBACK widgetWindowThunk(HWND window, UINT message, WPARAM wParam, LPARAM lParam) noexcept;
    void createWidget() noexcept;
    void layoutWidget() noexcept;
    void updateWidgetZOrder(bool raise) noexcept;
    void setWidgetTooltip(const std::wstring& text) noexcept;
    void showStateTooltip(WallpaperMode mode) noexcept;
    void redrawWidget() noexcept;
    void invalidateWidgetFace() noexcept;
    void cancelWidgetGesture() noexcept;
    void destroyWidget() noexcept;

    // Tray icon, notifications and menu (tray/)
    void addTrayIcon() noexcept;
    void removeTrayIcon() noexcept;
    void showNotification(const std::wstring& text, HRESULT code) noexcept;
    void showContextMenu(POINT point) noexcept;

    // Start with Windows (platform/)
    [[nodiscard]] HRESULT checkStartupShortcut(std::wstring& path, bool& exists) noexcept;
    [[nodiscard]] HRESULT migrateStartupShortcut(const std::wstring& path, bool exists) noexcept;
    [[nodiscard]] HRESULT setStartWithWindows(const std::wstring& path, bool enable) noexcept;
    void migrateStartupShortcutAtStart() noexcept;

    // Commands chosen in the context menu (app/)
    void executeCommand(UINT command, const std::vector<DisplayWallpaper>& displays) noexcept;

    // Default wallpaper store (settings/)
    void chooseDefaultWallpaper() noexcept;
    [[nodiscard]] std::wstring newDataFilePath() const;

    // Frame capture (video/)
    void useCurrentFrame() noexcept;

    // --- State. Declared in the reverse of the order in which it is released. ---

    // Process (app/)
    HINSTANCE instance = nullptr;
    SystemServices* system = nullptr;

    // COM objects, released after everything that uses them (app/)
    Microsoft::WRL::ComPtr<IDesktopWallpaper> desktopWallpaper;
    Microsoft::WRL::ComPtr<IWICImagingFactory> imagingFactory;

    // Settings, read once at start (settings/)
    std::uint32_t language = kEnglish;
    std::wstring dataFolder;
    std::wstring settingsPath;
    std::wstring defaultWallpaperPath;
    // The file dialog behind "Choose wallpaper…" and the default-wallpaper choice; tests put a
    // scripted one here.
    std::function<std::vector<std::wstring>(HWND, bool, std::uint32_t)> chooseFilesFunction = chooseFiles;
    std::int32_t slideshowInterval = 10;
    FitMode fitMode = kDefaultFit;
    std::wstring targetMonitor;
    std::int32_t widgetSize = 64;
    POINT widgetPosition{0, 0};
    bool widgetPositionSet = false;

    // Wallpaper state and its one level of undo (wallpaper/)
    WallpaperState currentState;
    std::optional<UndoEntry> undoEntry;

    // Files handed over by the drop target (wallpaper/)
    std::optional<std::vector<std::wstring>> pendingDroppedFiles;

    // Control window, hook and relayout (app/)
    HWND controlWindow = nullptr;
    HWINEVENTHOOK foregroundHook = nullptr;
    UINT taskbarCreatedMessage = 0;
    std::uint64_t relayoutDeadline = 0;
    bool highContrast = false;

    // Widget (widget/)
    HWND widgetWindow = nullptr;
    std::int32_t widgetDragMode = 0;
    bool widgetClickArmed = false;
    std::wstring widgetTooltipText;

    // Start with Windows (platform/): the folder that holds the shortcut; empty means the
    // user's Startup folder. Tests point it at a folder of their own.
    std::wstring startupFolderOverride;

    // Tray icon and notifications (tray/)
    HICON trayIcon = nullptr;
    bool trayIconAdded = false;
    bool widgetErrorFlash = false;
};

// The control window the foreground hook posts to; the hook callback has no context pointer.
extern thread_local HWND hookTargetWindow;

// The start failure message, with the code as eight upper-case hexadecimal digits.
std::wstring startFailureMessage(std::uint32_t language, HRESULT hr);

// Runs the whole process: single instance, start, message loop, shutdown. Returns the exit code.
int runPeltorine(HINSTANCE instance) noexcept;
