#include "platform/desktop_wallpaper_connection.h"

#include <new>
#include <utility>

#include "platform/unique_handle.h"

bool isDisconnection(HRESULT hr) noexcept
{
    return hr == RPC_E_DISCONNECTED || hr == HRESULT_FROM_WIN32(RPC_S_SERVER_UNAVAILABLE) ||
           hr == CO_E_OBJNOTCONNECTED;
}

Microsoft::WRL::ComPtr<ReconnectingDesktopWallpaper>
ReconnectingDesktopWallpaper::create(Microsoft::WRL::ComPtr<IDesktopWallpaper> current,
                                     DesktopWallpaperFactory factory) noexcept
{
    return adoptReference(new (std::nothrow) ReconnectingDesktopWallpaper(std::move(current), std::move(factory)));
}

ReconnectingDesktopWallpaper::ReconnectingDesktopWallpaper(Microsoft::WRL::ComPtr<IDesktopWallpaper> current,
                                                           DesktopWallpaperFactory factory) noexcept
    : current_(std::move(current)), factory_(std::move(factory))
{
}

template <typename Call>
HRESULT ReconnectingDesktopWallpaper::forward(const Call& call) noexcept
{
    if (!current_ && !reconnect())
        return CO_E_OBJNOTCONNECTED;
    const HRESULT result = call(*current_.Get());
    if (!isDisconnection(result) || !reconnect())
        return result;
    return call(*current_.Get());
}

bool ReconnectingDesktopWallpaper::reconnect() noexcept
{
    if (!factory_)
        return false;
    Microsoft::WRL::ComPtr<IDesktopWallpaper> made;
    HRESULT hr = E_FAIL;
    try {
        hr = factory_(made);
    } catch (...) {
        hr = E_OUTOFMEMORY;
    }
    if (FAILED(hr) || !made)
        return false;
    current_ = std::move(made);
    ++reconnections_;
    return true;
}

HRESULT ReconnectingDesktopWallpaper::SetWallpaper(LPCWSTR monitorID, LPCWSTR wallpaper) noexcept
{
    return forward([&](IDesktopWallpaper& desktop) { return desktop.SetWallpaper(monitorID, wallpaper); });
}

HRESULT ReconnectingDesktopWallpaper::GetWallpaper(LPCWSTR monitorID, LPWSTR* wallpaper) noexcept
{
    return forward([&](IDesktopWallpaper& desktop) { return desktop.GetWallpaper(monitorID, wallpaper); });
}

HRESULT ReconnectingDesktopWallpaper::GetMonitorDevicePathAt(UINT monitorIndex, LPWSTR* monitorID) noexcept
{
    return forward([&](IDesktopWallpaper& desktop) { return desktop.GetMonitorDevicePathAt(monitorIndex, monitorID); });
}

HRESULT ReconnectingDesktopWallpaper::GetMonitorDevicePathCount(UINT* count) noexcept
{
    return forward([&](IDesktopWallpaper& desktop) { return desktop.GetMonitorDevicePathCount(count); });
}

HRESULT ReconnectingDesktopWallpaper::GetMonitorRECT(LPCWSTR monitorID, RECT* displayRect) noexcept
{
    return forward([&](IDesktopWallpaper& desktop) { return desktop.GetMonitorRECT(monitorID, displayRect); });
}

HRESULT ReconnectingDesktopWallpaper::SetBackgroundColor(COLORREF color) noexcept
{
    return forward([&](IDesktopWallpaper& desktop) { return desktop.SetBackgroundColor(color); });
}

HRESULT ReconnectingDesktopWallpaper::GetBackgroundColor(COLORREF* color) noexcept
{
    return forward([&](IDesktopWallpaper& desktop) { return desktop.GetBackgroundColor(color); });
}

HRESULT ReconnectingDesktopWallpaper::SetPosition(DESKTOP_WALLPAPER_POSITION position) noexcept
{
    return forward([&](IDesktopWallpaper& desktop) { return desktop.SetPosition(position); });
}

HRESULT ReconnectingDesktopWallpaper::GetPosition(DESKTOP_WALLPAPER_POSITION* position) noexcept
{
    return forward([&](IDesktopWallpaper& desktop) { return desktop.GetPosition(position); });
}

HRESULT ReconnectingDesktopWallpaper::SetSlideshow(IShellItemArray* items) noexcept
{
    return forward([&](IDesktopWallpaper& desktop) { return desktop.SetSlideshow(items); });
}

HRESULT ReconnectingDesktopWallpaper::GetSlideshow(IShellItemArray** items) noexcept
{
    return forward([&](IDesktopWallpaper& desktop) { return desktop.GetSlideshow(items); });
}

HRESULT ReconnectingDesktopWallpaper::SetSlideshowOptions(DESKTOP_SLIDESHOW_OPTIONS options,
                                                          UINT slideshowTick) noexcept
{
    return forward([&](IDesktopWallpaper& desktop) { return desktop.SetSlideshowOptions(options, slideshowTick); });
}

HRESULT ReconnectingDesktopWallpaper::GetSlideshowOptions(DESKTOP_SLIDESHOW_OPTIONS* options,
                                                          UINT* slideshowTick) noexcept
{
    return forward([&](IDesktopWallpaper& desktop) { return desktop.GetSlideshowOptions(options, slideshowTick); });
}

HRESULT ReconnectingDesktopWallpaper::AdvanceSlideshow(LPCWSTR monitorID,
                                                       DESKTOP_SLIDESHOW_DIRECTION direction) noexcept
{
    return forward([&](IDesktopWallpaper& desktop) { return desktop.AdvanceSlideshow(monitorID, direction); });
}

HRESULT ReconnectingDesktopWallpaper::GetStatus(DESKTOP_SLIDESHOW_STATE* state) noexcept
{
    return forward([&](IDesktopWallpaper& desktop) { return desktop.GetStatus(state); });
}

HRESULT ReconnectingDesktopWallpaper::Enable(BOOL enable) noexcept
{
    return forward([&](IDesktopWallpaper& desktop) { return desktop.Enable(enable); });
}
