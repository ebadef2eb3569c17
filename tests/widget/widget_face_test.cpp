#include "widget/widget_face.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cwchar>
#include <string>

#include "tests/support/png_pixels.h"
#include "tests/support/temp_folder.h"
#include "tests/support/wallpaper_world.h"

namespace {

// The references in tests/data/widget_face were drawn by this test with
// PELTORINE_UPDATE_REFERENCES=1 and checked by eye.
const std::wstring kReferenceFolder = L"" PELTORINE_SOURCE_DIR "/tests/data/widget_face/";

// A high-contrast theme with white text on black and a cyan highlight.
const SystemColours kHighContrastBlack{RGB(255, 255, 255), RGB(26, 235, 255), RGB(0, 0, 0)};

struct NamedState {
    const char* name;
    WidgetVisualState state;
};
const NamedState kStates[] = {
    {"normal", {}},
    {"focused", {.focused = true}},
    {"drop", {.dropHighlight = true}},
    {"error", {.errorFlash = true}},
    {"high_contrast", {.highContrast = true}},
    {"high_contrast_focused", {.focused = true, .highContrast = true}},
};

PixelImage render(WidgetRenderer& renderer, int edge, WidgetVisualState state)
{
    PixelImage image{edge, edge, std::vector<std::uint32_t>(static_cast<std::size_t>(edge) * edge)};
    EXPECT_EQ(renderer.drawFace(edge, state, kHighContrastBlack, image.pixels.data()), S_OK);
    return image;
}

std::uint32_t at(const PixelImage& image, int x, int y)
{
    return image.pixels[static_cast<std::size_t>(y) * image.width + x];
}

TEST(WidgetFace, MatchesTheReferencePictureForEachStateAndSize)
{
    OleScope ole;
    WidgetRenderer renderer;
    const bool update = std::getenv("PELTORINE_UPDATE_REFERENCES") != nullptr;
    for (const NamedState& named : kStates) {
        for (const int edge : {48, 64, 128}) {
            const std::string name = std::string(named.name) + "_" + std::to_string(edge) + ".png";
            SCOPED_TRACE(name);
            const PixelImage face = render(renderer, edge, named.state);
            const std::wstring path = kReferenceFolder + std::wstring(name.begin(), name.end());
            if (update) {
                EXPECT_TRUE(savePng(path, face));
                continue;
            }
            const PixelImage reference = loadPng(path);
            ASSERT_EQ(reference.width, edge) << "missing reference picture";
            // Anti-aliased edges may land a little differently; the shapes and colours may not.
            const PixelDifference difference = comparePixels(face, reference, 8);
            EXPECT_LE(difference.differing, face.pixels.size() / 200) << "largest difference " << difference.largest;
        }
    }
}

TEST(WidgetFace, CornersAreClearAndTheBodyIsOpaque)
{
    OleScope ole;
    WidgetRenderer renderer;
    for (const int edge : {48, 64, 128}) {
        SCOPED_TRACE(edge);
        const PixelImage face = render(renderer, edge, {});
        // Transparent corners let the mouse and drops through to the desktop.
        EXPECT_EQ(at(face, 0, 0), 0u);
        EXPECT_EQ(at(face, edge - 1, 0), 0u);
        EXPECT_EQ(at(face, 0, edge - 1), 0u);
        EXPECT_EQ(at(face, edge / 2, edge / 4) >> 24, 255u) << "inside the body";
        // The squared-off corner: opaque where a circle would have left it clear.
        EXPECT_EQ(at(face, edge * 57 / 64, edge * 57 / 64) >> 24, 255u);
        // Premultiplied: no channel exceeds alpha.
        for (const std::uint32_t pixel : face.pixels) {
            const std::uint32_t alpha = pixel >> 24;
            ASSERT_LE(pixel >> 16 & 0xFF, alpha);
            ASSERT_LE(pixel >> 8 & 0xFF, alpha);
            ASSERT_LE(pixel & 0xFF, alpha);
        }
    }
}

TEST(WidgetFace, HighContrastBodyIsTheWindowColour)
{
    OleScope ole;
    WidgetRenderer renderer;
    const PixelImage face = render(renderer, 64, {.highContrast = true});
    // Away from the glyph, the body is the theme's window colour (black), fully opaque.
    EXPECT_EQ(at(face, 8, 32), 0xFF000000u);
    const PixelImage normal = render(renderer, 64, {});
    EXPECT_NE(at(normal, 8, 32), 0xFF000000u);
}

TEST(WidgetFace, DropHighlightShowsTheDropGlyph)
{
    OleScope ole;
    WidgetRenderer renderer;
    const PixelImage normal = render(renderer, 128, {});
    const PixelImage drop = render(renderer, 128, {.dropHighlight = true});
    // The drop glyph's arrow (about (64, 50)) is filled; the landscape has nothing there.
    const std::uint32_t arrow = at(drop, 64, 50);
    EXPECT_EQ(arrow, 0xFF4B79B5u);
    EXPECT_NE(at(normal, 64, 50), arrow);
}

TEST(WidgetFace, GdiplusComesFromTheSystemFolder)
{
    OleScope ole;
    WidgetRenderer renderer;
    std::vector<std::uint32_t> pixels(48 * 48);
    ASSERT_EQ(renderer.drawFace(48, {}, SystemColours::current(), pixels.data()), S_OK);
    const HMODULE gdiplus = GetModuleHandleW(L"gdiplus.dll");
    ASSERT_NE(gdiplus, nullptr);
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(gdiplus, path, MAX_PATH);
    wchar_t system[MAX_PATH] = {};
    GetSystemDirectoryW(system, MAX_PATH);
    EXPECT_EQ(CompareStringOrdinal(path, static_cast<int>(wcslen(system)), system, -1, TRUE), CSTR_EQUAL) << path;
}

} // namespace
