#include "widget/widget_rules.h"

#include <gtest/gtest.h>

#include <string>

namespace {

std::string describe(const RECT& rect)
{
    return "(" + std::to_string(rect.left) + ", " + std::to_string(rect.top) + ")-(" + std::to_string(rect.right) +
           ", " + std::to_string(rect.bottom) + ")";
}

MonitorMetrics display(RECT workArea, std::uint32_t dpi)
{
    return MonitorMetrics{workArea, dpi};
}

TEST(WidgetPlacement, SquareInsideTheWorkArea)
{
    const RECT fullHd{0, 0, 1920, 1040};
    const RECT leftOfPrimary{-1920, 0, 0, 1040};
    const RECT abovePrimary{0, -1440, 2560, -40};
    struct Case {
        const char* name;
        MonitorMetrics metrics;
        POINT wanted;
        int size;
        RECT expected;
    } cases[] = {
        {"64 at 100 %", display(fullHd, 96), {100, 200}, 64, {100, 200, 164, 264}},
        {"far right and down is pushed back", display(fullHd, 96), {5000, 5000}, 64, {1856, 976, 1920, 1040}},
        {"left of and above the work area", display(fullHd, 96), {-50, -9}, 64, {0, 0, 64, 64}},
        {"200 is treated as 128", display(fullHd, 96), {0, 0}, 200, {0, 0, 128, 128}},
        {"10 is treated as 48", display(fullHd, 96), {0, 0}, 10, {0, 0, 48, 48}},
        {"150 %", display(fullHd, 144), {10, 10}, 64, {10, 10, 106, 106}},
        {"200 %", display(fullHd, 192), {10, 10}, 128, {10, 10, 266, 266}},
        {"a work area 50 high", display({0, 900, 1920, 950}, 96), {300, 0}, 64, {300, 900, 350, 950}},
        {"an empty work area", display({0, 0, 0, 0}, 96), {300, 300}, 64, {0, 0, 1, 1}},
        {"left of the primary", display(leftOfPrimary, 96), {-1200, 35}, 64, {-1200, 35, -1136, 99}},
        {"left of the primary, pushed in from its left",
         display(leftOfPrimary, 144),
         {-5000, 35},
         64,
         {-1920, 35, -1824, 131}},
        {"above the primary", display(abovePrimary, 192), {2000, -100}, 64, {2000, -168, 2128, -40}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(describe(fitSquareInWorkArea(c.metrics, c.wanted, c.size)), describe(c.expected));
    }
}

TEST(WidgetPlacement, DefaultIsTheTopRightCornerAndASavedPlaceIsKeptInside)
{
    struct Case {
        const char* name;
        MonitorMetrics metrics;
        bool positionSet;
        POINT position;
        int size;
        RECT expected;
    } cases[] = {
        {"default at 96 DPI", display({0, 0, 1920, 1040}, 96), false, {}, 64, {1836, 20, 1900, 84}},
        {"default at 144 DPI", display({0, 0, 2880, 1560}, 144), false, {}, 64, {2754, 30, 2850, 126}},
        {"default at 192 DPI", display({0, 0, 3840, 2080}, 192), false, {}, 64, {3672, 40, 3800, 168}},
        {"default, 128 at 96 DPI", display({0, 0, 1920, 1040}, 96), false, {}, 128, {1772, 20, 1900, 148}},
        {"default on a work area below a top taskbar",
         display({0, 40, 1920, 1080}, 96),
         false,
         {},
         48,
         {1852, 60, 1900, 108}},
        {"saved place off the display",
         display({0, 0, 1920, 1040}, 96),
         true,
         {5000, 5000},
         64,
         {1856, 976, 1920, 1040}},
        {"saved place left of the primary",
         display({-1920, 0, 0, 1040}, 96),
         true,
         {-1200, 35},
         64,
         {-1200, 35, -1136, 99}},
        {"saved place left of the primary at 144 DPI",
         display({-2880, -200, 0, 1360}, 144),
         true,
         {-1200, -150},
         64,
         {-1200, -150, -1104, -54}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(describe(widgetSquare(c.metrics, c.positionSet, c.position, c.size)), describe(c.expected));
    }
}

TEST(WidgetGrip, IsTheBottomRightSquareOfEighteenSixtyFourthsOfTheWidth)
{
    const RECT widget64{1836, 20, 1900, 84};
    struct Case {
        RECT widget;
        POINT point;
        bool inGrip;
    } cases[] = {
        {widget64, {1882, 66}, true},     // 18 pixels from the right and bottom edges
        {widget64, {1881, 66}, false},    // one pixel further left
        {widget64, {1882, 65}, false},    // one pixel higher
        {widget64, {1899, 83}, true},     // the last pixel
        {widget64, {1900, 83}, false},    // right edge is exclusive
        {widget64, {1899, 84}, false},    // bottom edge is exclusive
        {widget64, {1840, 30}, false},    // the body
        {{0, 0, 48, 48}, {35, 35}, true}, // g = 13
        {{0, 0, 48, 48}, {34, 35}, false},
        {{0, 0, 96, 96}, {69, 69}, true}, // g = 27
        {{0, 0, 96, 96}, {68, 69}, false},
        {{0, 0, 128, 128}, {92, 92}, true}, // g = 36
        {{0, 0, 128, 128}, {91, 92}, false},
        {{-1200, -150, -1104, -54}, {-1131, -81}, true}, // a display left of and above the primary
        {{-1200, -150, -1104, -54}, {-1132, -81}, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(describe(c.widget) + " at " + std::to_string(c.point.x) + "," + std::to_string(c.point.y));
        EXPECT_EQ(isInResizeGrip(c.widget, c.point), c.inGrip);
    }
}

TEST(WidgetGesture, DragDistanceDecidesBetweenAClickAndAGesture)
{
    const SIZE distance96{4, 4};
    const SIZE distance144{6, 6};
    EXPECT_FALSE(passedDragDistance(3, 0, distance96));
    EXPECT_FALSE(passedDragDistance(-3, 3, distance96));
    EXPECT_TRUE(passedDragDistance(4, 0, distance96));
    EXPECT_TRUE(passedDragDistance(0, -4, distance96));
    EXPECT_FALSE(passedDragDistance(5, 5, distance144));
    EXPECT_TRUE(passedDragDistance(-6, 0, distance144));
}

TEST(WidgetGesture, ResizeTurnsTheLargerMovementIntoDesignUnits)
{
    struct Case {
        int start, dx, dy;
        std::uint32_t dpi;
        int expected;
    } cases[] = {
        {64, 40, 10, 96, 104}, {64, 100, 0, 96, 128}, {64, -30, 0, 96, 48}, {64, 48, 0, 144, 96},  {64, 5, 60, 192, 94},
        {64, 10, -20, 96, 48}, {96, -20, 20, 96, 76}, {128, 0, 0, 96, 128}, {64, -48, 0, 144, 48}, {64, 1, 1, 144, 65},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.start) + " by " + std::to_string(c.dx) + "," + std::to_string(c.dy) + " at " +
                     std::to_string(c.dpi));
        EXPECT_EQ(resizedWidgetSize(c.start, c.dx, c.dy, c.dpi), c.expected);
    }
}

TEST(WidgetGesture, MoveKeepsTheGrabbedPointUnderTheCursorAcrossScales)
{
    const RECT start{1836, 20, 1900, 84};
    const POINT grabbed{1850, 30};
    struct Case {
        POINT cursor;
        std::uint32_t startDpi, currentDpi;
        POINT expected;
    } cases[] = {
        {{1000, 500}, 96, 96, {986, 490}},
        {{2500, 300}, 96, 144, {2479, 285}}, // offset (14, 10) becomes (21, 15)
        {{-500, 300}, 96, 192, {-528, 280}}, // onto a display left of the primary
        {{700, 700}, 144, 96, {691, 693}},
    };
    for (const Case& c : cases) {
        const POINT topLeft = movedTopLeft(c.cursor, grabbed, start, c.startDpi, c.currentDpi);
        EXPECT_EQ(topLeft.x, c.expected.x);
        EXPECT_EQ(topLeft.y, c.expected.y);
    }
}

TEST(WidgetGesture, ContextMenuFromTheKeyboardOpensAtTheBottomLeftCorner)
{
    const RECT widget{1836, 20, 1900, 84};
    const POINT keyboard = contextMenuPoint({-1, -1}, widget);
    EXPECT_EQ(keyboard.x, 1836);
    EXPECT_EQ(keyboard.y, 84);
    const POINT mouse = contextMenuPoint({1850, 40}, widget);
    EXPECT_EQ(mouse.x, 1850);
    EXPECT_EQ(mouse.y, 40);
    const POINT negative = contextMenuPoint({-1, 40}, widget);
    EXPECT_EQ(negative.x, -1) << "a real point on a display left of the primary";
}

TEST(WidgetGesture, CursorShapes)
{
    EXPECT_EQ(cursorFor(DragIdle, false), WidgetCursor::Hand);
    EXPECT_EQ(cursorFor(DragIdle, true), WidgetCursor::SizeNwse);
    EXPECT_EQ(cursorFor(PressedBody, false), WidgetCursor::Hand);
    EXPECT_EQ(cursorFor(Moving, false), WidgetCursor::SizeAll);
    EXPECT_EQ(cursorFor(Moving, true), WidgetCursor::SizeNwse);
    EXPECT_EQ(cursorFor(Resizing, false), WidgetCursor::SizeNwse);
}

TEST(WidgetFaceStyle, EachVisualStateHasItsColoursWidthAndAlpha)
{
    const SystemColours system{RGB(255, 255, 0), RGB(0, 255, 255), RGB(0, 0, 0)}; // a yellow-on-black theme
    struct Case {
        const char* name;
        WidgetVisualState state;
        std::uint32_t outline;
        float width;
        std::uint8_t alpha;
        std::uint32_t bodyBottomRight;
        bool dropGlyph;
        bool solid;
    } cases[] = {
        {"normal", {}, 0xD3F7FBFF, 1.0f, 206, 0xFFC8D5E7, false, false},
        {"focused", {.focused = true}, 0xFF6C95CC, 1.9f, 232, 0xFFC8D5E7, false, false},
        {"drop highlight", {.dropHighlight = true}, 0xFF6C95CC, 1.9f, 232, 0xFFBCD6F6, true, false},
        {"error flash", {.errorFlash = true}, 0xFF945120, 1.9f, 206, 0xFFC8D5E7, false, false},
        {"error flash while focused",
         {.focused = true, .errorFlash = true},
         0xFF945120,
         1.9f,
         232,
         0xFFC8D5E7,
         false,
         false},
        {"high contrast", {.highContrast = true}, 0xFFFFFF00, 1.0f, 255, 0xFF000000, false, true},
        {"high contrast, focused",
         {.focused = true, .highContrast = true},
         0xFF00FFFF,
         1.9f,
         255,
         0xFF000000,
         false,
         true},
        {"high contrast, error flash",
         {.errorFlash = true, .highContrast = true},
         0xFFFFFF00,
         1.9f,
         255,
         0xFF000000,
         false,
         true},
        {"high contrast, drop highlight",
         {.dropHighlight = true, .highContrast = true},
         0xFF00FFFF,
         1.9f,
         255,
         0xFF000000,
         true,
         true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const FaceStyle style = faceStyleFor(c.state, system);
        EXPECT_EQ(style.outline, c.outline);
        EXPECT_FLOAT_EQ(style.outlineWidth, c.width);
        EXPECT_EQ(style.windowAlpha, c.alpha);
        EXPECT_EQ(style.bodyBottomRight, c.bodyBottomRight);
        EXPECT_EQ(style.dropGlyph, c.dropGlyph);
        EXPECT_EQ(style.solidBody, c.solid);
        if (c.state.highContrast) {
            EXPECT_EQ(style.ink, 0xFFFFFF00u);
            EXPECT_EQ(style.arrow, 0xFFFFFF00u);
        } else {
            EXPECT_EQ(style.ink, 0xFF30353Cu);
            EXPECT_EQ(style.accent, 0xFF6C95CCu);
            EXPECT_EQ(style.bodyTopLeft, 0xFFFBFDFFu);
            EXPECT_EQ(style.arrow, 0xFF4B79B5u);
        }
    }
}

TEST(WidgetFaceStyle, VisualStatePacksIntoOneByteAFlag)
{
    EXPECT_EQ((WidgetVisualState{}.packed()), 0u);
    EXPECT_EQ((WidgetVisualState{.focused = true}.packed()), 0x00000001u);
    EXPECT_EQ((WidgetVisualState{.dropHighlight = true}.packed()), 0x00000100u);
    EXPECT_EQ((WidgetVisualState{.errorFlash = true}.packed()), 0x00010000u);
    EXPECT_EQ((WidgetVisualState{.highContrast = true}.packed()), 0x01000000u);
}

} // namespace
