#pragma once
// The widget's face: a rounded bubble with a gradient, a gloss, a resize grip and a glyph,
// drawn with GDI+ at twice the size and reduced once with bicubic filtering, then handed to
// the layered window as premultiplied 32-bit pixels.
#include <windows.h>

#include <cstdint>

#include "widget/widget_rules.h"

class WidgetRenderer {
public:
    WidgetRenderer() noexcept = default;
    ~WidgetRenderer();
    WidgetRenderer(const WidgetRenderer&) = delete;
    WidgetRenderer& operator=(const WidgetRenderer&) = delete;

    // Shows the face for state in the square rect (screen pixels; the height is taken to
    // be the width). A face already drawn for the same edge and state is only moved.
    [[nodiscard]] bool presentWidget(HWND window, const RECT& rect, WidgetVisualState state) noexcept;

    // Draws the face into edge x edge premultiplied BGRA pixels, rows top-down.
    [[nodiscard]] HRESULT drawFace(int edge, WidgetVisualState state, const SystemColours& colours,
                                   std::uint32_t* pixels) noexcept;

    // The next presentation draws again (new window, changed system colours).
    void markStale() noexcept { cachedEdge_ = 0; }

    // How many faces have been drawn; a figure for the benchmark.
    [[nodiscard]] std::uint64_t facesDrawn() const noexcept { return facesDrawn_; }

private:
    [[nodiscard]] bool startGdiplus() noexcept;

    ULONG_PTR gdiplusToken_ = 0;
    int cachedEdge_ = 0;
    WidgetVisualState cachedState_;
    std::uint64_t facesDrawn_ = 0;
};
