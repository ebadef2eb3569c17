// Which displays' video the windows above the desktop hide.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

#include "video/occlusion.h"

namespace {

constexpr RECT kPrimary{0, 0, 1920, 1080};
constexpr RECT kLeftOfPrimary{-1280, 56, 0, 1080}; // a second display to the left, lower

struct CoverCase {
    const char* name;
    std::vector<RECT> areas;
    std::vector<RECT> windows;
    std::vector<bool> covered;
};

TEST(Occlusion, WhichAreasTheWindowsCover)
{
    const CoverCase cases[] = {
        {"NoWindow", {kPrimary}, {}, {false}},
        {"OneMaximizedWindow", {kPrimary}, {{0, 0, 1920, 1080}}, {true}},
        {"AFullScreenGameLargerThanTheDisplay", {kPrimary}, {{-8, -8, 1928, 1088}}, {true}},
        {"AWindowOnePixelShort", {kPrimary}, {{0, 0, 1920, 1079}}, {false}},
        {"TwoSnappedHalves", {kPrimary}, {{0, 0, 960, 1080}, {960, 0, 1920, 1080}}, {true}},
        {"TwoHalvesWithAGap", {kPrimary}, {{0, 0, 959, 1080}, {960, 0, 1920, 1080}}, {false}},
        {"OverlappingQuarters",
         {kPrimary},
         {{0, 0, 1000, 600}, {900, 0, 1920, 600}, {0, 500, 1000, 1080}, {900, 500, 1920, 1080}},
         {true}},
        {"AFrameAroundAHole",
         {kPrimary},
         {{0, 0, 1920, 100}, {0, 980, 1920, 1080}, {0, 100, 100, 980}, {1820, 100, 1920, 980}},
         {false}},
        {"TheHoleFilledByASmallWindow",
         {kPrimary},
         {{0, 0, 1920, 100}, {0, 980, 1920, 1080}, {0, 100, 100, 980}, {1820, 100, 1920, 980}, {100, 100, 1820, 980}},
         {true}},
        {"SecondDisplayStaysVisible", {kPrimary, kLeftOfPrimary}, {{0, 0, 1920, 1080}}, {true, false}},
        {"NegativeCoordinatesCovered", {kPrimary, kLeftOfPrimary}, {{-1280, 56, 0, 1080}}, {false, true}},
        {"OneWindowAcrossBothDisplays", {kPrimary, kLeftOfPrimary}, {{-1280, 0, 1920, 1080}}, {true, true}},
        // Span: one video area across both displays; the strip above the lower display is not a display,
        // but the video area includes it.
        {"SpanNeedsTheWholeVirtualScreen", {{-1280, 0, 1920, 1080}}, {kPrimary, kLeftOfPrimary}, {false}},
        {"SpanCovered", {{-1280, 0, 1920, 1080}}, {kPrimary, kLeftOfPrimary, {-1280, 0, 0, 56}}, {true}},
        {"EmptyWindowsCoverNothing", {kPrimary}, {{500, 500, 500, 900}, {10, 10, 5, 5}}, {false}},
        // A maximized window fills the work area; the taskbar covers the rest.
        {"MaximizedWindowAndTheTaskbar", {kPrimary}, {{0, 0, 1920, 1040}, {0, 1040, 1920, 1080}}, {true}},
        {"MaximizedWindowWithoutATaskbar", {kPrimary}, {{0, 0, 1920, 1040}}, {false}},
        // A dialog on top of a maximized window changes nothing.
        {"ADialogAboveAMaximizedWindow", {kPrimary}, {{600, 400, 1200, 700}, {-8, -8, 1928, 1088}}, {true}},
        {"AWindowOnTheOtherDisplayOnly", {kPrimary, kLeftOfPrimary}, {{-1280, 56, 0, 1080}, {100, 100, 900, 700}},
         {false, true}},
        {"ADisplayAboveAndLeftCoveredByANegativeWindow",
         {kPrimary, {-1920, -1080, 0, 0}},
         {{-1930, -1090, 10, 10}},
         {false, true}},
        // Two windows side by side across the edge between two displays cover both.
        {"SnappedAcrossTheDisplayEdge",
         {kPrimary, kLeftOfPrimary},
         {{-1280, 0, 320, 1080}, {320, 0, 1920, 1080}},
         {true, true}},
        {"AnLShapedPairLeavesACorner", {kPrimary}, {{0, 0, 1920, 540}, {0, 540, 960, 1080}}, {false}},
        {"AnEmptyAreaIsCovered", {{100, 100, 100, 100}}, {}, {true}},
    };
    for (const CoverCase& test : cases)
        EXPECT_EQ(test.covered, areasCovered(test.areas, test.windows)) << test.name;
}

} // namespace
