#pragma once
// The wallpaper engine in-process, for tests of commits, undo and the slideshow:
//
//     PictureFolder pictures;
//     const std::wstring a = pictures.png(L"a.png");
//     WallpaperWorld world;
//     world.fake->addDisplay(kDisplay1, {0, 0, 1920, 1080}, L"C:\\old.jpg");
//     world.engine.applyFileList({a});
//     EXPECT_EQ(a, world.fake->wallpaperOf(kDisplay1));
//
// Several worlds can share one PictureFolder, so that their desktops can be compared.

#include <windows.h>
#include <objbase.h>
#include <wincodec.h>
#include <wrl/client.h>

#include <functional>
#include <iosfwd>
#include <utility>
#include <optional>
#include <string>
#include <vector>

#include "settings/settings.h"
#include "wallpaper/wallpaper_engine.h"
#include "platform/unique_handle.h"
#include "tests/support/fake_desktop_wallpaper.h"
#include "tests/support/temp_folder.h"

inline constexpr const wchar_t* kDisplay1 =
    L"\\\\?\\DISPLAY#PEL0001#1&aa&0&UID1#{e6f07b5f-ee97-4a90-b076-33f57bf4eaa7}";
inline constexpr const wchar_t* kDisplay2 =
    L"\\\\?\\DISPLAY#PEL0002#1&bb&0&UID2#{e6f07b5f-ee97-4a90-b076-33f57bf4eaa7}";
inline constexpr RECT kRect1{0, 0, 1920, 1080};
inline constexpr RECT kRect2{1920, 0, 3200, 1024};

// A new WIC imaging factory; throws when there is none.
Microsoft::WRL::ComPtr<IWICImagingFactory> createImagingFactory();

// Real small pictures, encoded with WIC, in a temporary folder.
class PictureFolder {
public:
    PictureFolder();
    // A 4x4 picture of one colour; the content is PNG or JPEG whatever the name says.
    std::wstring png(const std::wstring& name, COLORREF color = RGB(40, 120, 200));
    std::wstring jpeg(const std::wstring& name, COLORREF color = RGB(200, 80, 40));
    // A file whose content is no picture at all.
    std::wstring garbage(const std::wstring& name);
    const std::wstring& path() const { return folder_.path(); }

private:
    std::wstring write(const std::wstring& name, const GUID& container, COLORREF color);

    OleScope ole_;
    TempFolder folder_;
    Microsoft::WRL::ComPtr<IWICImagingFactory> factory_;
};

// The program around the engine, as the engine sees it: every report is recorded, and the video
// side is a stand-in with no video unless a test says otherwise.
class RecordingWallpaperEvents : public WallpaperEvents {
public:
    // One line per notification, as the user's debugger shows it (in English).
    std::vector<std::wstring> notifications;
    std::vector<WallpaperMode> shownModes;
    // fileListChecking calls: true when pictures began to be opened, false when that ended.
    std::vector<bool> checkingChanges;
    int slideshowTimerChanges = 0;
    int slideshowTimerRestarts = 0;

    // The video side.
    struct OpenRequest {
        WallpaperState state;
        bool restoring = false;
        std::optional<COLORREF> background;
    };
    std::vector<OpenRequest> openRequests;
    HRESULT openResult = S_OK;
    bool opening = false;
    bool shown = false;
    double position = 0.0;
    HRESULT redrawResult = S_OK;
    std::vector<std::pair<FitMode, std::optional<COLORREF>>> redraws;
    // showCommittedVideo calls: whether a ready video was handed over, and its colour.
    std::vector<std::pair<bool, COLORREF>> committedVideos;

    void wallpaperNotify(const LocalizedText& text, HRESULT code, std::wstring_view suffix) noexcept override;
    void wallpaperShown(WallpaperMode mode) noexcept override { shownModes.push_back(mode); }
    void slideshowTimerChanged(bool restart) noexcept override
    {
        ++slideshowTimerChanges;
        slideshowTimerRestarts += restart ? 1 : 0;
    }
    void fileListChecking(bool checking) noexcept override { checkingChanges.push_back(checking); }
    HRESULT openVideo(const WallpaperState& state, bool restoring,
                      std::optional<COLORREF> background) noexcept override;
    void cancelVideoOpening() noexcept override { opening = false; }
    bool videoOpening() const noexcept override { return opening; }
    bool videoShown() const noexcept override { return shown; }
    double videoPosition() const noexcept override { return position; }
    HRESULT redrawVideo(FitMode fit, std::optional<COLORREF> background) noexcept override;
    void showCommittedVideo(bool ready, COLORREF background) noexcept override;
};

// A world is a WallpaperEngine over a FakeDesktopWallpaper (no displays yet), a real WIC factory,
// a settings file of its own (FF FE, no keys, as the first start leaves it) and recorded events.
// Lists of pictures are checked at once unless the world is given a runner for them.
class WallpaperWorld {
public:
    explicit WallpaperWorld(FileCheckRunner* fileChecks = nullptr, std::function<void()> fileCheckFinished = {});
    WallpaperWorld(const WallpaperWorld&) = delete;
    WallpaperWorld& operator=(const WallpaperWorld&) = delete;

    // The value of a key in the settings file; nullopt when the key is missing.
    std::optional<std::wstring> setting(const wchar_t* key) const;
    std::string settingsBytes() const { return readFileBytes(settingsFile); }
    // Notification lines since the world was made.
    const std::vector<std::wstring>& notifications() const { return events.notifications; }
    const WallpaperState& state() const { return engine.currentState(); }

    OleScope ole;
    TempFolder folder;
    std::wstring settingsFile;
    Microsoft::WRL::ComPtr<FakeDesktopWallpaper> fake = FakeDesktopWallpaper::create();
    Microsoft::WRL::ComPtr<IWICImagingFactory> imaging = createImagingFactory();
    Settings settings;
    RecordingWallpaperEvents events;
    WallpaperEngine engine;
};

// The notification line for a text and a code, as the user's debugger shows it.
std::wstring notificationLine(const std::wstring& text, HRESULT code);

// Text forms of the engine's records, for comparisons with readable failure messages.
std::wstring describe(const WallpaperState& state);
std::wstring describe(const std::optional<UndoEntry>& entry);

// Everything about a world that a wallpaper change may alter.
struct WorldImage {
    FakeDesktopState desktop;
    std::wstring state;
    std::wstring undo;
    std::string settings;
    FitMode fitMode = kDefaultFit;
    std::int32_t slideshowInterval = 0;
    std::optional<UINT> slideshowTimer; // the slideshow's period while it runs

    bool operator==(const WorldImage&) const = default;
};
WorldImage imageOf(const WallpaperWorld& world);
void PrintTo(const WorldImage& image, std::ostream* out);
