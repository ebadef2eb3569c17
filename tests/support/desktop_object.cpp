#include "tests/support/desktop_object.h"

#include <windows.h>
#include <objbase.h>
#include <shobjidl.h>
#include <wrl/client.h>

#include "platform/unique_handle.h"

std::vector<std::wstring> wallpapersOfEveryDisplay()
{
    std::vector<std::wstring> paths;
    Microsoft::WRL::ComPtr<IDesktopWallpaper> desktop;
    if (FAILED(CoCreateInstance(CLSID_DesktopWallpaper, nullptr, CLSCTX_ALL, IID_PPV_ARGS(&desktop))))
        return paths;
    UINT count = 0;
    desktop->GetMonitorDevicePathCount(&count);
    for (UINT i = 0; i < count; ++i) {
        UniqueTaskString id;
        UniqueTaskString path;
        if (SUCCEEDED(desktop->GetMonitorDevicePathAt(i, id.put())) &&
            SUCCEEDED(desktop->GetWallpaper(id.get(), path.put())))
            paths.push_back(path.get());
    }
    return paths;
}
