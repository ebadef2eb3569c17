#include "tests/support/windowed_world.h"

#include <objbase.h>
#include <wincodec.h>

WindowedWorld::WindowedWorld()
{
    started = ole.result();
    if (FAILED(started))
        return;
    fake->addDisplay(L"\\\\?\\DISPLAY#1", {0, 0, 1920, 1080}, L"C:\\old.jpg");
    app.desktopWallpaper = fake;
    app.chooseFilesFunction = [](HWND, bool, std::uint32_t) { return std::vector<std::wstring>{}; };
    app.startup.folderOverride = startupFolder.path();
    started =
        CoCreateInstance(CLSID_WICImagingFactory2, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&app.imagingFactory));
    if (SUCCEEDED(started))
        started = app.loadSettingsFrom(folder.path());
    if (SUCCEEDED(started))
        started = app.initializeWindows();
    system.timerEvents.clear();
}

WindowedWorld::~WindowedWorld()
{
    app.shutdown();
    // The Application's COM objects go before OLE does.
    app.desktopWallpaper.Reset();
    app.imagingFactory.Reset();
}
