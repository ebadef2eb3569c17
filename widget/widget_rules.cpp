#include "widget/widget_rules.h"

#include <cstdlib>

namespace {

int clampSize(int size) noexcept
{
    return size < kSmallestWidget ? kSmallestWidget : size > kLargestWidget ? kLargestWidget : size;
}

} // namespace

RECT widgetSquare(const MonitorMetrics& metrics, bool positionSet, POINT position, int widgetSize) noexcept
{
    POINT topLeft = position;
    if (!positionSet) {
        const int margin = scaleForDpi(kWidgetMargin, metrics.dpi);
        const int edge = scaleForDpi(widgetSize, metrics.dpi);
        topLeft = POINT{metrics.workArea.right - edge - margin, metrics.workArea.top + margin};
    }
    return fitSquareInWorkArea(metrics, topLeft, widgetSize);
}

bool isInResizeGrip(const RECT& widget, POINT point) noexcept
{
    if (point.x < widget.left || point.x >= widget.right || point.y < widget.top || point.y >= widget.bottom)
        return false;
    const int grip = (widget.right - widget.left) * 18 / 64;
    return point.x >= widget.right - grip && point.y >= widget.bottom - grip;
}

bool passedDragDistance(int dx, int dy, SIZE dragDistance) noexcept
{
    return std::abs(dx) >= dragDistance.cx || std::abs(dy) >= dragDistance.cy;
}

int resizedWidgetSize(int sizeAtStart, int dx, int dy, std::uint32_t startDpi) noexcept
{
    const int delta = std::abs(dx) >= std::abs(dy) ? dx : dy;
    return clampSize(sizeAtStart + MulDiv(delta, 96, static_cast<int>(startDpi)));
}

POINT movedTopLeft(POINT cursor, POINT startPoint, const RECT& startRect, std::uint32_t startDpi,
                   std::uint32_t currentDpi) noexcept
{
    const int offsetX = MulDiv(startPoint.x - startRect.left, static_cast<int>(currentDpi), static_cast<int>(startDpi));
    const int offsetY = MulDiv(startPoint.y - startRect.top, static_cast<int>(currentDpi), static_cast<int>(startDpi));
    return POINT{cursor.x - offsetX, cursor.y - offsetY};
}

POINT contextMenuPoint(POINT requested, const RECT& widget) noexcept
{
    if (requested.x == -1 && requested.y == -1)
        return POINT{widget.left, widget.bottom};
    return requested;
}

WidgetCursor cursorFor(WidgetDragMode mode, bool inGrip) noexcept
{
    if (mode == Resizing || inGrip)
        return WidgetCursor::SizeNwse;
    if (mode == Moving)
        return WidgetCursor::SizeAll;
    return WidgetCursor::Hand;
}

SystemColours SystemColours::current() noexcept
{
    return SystemColours{GetSysColor(COLOR_WINDOWTEXT), GetSysColor(COLOR_HIGHLIGHT), GetSysColor(COLOR_WINDOW)};
}

std::uint32_t opaqueArgb(COLORREF colour) noexcept
{
    return 0xFF000000u | std::uint32_t{GetRValue(colour)} << 16 | std::uint32_t{GetGValue(colour)} << 8 |
           std::uint32_t{GetBValue(colour)};
}

FaceStyle faceStyleFor(WidgetVisualState state, const SystemColours& colours) noexcept
{
    constexpr std::uint32_t kInk = 0xFF30353C;
    constexpr std::uint32_t kAccent = 0xFF6C95CC;
    constexpr std::uint32_t kErrorOutline = 0xFF945120;
    constexpr std::uint32_t kQuietOutline = 0xD3F7FBFF;
    constexpr std::uint32_t kBodyTopLeft = 0xFFFBFDFF;
    constexpr std::uint32_t kBodyBottomRight = 0xFFC8D5E7;
    constexpr std::uint32_t kDropBodyBottomRight = 0xFFBCD6F6;
    constexpr std::uint32_t kArrow = 0xFF4B79B5;

    const bool emphasised = state.focused || state.dropHighlight;
    FaceStyle style;
    style.dropGlyph = state.dropHighlight;
    style.outlineWidth = emphasised || state.errorFlash ? 1.9f : 1.0f;
    if (state.highContrast) {
        style.ink = opaqueArgb(colours.windowText);
        style.accent = opaqueArgb(colours.highlight);
        // No error colour here: the flash shows only as the thicker outline.
        style.outline = emphasised ? style.accent : style.ink;
        style.solidBody = true;
        style.bodyTopLeft = style.bodyBottomRight = opaqueArgb(colours.window);
        style.arrow = style.ink;
        style.windowAlpha = 255;
        return style;
    }
    style.ink = kInk;
    style.accent = kAccent;
    style.outline = state.errorFlash ? kErrorOutline : emphasised ? kAccent : kQuietOutline;
    style.bodyTopLeft = kBodyTopLeft;
    style.bodyBottomRight = state.dropHighlight ? kDropBodyBottomRight : kBodyBottomRight;
    style.arrow = kArrow;
    style.windowAlpha = emphasised ? 232 : 206;
    return style;
}
