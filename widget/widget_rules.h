#pragma once
// The widget's decisions, apart from its window: where its square goes, where the resize
// grip is, what a drag means in 96-DPI units, and how each visual state looks. Values in,
// values out, so that each rule can be checked by a table of cases.
#include <windows.h>

#include <cstdint>

#include "platform/monitors.h"

// The widget's edge and its default margin from the work area's corner, in 96-DPI units.
inline constexpr int kWidgetMargin = 20;
inline constexpr int kSmallestWidget = 48;
inline constexpr int kLargestWidget = 128;

// The gesture states of a left-button press on the widget.
enum WidgetDragMode : std::int32_t {
    DragIdle = 0,
    PressedBody = 1, // not yet moved by the drag distance
    PressedGrip = 2,
    Moving = 3,
    Resizing = 4,
};

// What the face shows; compared and cached as one 32-bit value.
struct WidgetVisualState {
    bool focused = false;
    bool dropHighlight = false;
    bool errorFlash = false;
    bool highContrast = false;

    [[nodiscard]] std::uint32_t packed() const noexcept
    {
        return std::uint32_t{focused} | std::uint32_t{dropHighlight} << 8 | std::uint32_t{errorFlash} << 16 |
               std::uint32_t{highContrast} << 24;
    }
    bool operator==(const WidgetVisualState&) const = default;
};

// The widget's square on a display: the saved place when there is one, else the
// top-right corner of the work area, kept inside the work area either way.
[[nodiscard]] RECT widgetSquare(const MonitorMetrics& metrics, bool positionSet, POINT position,
                                int widgetSize) noexcept;

// The bottom-right square whose side is 18/64 of the widget's width.
[[nodiscard]] bool isInResizeGrip(const RECT& widget, POINT point) noexcept;

// A press becomes a gesture once the pointer has travelled the system's drag distance
// (dragDistance for the display's DPI) on either axis.
[[nodiscard]] bool passedDragDistance(int dx, int dy, SIZE dragDistance) noexcept;

// The widget size after a resize drag of (dx, dy) pixels on a display of startDpi: the
// larger movement wins, turned into 96-DPI units and clamped to the widget's bounds.
[[nodiscard]] int resizedWidgetSize(int sizeAtStart, int dx, int dy, std::uint32_t startDpi) noexcept;

// The top-left corner that keeps the grabbed point under the cursor, the grab offset scaled
// from the display where the drag began to the one under the cursor.
[[nodiscard]] POINT movedTopLeft(POINT cursor, POINT startPoint, const RECT& startRect, std::uint32_t startDpi,
                                 std::uint32_t currentDpi) noexcept;

// Where the context menu opens: the requested point, or the widget's bottom-left corner
// for a request from the keyboard (-1, -1).
[[nodiscard]] POINT contextMenuPoint(POINT requested, const RECT& widget) noexcept;

enum class WidgetCursor { Hand, SizeAll, SizeNwse };
[[nodiscard]] WidgetCursor cursorFor(WidgetDragMode mode, bool inGrip) noexcept;

// The system colours the high-contrast face uses, as GetSysColor gives them (0x00BBGGRR).
struct SystemColours {
    COLORREF windowText = 0;
    COLORREF highlight = 0;
    COLORREF window = 0;
    static SystemColours current() noexcept;
};

// Opaque 0xFFRRGGBB from a GDI colour.
[[nodiscard]] std::uint32_t opaqueArgb(COLORREF colour) noexcept;

// Everything about the face that depends on the visual state. Colours are 0xAARRGGBB.
struct FaceStyle {
    std::uint32_t ink = 0;
    std::uint32_t accent = 0;
    std::uint32_t outline = 0;
    float outlineWidth = 1.0f;
    bool solidBody = false;        // high contrast: one flat colour, no gloss or rim
    std::uint32_t bodyTopLeft = 0; // the gradient's ends; bodyTopLeft alone when solid
    std::uint32_t bodyBottomRight = 0;
    bool dropGlyph = false;         // the arrow into a tray instead of the landscape
    std::uint32_t arrow = 0;        // the drop glyph's arrow
    std::uint8_t windowAlpha = 206; // constant alpha over the bitmap's own
    bool operator==(const FaceStyle&) const = default;
};
[[nodiscard]] FaceStyle faceStyleFor(WidgetVisualState state, const SystemColours& colours) noexcept;
