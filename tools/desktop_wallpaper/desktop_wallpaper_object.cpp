#include "tools/desktop_wallpaper/desktop_wallpaper_object.h"

#include "platform/com_object.h"
#include "platform/unique_handle.h"
#include "platform/win32_error.h"
#include "tools/desktop_wallpaper/devdesktop_displays.h"
#include "tools/desktop_wallpaper/devdesktop_state.h"

#include <shlobj.h>
#include <wrl/client.h>

#include <atomic>
#include <cstring>
#include <new>
#include <string>
#include <vector>

using Microsoft::WRL::ComPtr;

namespace {

std::atomic<long> moduleReferences{0};

HRESULT taskString(const std::wstring& text, LPWSTR* result) noexcept
{
    const size_t bytes = (text.size() + 1) * sizeof(wchar_t);
    auto* copy = static_cast<wchar_t*>(CoTaskMemAlloc(bytes));
    if (!copy)
        return E_OUTOFMEMORY;
    std::memcpy(copy, text.c_str(), bytes);
    *result = copy;
    return S_OK;
}

std::wstring parentFolderOf(const std::wstring& path)
{
    const size_t slash = path.find_last_of(L"\\/");
    return slash == std::wstring::npos ? std::wstring() : path.substr(0, slash);
}

HRESULT slideshowPathsOf(IShellItemArray* items, std::vector<std::wstring>& paths)
{
    DWORD count = 0;
    if (const HRESULT hr = items->GetCount(&count); FAILED(hr))
        return hr;
    if (count == 0)
        return E_INVALIDARG;
    for (DWORD i = 0; i < count; ++i) {
        ComPtr<IShellItem> item;
        if (const HRESULT hr = items->GetItemAt(i, &item); FAILED(hr))
            return hr;
        PWSTR path = nullptr;
        if (const HRESULT hr = item->GetDisplayName(SIGDN_FILESYSPATH, &path); FAILED(hr))
            return hr;
        paths.emplace_back(path);
        CoTaskMemFree(path);
    }
    // One folder, or files that all live in the same folder.
    const DWORD attributes = GetFileAttributesW(paths.front().c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES)
        return lastErrorResult();
    if (paths.size() == 1)
        return S_OK;
    const std::wstring folder = parentFolderOf(paths.front());
    for (const std::wstring& path : paths) {
        const DWORD itemAttributes = GetFileAttributesW(path.c_str());
        if (itemAttributes == INVALID_FILE_ATTRIBUTES)
            return lastErrorResult();
        if ((itemAttributes & FILE_ATTRIBUTE_DIRECTORY) || _wcsicmp(parentFolderOf(path).c_str(), folder.c_str()) != 0)
            return E_INVALIDARG;
    }
    return S_OK;
}

HRESULT shellItemArrayOf(const std::vector<std::wstring>& paths, IShellItemArray** items)
{
    std::vector<PIDLIST_ABSOLUTE> lists;
    HRESULT hr = S_OK;
    for (const std::wstring& path : paths) {
        PIDLIST_ABSOLUTE list = nullptr;
        hr = SHParseDisplayName(path.c_str(), nullptr, &list, 0, nullptr);
        if (FAILED(hr))
            break;
        lists.push_back(list);
    }
    if (SUCCEEDED(hr)) {
        std::vector<PCIDLIST_ABSOLUTE> constLists(lists.begin(), lists.end());
        hr = SHCreateShellItemArrayFromIDLists(static_cast<UINT>(constLists.size()), constLists.data(), items);
    }
    for (PIDLIST_ABSOLUTE list : lists)
        CoTaskMemFree(list);
    return hr;
}

class DevDesktopWallpaper final : public ComObject<IDesktopWallpaper> {
public:
    DevDesktopWallpaper() noexcept { moduleAddReference(); }

    // IDesktopWallpaper
    HRESULT STDMETHODCALLTYPE SetWallpaper(LPCWSTR monitorId, LPCWSTR wallpaper) noexcept override
    {
        if (!wallpaper)
            return E_POINTER;
        if (*wallpaper) {
            const DWORD attributes = GetFileAttributesW(wallpaper);
            if (attributes == INVALID_FILE_ATTRIBUTES)
                return lastErrorResult();
            if (attributes & FILE_ATTRIBUTE_DIRECTORY)
                return E_INVALIDARG;
        }
        return updateDevDesktopState([&](DevDesktopState& state) {
            const std::vector<ListedDisplay> displays = listedDisplays(state);
            if (monitorId && !findDisplay(displays, monitorId))
                return E_INVALIDARG;
            for (const ListedDisplay& display : displays)
                if (!monitorId || display.id == monitorId)
                    state.setWallpaperOf(display.id, wallpaper);
            state.slideshowItems.clear();
            state.slideshowIndex = 0;
            if (*wallpaper)
                state.enabled = true;
            return S_OK;
        });
    }

    HRESULT STDMETHODCALLTYPE GetWallpaper(LPCWSTR monitorId, LPWSTR* wallpaper) noexcept override
    {
        if (!wallpaper)
            return E_POINTER;
        *wallpaper = nullptr;
        try {
            DevDesktopState state;
            if (const HRESULT hr = readDevDesktopState(state); FAILED(hr))
                return hr;
            const std::vector<ListedDisplay> displays = listedDisplays(state);
            if (monitorId) {
                if (!findDisplay(displays, monitorId))
                    return E_INVALIDARG;
                const std::wstring* path = state.wallpaperOf(monitorId);
                return taskString(path ? *path : std::wstring(), wallpaper);
            }
            // All displays: one answer only when they agree and no slideshow runs.
            std::wstring common;
            bool agree = !state.slideshowRunning();
            for (size_t i = 0; agree && i < displays.size(); ++i) {
                const std::wstring* path = state.wallpaperOf(displays[i].id);
                const std::wstring shown = path ? *path : std::wstring();
                if (i == 0)
                    common = shown;
                agree = shown == common;
            }
            if (!agree) {
                if (const HRESULT hr = taskString(std::wstring(), wallpaper); FAILED(hr))
                    return hr;
                return S_FALSE;
            }
            return taskString(common, wallpaper);
        } catch (...) {
            return E_OUTOFMEMORY;
        }
    }

    HRESULT STDMETHODCALLTYPE GetMonitorDevicePathAt(UINT monitorIndex, LPWSTR* monitorId) noexcept override
    {
        if (!monitorId)
            return E_POINTER;
        *monitorId = nullptr;
        try {
            DevDesktopState state;
            if (const HRESULT hr = readDevDesktopState(state); FAILED(hr))
                return hr;
            const std::vector<ListedDisplay> displays = listedDisplays(state);
            if (monitorIndex >= displays.size())
                return E_INVALIDARG;
            return taskString(displays[monitorIndex].id, monitorId);
        } catch (...) {
            return E_OUTOFMEMORY;
        }
    }

    HRESULT STDMETHODCALLTYPE GetMonitorDevicePathCount(UINT* count) noexcept override
    {
        if (!count)
            return E_POINTER;
        *count = 0;
        try {
            DevDesktopState state;
            if (const HRESULT hr = readDevDesktopState(state); FAILED(hr))
                return hr;
            *count = static_cast<UINT>(listedDisplays(state).size());
            return S_OK;
        } catch (...) {
            return E_OUTOFMEMORY;
        }
    }

    HRESULT STDMETHODCALLTYPE GetMonitorRECT(LPCWSTR monitorId, RECT* displayRect) noexcept override
    {
        if (!displayRect || !monitorId)
            return E_POINTER;
        *displayRect = RECT{};
        try {
            DevDesktopState state;
            if (const HRESULT hr = readDevDesktopState(state); FAILED(hr))
                return hr;
            const std::vector<ListedDisplay> displays = listedDisplays(state);
            const ListedDisplay* display = findDisplay(displays, monitorId);
            if (!display)
                return E_INVALIDARG;
            if (!display->attached)
                return S_FALSE;
            *displayRect = display->rect;
            return S_OK;
        } catch (...) {
            return E_OUTOFMEMORY;
        }
    }

    HRESULT STDMETHODCALLTYPE SetBackgroundColor(COLORREF color) noexcept override
    {
        return updateDevDesktopState([&](DevDesktopState& state) {
            state.backgroundColor = color;
            return S_OK;
        });
    }

    HRESULT STDMETHODCALLTYPE GetBackgroundColor(COLORREF* color) noexcept override
    {
        if (!color)
            return E_POINTER;
        DevDesktopState state;
        if (const HRESULT hr = readDevDesktopState(state); FAILED(hr))
            return hr;
        *color = state.backgroundColor;
        return S_OK;
    }

    HRESULT STDMETHODCALLTYPE SetPosition(DESKTOP_WALLPAPER_POSITION position) noexcept override
    {
        if (position < DWPOS_CENTER || position > DWPOS_SPAN)
            return E_INVALIDARG;
        return updateDevDesktopState([&](DevDesktopState& state) {
            state.position = position;
            return S_OK;
        });
    }

    HRESULT STDMETHODCALLTYPE GetPosition(DESKTOP_WALLPAPER_POSITION* position) noexcept override
    {
        if (!position)
            return E_POINTER;
        DevDesktopState state;
        if (const HRESULT hr = readDevDesktopState(state); FAILED(hr))
            return hr;
        *position = state.position;
        return S_OK;
    }

    HRESULT STDMETHODCALLTYPE SetSlideshow(IShellItemArray* items) noexcept override
    {
        if (!items)
            return E_POINTER;
        try {
            std::vector<std::wstring> paths;
            if (const HRESULT hr = slideshowPathsOf(items, paths); FAILED(hr))
                return hr;
            return updateDevDesktopState([&](DevDesktopState& state) {
                state.slideshowItems = paths;
                state.slideshowIndex = 0;
                state.enabled = true;
                showSlideshowPicture(state);
                return S_OK;
            });
        } catch (...) {
            return E_OUTOFMEMORY;
        }
    }

    HRESULT STDMETHODCALLTYPE GetSlideshow(IShellItemArray** items) noexcept override
    {
        if (!items)
            return E_POINTER;
        *items = nullptr;
        try {
            DevDesktopState state;
            if (const HRESULT hr = readDevDesktopState(state); FAILED(hr))
                return hr;
            if (!state.slideshowRunning())
                return S_OK;
            return shellItemArrayOf(state.slideshowItems, items);
        } catch (...) {
            return E_OUTOFMEMORY;
        }
    }

    HRESULT STDMETHODCALLTYPE SetSlideshowOptions(DESKTOP_SLIDESHOW_OPTIONS options,
                                                  UINT slideshowTick) noexcept override
    {
        return updateDevDesktopState([&](DevDesktopState& state) {
            state.slideshowOptions = options;
            state.slideshowTick = slideshowTick;
            return S_OK;
        });
    }

    HRESULT STDMETHODCALLTYPE GetSlideshowOptions(DESKTOP_SLIDESHOW_OPTIONS* options,
                                                  UINT* slideshowTick) noexcept override
    {
        if (!options || !slideshowTick)
            return E_POINTER;
        DevDesktopState state;
        if (const HRESULT hr = readDevDesktopState(state); FAILED(hr))
            return hr;
        *options = state.slideshowOptions;
        *slideshowTick = state.slideshowTick;
        return S_OK;
    }

    HRESULT STDMETHODCALLTYPE AdvanceSlideshow(LPCWSTR monitorId,
                                               DESKTOP_SLIDESHOW_DIRECTION direction) noexcept override
    {
        return updateDevDesktopState([&](DevDesktopState& state) {
            if (monitorId && !findDisplay(listedDisplays(state), monitorId))
                return E_INVALIDARG;
            return advanceSlideshowOf(state, direction);
        });
    }

    HRESULT STDMETHODCALLTYPE GetStatus(DESKTOP_SLIDESHOW_STATE* status) noexcept override
    {
        if (!status)
            return E_POINTER;
        try {
            DevDesktopState state;
            if (const HRESULT hr = readDevDesktopState(state); FAILED(hr))
                return hr;
            *status = static_cast<DESKTOP_SLIDESHOW_STATE>((state.enabled ? DSS_ENABLED : 0) |
                                                           (state.slideshowRunning() ? DSS_SLIDESHOW : 0));
            return S_OK;
        } catch (...) {
            return E_OUTOFMEMORY;
        }
    }

    HRESULT STDMETHODCALLTYPE Enable(BOOL enable) noexcept override
    {
        return updateDevDesktopState([&](DevDesktopState& state) {
            state.enabled = enable != FALSE;
            return S_OK;
        });
    }

private:
    ~DevDesktopWallpaper() override { moduleReleaseReference(); }
};

} // namespace

void moduleAddReference() noexcept
{
    ++moduleReferences;
}
void moduleReleaseReference() noexcept
{
    --moduleReferences;
}
bool moduleInUse() noexcept
{
    return moduleReferences.load() != 0;
}

HRESULT createDevDesktopWallpaper(REFIID iid, void** object) noexcept
{
    if (!object)
        return E_POINTER;
    *object = nullptr;
    const auto wallpaper = adoptReference(new (std::nothrow) DevDesktopWallpaper());
    if (!wallpaper)
        return E_OUTOFMEMORY;
    return wallpaper->QueryInterface(iid, object);
}
