#pragma once
// The wallpaper engine in-process, for tests of commits, undo and the slideshow:
//
//     PictureFolder pictures;
//     const std::wstring a = pictures.png(L"a.png");
//     WallpaperWorld world;
//     world.fake->addDisplay(kDisplay1, {0, 0, 1920, 1080}, L"C:\\old.jpg");
//     world.app.applyFileList({a});
//     EXPECT_EQ(a, world.fake->wallpaperOf(kDisplay1));
//
// A world is an Application wired to a FakeDesktopWallpaper (no displays yet), a
// RecordingSystem, a real WIC factory and a settings file of its own (FF FE, no keys).
// Several worlds can share one PictureFolder, so that their desktops can be compared.

#include <windows.h>
#include <objbase.h>
#include <wincodec.h>
#include <wrl/client.h>

#include <iosfwd>
#include <optional>
#include <string>
#include <vector>

#include "app/application.h"
#include "platform/unique_handle.h"
#include "tests/support/fake_desktop_wallpaper.h"
#include "tests/support/recording_system.h"
#include "tests/support/temp_folder.h"

inline constexpr const wchar_t* kDisplay1 =
    L"\\\\?\\DISPLAY#PEL0001#1&aa&0&UID1#{e6f07b5f-ee97-4a90-b076-33f57bf4eaa7}";
inline constexpr const wchar_t* kDisplay2 =
    L"\\\\?\\DISPLAY#PEL0002#1&bb&0&UID2#{e6f07b5f-ee97-4a90-b076-33f57bf4eaa7}";
inline constexpr RECT kRect1{0, 0, 1920, 1080};
inline constexpr RECT kRect2{1920, 0, 3200, 1024};

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

class WallpaperWorld {
public:
    WallpaperWorld();
    WallpaperWorld(const WallpaperWorld&) = delete;
    WallpaperWorld& operator=(const WallpaperWorld&) = delete;

    // The value of a key in the settings file; nullopt when the key is missing.
    std::optional<std::wstring> setting(const wchar_t* key) const;
    std::string settingsBytes() const { return readFileBytes(settingsFile); }
    // Debugger lines written since the world was made (one per notification).
    const std::vector<std::wstring>& notifications() const { return system.debugLines; }

    OleScope ole;
    TempFolder folder;
    std::wstring settingsFile;
    RecordingSystem system;
    Microsoft::WRL::ComPtr<FakeDesktopWallpaper> fake = FakeDesktopWallpaper::create();
    Application app{GetModuleHandleW(nullptr), system};
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
    std::optional<UINT> slideshowTimer; // period of timer 1 while armed

    bool operator==(const WorldImage&) const = default;
};
WorldImage imageOf(const WallpaperWorld& world);
void PrintTo(const WorldImage& image, std::ostream* out);
