#pragma once
// An Application started as the program starts it, with its control window, tray icon and
// timers, for tests that send it messages:
//
//     WindowedWorld world;
//     ASSERT_EQ(S_OK, world.started);
//     SendMessageW(world.app.controlWindow.get(), WM_DISPLAYCHANGE, 0, 0);
//
// OLE for the thread, a FakeDesktopWallpaper with one 1920x1080 display showing C:\old.jpg,
// a real WIC factory, a RecordingSystem (no timer runs by itself; cleared after the start),
// settings in a temporary folder, a Startup folder of its own and a file dialog that is
// cancelled. The destructor shuts the Application down.
#include <windows.h>
#include <wrl/client.h>

#include "app/application.h"
#include "platform/unique_handle.h"
#include "tests/support/fake_desktop_wallpaper.h"
#include "tests/support/recording_system.h"
#include "tests/support/temp_folder.h"

class WindowedWorld {
public:
    WindowedWorld();
    ~WindowedWorld();
    WindowedWorld(const WindowedWorld&) = delete;
    WindowedWorld& operator=(const WindowedWorld&) = delete;

    OleScope ole;
    TempFolder folder;
    TempFolder startupFolder;
    RecordingSystem system;
    Microsoft::WRL::ComPtr<FakeDesktopWallpaper> fake = FakeDesktopWallpaper::create();
    Application app{GetModuleHandleW(nullptr), system};
    // S_OK when every step of the start succeeded, else the first failure.
    HRESULT started = E_PENDING;
};
