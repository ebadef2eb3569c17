#pragma once
// The shell's desktop-wallpaper object lives in Explorer: when Explorer restarts, every call on
// the object made before answers a disconnection error for ever. ReconnectingDesktopWallpaper
// stands in front of it for the whole program (the wallpaper engine and the video keep a
// reference to it, never to the shell's object), makes a new object when a call fails with a
// disconnection error, and makes that call once more on it.
//
//     auto desktop = ReconnectingDesktopWallpaper::create(first, [](auto& made) { return CoCreate...; });
//     WallpaperEngine engine(*desktop.Get(), ...);
//
// Only the disconnection errors below start a new object: any other failure is the shell's
// answer and passes unchanged, and a call is made again at most once. When the new object
// cannot be made, the call's own failure is returned and the old object is kept, so that the
// next call tries again. Used on one thread, as the shell's object is.
#include <windows.h>
#include <shobjidl.h>
#include <wrl/client.h>

#include <functional>

#include "platform/com_object.h"

// RPC_E_DISCONNECTED, RPC_S_SERVER_UNAVAILABLE as an HRESULT, CO_E_OBJNOTCONNECTED: the object's
// server has gone.
[[nodiscard]] bool isDisconnection(HRESULT hr) noexcept;

// Makes a new desktop-wallpaper object; the program's is CoCreateInstance(CLSID_DesktopWallpaper).
using DesktopWallpaperFactory = std::function<HRESULT(Microsoft::WRL::ComPtr<IDesktopWallpaper>& made)>;

class ReconnectingDesktopWallpaper final : public ComObject<IDesktopWallpaper> {
public:
    // Null on a lack of memory. current: the object to use until it is disconnected.
    [[nodiscard]] static Microsoft::WRL::ComPtr<ReconnectingDesktopWallpaper>
    create(Microsoft::WRL::ComPtr<IDesktopWallpaper> current, DesktopWallpaperFactory factory) noexcept;

    // The shell's object in use now, for the tests.
    [[nodiscard]] IDesktopWallpaper* current() const noexcept { return current_.Get(); }
    // How many times a new object replaced a disconnected one.
    [[nodiscard]] int reconnections() const noexcept { return reconnections_; }

    HRESULT STDMETHODCALLTYPE SetWallpaper(LPCWSTR monitorID, LPCWSTR wallpaper) noexcept override;
    HRESULT STDMETHODCALLTYPE GetWallpaper(LPCWSTR monitorID, LPWSTR* wallpaper) noexcept override;
    HRESULT STDMETHODCALLTYPE GetMonitorDevicePathAt(UINT monitorIndex, LPWSTR* monitorID) noexcept override;
    HRESULT STDMETHODCALLTYPE GetMonitorDevicePathCount(UINT* count) noexcept override;
    HRESULT STDMETHODCALLTYPE GetMonitorRECT(LPCWSTR monitorID, RECT* displayRect) noexcept override;
    HRESULT STDMETHODCALLTYPE SetBackgroundColor(COLORREF color) noexcept override;
    HRESULT STDMETHODCALLTYPE GetBackgroundColor(COLORREF* color) noexcept override;
    HRESULT STDMETHODCALLTYPE SetPosition(DESKTOP_WALLPAPER_POSITION position) noexcept override;
    HRESULT STDMETHODCALLTYPE GetPosition(DESKTOP_WALLPAPER_POSITION* position) noexcept override;
    HRESULT STDMETHODCALLTYPE SetSlideshow(IShellItemArray* items) noexcept override;
    HRESULT STDMETHODCALLTYPE GetSlideshow(IShellItemArray** items) noexcept override;
    HRESULT STDMETHODCALLTYPE SetSlideshowOptions(DESKTOP_SLIDESHOW_OPTIONS options,
                                                  UINT slideshowTick) noexcept override;
    HRESULT STDMETHODCALLTYPE GetSlideshowOptions(DESKTOP_SLIDESHOW_OPTIONS* options,
                                                  UINT* slideshowTick) noexcept override;
    HRESULT STDMETHODCALLTYPE AdvanceSlideshow(LPCWSTR monitorID,
                                               DESKTOP_SLIDESHOW_DIRECTION direction) noexcept override;
    HRESULT STDMETHODCALLTYPE GetStatus(DESKTOP_SLIDESHOW_STATE* state) noexcept override;
    HRESULT STDMETHODCALLTYPE Enable(BOOL enable) noexcept override;

private:
    ReconnectingDesktopWallpaper(Microsoft::WRL::ComPtr<IDesktopWallpaper> current,
                                 DesktopWallpaperFactory factory) noexcept;
    ~ReconnectingDesktopWallpaper() override = default;

    // Calls call(object) on the current object and, after a disconnection, once on a new one.
    template <typename Call>
    HRESULT forward(const Call& call) noexcept;
    [[nodiscard]] bool reconnect() noexcept;

    Microsoft::WRL::ComPtr<IDesktopWallpaper> current_;
    DesktopWallpaperFactory factory_;
    int reconnections_ = 0;
};
