// Entry points of peltorine_devdesktop_wallpaper.dll, the in-process server of
// CLSID_DesktopWallpaper on the development desktop.
#include "platform/com_object.h"
#include "platform/unique_handle.h"
#include "tools/desktop/run_desktop.h"
#include "tools/desktop_wallpaper/desktop_wallpaper_object.h"
#include "tools/desktop_wallpaper/registration.h"

#include <olectl.h>

#include <new>
#include <string>

namespace {

HMODULE thisModule() noexcept
{
    HMODULE module = nullptr;
    GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                       reinterpret_cast<LPCWSTR>(&thisModule), &module);
    return module;
}

// A new class object for each request; like the objects it makes, it keeps the module loaded
// while it lives, and LockServer adds server locks.
class WallpaperFactory final : public ComObject<IClassFactory> {
public:
    WallpaperFactory() noexcept { moduleAddReference(); }

    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID iid, void** object) noexcept override
    {
        if (!object)
            return E_POINTER;
        *object = nullptr;
        if (outer)
            return CLASS_E_NOAGGREGATION;
        return createDevDesktopWallpaper(iid, object);
    }
    HRESULT STDMETHODCALLTYPE LockServer(BOOL lock) noexcept override
    {
        if (lock)
            moduleAddReference();
        else
            moduleReleaseReference();
        return S_OK;
    }

private:
    ~WallpaperFactory() override { moduleReleaseReference(); }
};

} // namespace

STDAPI DllGetClassObject(REFCLSID clsid, REFIID iid, LPVOID* object)
{
    if (!object)
        return E_POINTER;
    *object = nullptr;
    if (clsid != CLSID_DesktopWallpaper)
        return CLASS_E_CLASSNOTAVAILABLE;
    startInProcessDesktopIfAsked(thisModule());
    const auto factory = adoptReference(new (std::nothrow) WallpaperFactory());
    if (!factory)
        return E_OUTOFMEMORY;
    return factory->QueryInterface(iid, object);
}

STDAPI DllCanUnloadNow()
{
    return moduleInUse() ? S_FALSE : S_OK;
}

STDAPI DllRegisterServer()
{
    wchar_t path[MAX_PATH * 4] = {};
    const DWORD length = GetModuleFileNameW(thisModule(), path, MAX_PATH * 4);
    if (length == 0 || length >= MAX_PATH * 4)
        return SELFREG_E_CLASS;
    return FAILED(registerDevDesktopWallpaper(path)) ? SELFREG_E_CLASS : S_OK;
}

STDAPI DllUnregisterServer()
{
    return FAILED(unregisterDevDesktopWallpaper()) ? SELFREG_E_CLASS : S_OK;
}
