#pragma once
// Where a wallpaper picture goes on a display for each of the shell's positions. Pure
// arithmetic, so that it can be checked by tables.
#include <windows.h>
#include <shobjidl.h>

struct PicturePlacement {
    RECT destination{}; // where the whole picture is drawn; may reach outside the area (cropped)
    bool tiled = false; // Tile: destination is the first tile, repeated right and down
};

// `area` is the display's rectangle, or for Span the rectangle around all displays.
// Span places the picture like Fill.
[[nodiscard]] constexpr PicturePlacement placePicture(DESKTOP_WALLPAPER_POSITION position, SIZE picture,
                                                      RECT area) noexcept
{
    const long areaWidth = area.right - area.left;
    const long areaHeight = area.bottom - area.top;
    if (picture.cx <= 0 || picture.cy <= 0 || areaWidth <= 0 || areaHeight <= 0)
        return {};
    const auto centred = [&](long width, long height) {
        const long left = area.left + (areaWidth - width) / 2;
        const long top = area.top + (areaHeight - height) / 2;
        return RECT{left, top, left + width, top + height};
    };
    // Scales the picture to the area's width or height, keeping its shape. 64-bit products:
    // pictures and virtual screens can both be large.
    const auto scaled = [&](bool coverArea) {
        const long long pictureByArea = static_cast<long long>(picture.cx) * areaHeight;
        const long long areaByPicture = static_cast<long long>(areaWidth) * picture.cy;
        // The picture is relatively wider than the area when pictureByArea > areaByPicture.
        const bool matchWidth = coverArea ? pictureByArea <= areaByPicture : pictureByArea > areaByPicture;
        if (matchWidth) {
            const long height = static_cast<long>((static_cast<long long>(picture.cy) * areaWidth * 2 + picture.cx) /
                                                  (2LL * picture.cx));
            return centred(areaWidth, height);
        }
        const long width =
            static_cast<long>((static_cast<long long>(picture.cx) * areaHeight * 2 + picture.cy) / (2LL * picture.cy));
        return centred(width, areaHeight);
    };
    switch (position) {
    case DWPOS_CENTER:
        return {centred(picture.cx, picture.cy), false};
    case DWPOS_TILE:
        return {RECT{area.left, area.top, area.left + picture.cx, area.top + picture.cy}, true};
    case DWPOS_STRETCH:
        return {area, false};
    case DWPOS_FIT:
        return {scaled(false), false};
    case DWPOS_FILL:
    case DWPOS_SPAN:
    default:
        return {scaled(true), false};
    }
}
