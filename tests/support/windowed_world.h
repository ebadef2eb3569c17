#pragma once
// An Application started as the program starts it, with its control window, tray icon and
// timers, for tests that send it messages:
//
//     WindowedWorld world;
//     ASSERT_EQ(S_OK, world.started);
//     SendMessageW(world.app.controlWindow(), WM_DISPLAYCHANGE, 0, 0);
//
// OLE for the thread, a FakeDesktopWallpaper with one 1920x1080 display showing C:\old.jpg,
// a real WIC factory, a RecordingSystem (no timer runs by itself; cleared after the start),
// settings in a temporary folder, a Startup folder of its own and a file dialog that is
// cancelled unless the test sets chooseFiles. A world made with start false is only
// constructed: the test adds displays or settings and calls start() itself. The destructor
// shuts the Application down.
#include <windows.h>
#include <wrl/client.h>

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "app/application.h"
#include "platform/unique_handle.h"
#include "tests/support/fake_desktop_wallpaper.h"
#include "tests/support/recording_system.h"
#include "tests/support/temp_folder.h"

class WindowedWorld {
public:
    // resources: the module whose resources hold the menu's banner (null: the test program's).
    explicit WindowedWorld(bool start = true, HINSTANCE resources = nullptr);
    ~WindowedWorld();
    WindowedWorld(const WindowedWorld&) = delete;
    WindowedWorld& operator=(const WindowedWorld&) = delete;

    // The start: COM objects, settings from folder, then the windows unless withWindows is false.
    HRESULT start(bool withWindows = true);
    // The settings file the Application uses (folder\Peltorine\settings.ini).
    std::wstring settingsFile() const { return folder / L"Peltorine\\settings.ini"; }
    // The value of a key in the settings file; nullopt when the key is missing.
    std::optional<std::wstring> setting(const wchar_t* key) const;
    // Delivers a timer of the control window, as the system would.
    void fireTimer(UINT_PTR id);

    OleScope ole;
    TempFolder folder;
    TempFolder startupFolder;
    RecordingSystem system;
    Microsoft::WRL::ComPtr<FakeDesktopWallpaper> fake = FakeDesktopWallpaper::create();
    // What the file dialog answers: the owner, the one-picture form for the default, the language.
    std::function<std::vector<std::wstring>(HWND, bool, std::uint32_t)> chooseFiles;
    // The video windows' host; empty: the desktop's.
    VideoHostLookup findVideoHost;
    // How videos are opened; empty: on the real Media Engine.
    VideoOpener openVideo;
    // Where the Application checks lists of pictures: at once on the test's thread, unless a test
    // hands in another runner (threads, or one that holds the checks until the test runs them).
    FileCheckRunner* fileChecks = nullptr;
    // What the Application is given: fileChecks, or at once.
    class FileChecks final : public FileCheckRunner {
    public:
        explicit FileChecks(WindowedWorld& world) : world_(world) {}
        HRESULT run(FileCheckJob job) noexcept override;
        void shutdown() noexcept override;

    private:
        WindowedWorld& world_;
        InlineFileCheckRunner inline_;
    };
    FileChecks fileCheckSeam{*this};
    Application app;
    // S_OK when every step of the start succeeded, else the first failure.
    HRESULT started = E_PENDING;
};
