// Where the video lies in each window for every fit mode: the worked layouts of a 1280x720
// video on two 1920x1200 displays side by side, and the edge cases around them.
#include <gtest/gtest.h>

#include "video/video_layout.h"

namespace {

constexpr RECT kDisplayA{0, 0, 1920, 1200};
constexpr RECT kDisplayB{1920, 0, 3840, 1200};
constexpr RECT kBoth{0, 0, 3840, 1200};
constexpr COLORREF kBrown = RGB(153, 102, 51);

struct LayoutCase {
    const char* name;
    FitMode fit;
    RECT window;
    float scaleX, scaleY, offsetX, offsetY, tiled;
};

const LayoutCase kWorkedLayouts[] = {
    {"CenterA", FitCenter, kDisplayA, 1.5f, 1.666667f, -0.25f, -0.333333f, 0},
    {"CenterB", FitCenter, kDisplayB, 1.5f, 1.666667f, -0.25f, -0.333333f, 0},
    {"TileA", FitTile, kDisplayA, 1.5f, 1.666667f, 0, 0, 1},
    {"TileB", FitTile, kDisplayB, 1.5f, 1.666667f, 1.5f, 0, 1},
    {"StretchA", FitStretch, kDisplayA, 1, 1, 0, 0, 0},
    {"StretchB", FitStretch, kDisplayB, 1, 1, 0, 0, 0},
    {"FitA", FitFit, kDisplayA, 1, 1.111111f, 0, -0.055556f, 0},
    {"FitB", FitFit, kDisplayB, 1, 1.111111f, 0, -0.055556f, 0},
    {"FillA", FitFill, kDisplayA, 0.9f, 1, 0.05f, 0, 0},
    {"FillB", FitFill, kDisplayB, 0.9f, 1, 0.05f, 0, 0},
    {"SpanA", FitSpan, kDisplayA, 0.5f, 0.555556f, 0, 0.222222f, 0},
    {"SpanB", FitSpan, kDisplayB, 0.5f, 0.555556f, 0.5f, 0.222222f, 0},
    // An unknown mode stretches.
    {"UnknownStretches", 9, kDisplayB, 1, 1, 0, 0, 0},
};

class WorkedLayout : public testing::TestWithParam<LayoutCase> {};

TEST_P(WorkedLayout, PlacesTheVideoAsTheStillWallpaperWould)
{
    const LayoutCase& c = GetParam();
    const Layout layout = computeLayout(c.window, kBoth, 1280, 720, c.fit, kBrown);
    EXPECT_NEAR(layout.scale[0], c.scaleX, 1e-5);
    EXPECT_NEAR(layout.scale[1], c.scaleY, 1e-5);
    EXPECT_NEAR(layout.offset[0], c.offsetX, 1e-5);
    EXPECT_NEAR(layout.offset[1], c.offsetY, 1e-5);
    EXPECT_EQ(layout.tiled, c.tiled);
    EXPECT_NEAR(layout.background[0], 0.6f, 1e-6);
    EXPECT_NEAR(layout.background[1], 0.4f, 1e-6);
    EXPECT_NEAR(layout.background[2], 0.2f, 1e-6);
}

INSTANTIATE_TEST_SUITE_P(TwoDisplays, WorkedLayout, testing::ValuesIn(kWorkedLayouts),
                         [](const testing::TestParamInfo<LayoutCase>& info) { return std::string(info.param.name); });

// Where a window pixel at fraction (u, v) of the window lands in the placed video.
float videoX(const Layout& layout, float u)
{
    return u * layout.scale[0] + layout.offset[0];
}
float videoY(const Layout& layout, float v)
{
    return v * layout.scale[1] + layout.offset[1];
}

TEST(VideoLayout, FitLeavesSixtyPixelBarsAboveAndBelowOnATallerDisplay)
{
    const Layout layout = computeLayout(kDisplayA, kDisplayA, 1280, 720, FitFit, 0);
    // The video is 1920x1080 inside 1920x1200: rows 0-59 and 1140-1199 show the background.
    EXPECT_LT(videoY(layout, 59.5f / 1200), 0.0f);
    EXPECT_GT(videoY(layout, 60.5f / 1200), 0.0f);
    EXPECT_LT(videoY(layout, 1139.5f / 1200), 1.0f);
    EXPECT_GT(videoY(layout, 1140.5f / 1200), 1.0f);
}

TEST(VideoLayout, FitOnAWiderDisplayLeavesBarsLeftAndRight)
{
    const RECT wide{0, 0, 2560, 720};
    const Layout layout = computeLayout(wide, wide, 1280, 720, FitFit, 0);
    EXPECT_LT(videoX(layout, 639.5f / 2560), 0.0f);
    EXPECT_GT(videoX(layout, 640.5f / 2560), 0.0f);
    EXPECT_LT(videoX(layout, 1919.5f / 2560), 1.0f);
    EXPECT_GT(videoX(layout, 1920.5f / 2560), 1.0f);
    EXPECT_NEAR(videoY(layout, 0.0f), 0.0f, 1e-6);
}

TEST(VideoLayout, CenterOfALargerVideoCropsEvenlyOnAllSides)
{
    const RECT small{0, 0, 640, 360};
    const Layout layout = computeLayout(small, small, 1280, 720, FitCenter, 0);
    EXPECT_NEAR(videoX(layout, 0.0f), 0.25f, 1e-6);
    EXPECT_NEAR(videoX(layout, 1.0f), 0.75f, 1e-6);
    EXPECT_NEAR(videoY(layout, 0.0f), 0.25f, 1e-6);
    EXPECT_NEAR(videoY(layout, 1.0f), 0.75f, 1e-6);
}

TEST(VideoLayout, TileOfALargerVideoContinuesTheSameCopyAcrossDisplays)
{
    const RECT left{0, 0, 640, 480};
    const RECT right{640, 0, 1280, 480};
    const RECT both{0, 0, 1280, 480};
    const Layout a = computeLayout(left, both, 1920, 1080, FitTile, 0);
    const Layout b = computeLayout(right, both, 1920, 1080, FitTile, 0);
    EXPECT_NEAR(videoX(a, 0.0f), 0.0f, 1e-6);
    EXPECT_NEAR(videoX(a, 1.0f), videoX(b, 0.0f), 1e-6); // seamless at the shared edge
    EXPECT_NEAR(videoX(b, 1.0f), 1280.0f / 1920, 1e-6);
}

TEST(VideoLayout, DisplaysAtNegativeCoordinatesSpanFromTheUnionsCorner)
{
    const RECT left{-1920, 0, 0, 1200};
    const RECT both{-1920, 0, 1920, 1200};
    const Layout layout = computeLayout(left, both, 1280, 720, FitSpan, 0);
    EXPECT_NEAR(layout.offset[0], 0.0f, 1e-6);
    EXPECT_NEAR(layout.offset[1], 0.222222f, 1e-5);
}

TEST(VideoLayout, OnlyTileAndSpanDependOnTheOtherDisplays)
{
    for (const FitMode fit : {FitCenter, FitStretch, FitFit, FitFill, FitTile, FitSpan}) {
        const Layout withB = computeLayout(kDisplayB, kBoth, 1280, 720, fit, 0);
        const Layout withoutA = computeLayout(kDisplayB, kDisplayB, 1280, 720, fit, 0);
        const bool changed = withB.offset[0] != withoutA.offset[0] || withB.offset[1] != withoutA.offset[1] ||
                             withB.scale[0] != withoutA.scale[0] || withB.scale[1] != withoutA.scale[1];
        EXPECT_EQ(changed, fit == FitTile || fit == FitSpan) << "fit " << fit;
    }
}

TEST(VideoLayout, AnEmptyVideoShowsOnlyTheBackground)
{
    const Layout layout = computeLayout(kDisplayA, kDisplayA, 0, 0, FitFill, kBrown);
    EXPECT_LT(videoX(layout, 0.5f), 0.0f);
    EXPECT_EQ(layout.tiled, 0.0f);
}

} // namespace
