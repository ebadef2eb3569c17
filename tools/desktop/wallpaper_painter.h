#pragma once
// Draws the desktop's wallpaper, as the shared state describes it, into one picture of the
// whole virtual screen, and copies parts of it into the desktop's windows.
#include "tools/desktop_wallpaper/devdesktop_displays.h"
#include "tools/desktop_wallpaper/devdesktop_state.h"
#include "platform/unique_handle.h"

#include <windows.h>
#include <wincodec.h>
#include <wrl/client.h>

#include <cstdint>
#include <string>
#include <vector>

class WallpaperPainter {
public:
    WallpaperPainter() = default;
    ~WallpaperPainter();
    WallpaperPainter(const WallpaperPainter&) = delete;
    WallpaperPainter& operator=(const WallpaperPainter&) = delete;

    [[nodiscard]] HRESULT initialize() noexcept;

    // Redraws the whole desktop: the background colour, and unless the wallpaper is disabled
    // each display's picture in the desktop's position (Span: one picture over all displays).
    void compose(const DevDesktopState& state, const std::vector<DevDesktopMonitor>& monitors, RECT screen) noexcept;

    // Copies the part of the desktop under `window`'s client rectangle `area` into `dc`.
    void paint(HWND window, HDC dc, const RECT& area) const noexcept;

private:
    struct Picture {
        std::wstring path;
        FILETIME written{};
        SIZE size{};
        UniqueBitmap bitmap;
        const std::uint32_t* pixels = nullptr; // the bitmap's, top-down rows of size.cx
    };

    // The decoded picture, from the cache when the file has not changed; null when it cannot
    // be read as a picture (the display then shows the background colour, as the shell does).
    const Picture* picture(const std::wstring& path) noexcept;
    [[nodiscard]] HRESULT decode(const std::wstring& path, Picture& picture) noexcept;
    void drawPicture(const Picture& picture, DESKTOP_WALLPAPER_POSITION position, RECT area, RECT clip) noexcept;

    Microsoft::WRL::ComPtr<IWICImagingFactory> imaging_;
    UniqueMemoryDc frameDc_;
    UniqueBitmap frame_;
    HGDIOBJ frameDcDefault_ = nullptr;
    RECT screen_{};
    std::vector<Picture> pictures_;
};
