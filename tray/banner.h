#pragma once
#include <windows.h>
#include <wincodec.h>

#include <cstdint>

#include "platform/unique_handle.h"

// The product logo at the top of the context menu, made afresh for each opening at the DPI
// of the display where the menu opens. The menu item carries its address as item data.
struct BannerImage {
    std::int32_t width = 0;
    std::int32_t height = 0;
    std::int32_t margin = 0;
    UniqueBitmap bitmap; // 32-bit top-down DIB section, premultiplied BGRA
};

// Width of the banner picture at 96 DPI, and its border.
inline constexpr int kBannerDesignWidth = 142;
inline constexpr int kBannerDesignMargin = 8;

// Decodes the logo (raw-data resource kBannerResourceId of instance), scales it for dpi and
// inserts it as an owner-drawn, disabled item at position 0 of menu. False when no banner
// could be made; what was made stays in banner and goes with it.
[[nodiscard]] bool insertBannerItem(BannerImage& banner, HMENU menu, UINT itemId, IWICImagingFactory* imagingFactory,
                                    HINSTANCE instance, UINT dpi) noexcept;

// WM_MEASUREITEM and WM_DRAWITEM of the banner item.
void measureBannerItem(const BannerImage& banner, MEASUREITEMSTRUCT& item) noexcept;
void drawBannerItem(const BannerImage& banner, const DRAWITEMSTRUCT& item) noexcept;
