#pragma once
// Where the video frame lies in one video window: the shader's constant buffer and the pure
// function that fills it for a fit mode. No graphics objects here, so it is tested by tables.
#include <windows.h>

#include <cstdint>

#include "wallpaper/desktop_snapshot.h"

// The pixel shader's constant buffer "Layout" (32 bytes, two 16-byte registers). A window
// pixel at fraction uv of the window samples the placed video at uv * scale + offset.
struct Layout {
    float scale[2] = {1.0f, 1.0f};
    float offset[2] = {0.0f, 0.0f};
    float background[3] = {0.0f, 0.0f, 0.0f};
    float tiled = 0.0f;
};
static_assert(sizeof(Layout) == 32, "the shader reads exactly two registers");

// The layout of one window (virtual-screen pixels) showing a video of the given native size.
// spanRect is the union of all video windows: Tile and Span place the video over it, the other
// modes over each window alone.
[[nodiscard]] Layout computeLayout(const RECT& windowRect, const RECT& spanRect, std::uint32_t videoWidth,
                                   std::uint32_t videoHeight, FitMode fitMode, COLORREF background) noexcept;
