#include "widget/widget_face.h"

#include "platform/unique_handle.h"

#include <objidl.h>

#include <algorithm>
#include <utility>
#include <vector>

// The SDK's GDI+ headers use min and max, which NOMINMAX hides.
namespace Gdiplus {
using std::max;
using std::min;
} // namespace Gdiplus
#include <gdiplus.h>

using namespace Gdiplus;
using namespace Gdiplus::DllExports;

namespace {

void deleteGraphics(GpGraphics* graphics) noexcept
{
    GdipDeleteGraphics(graphics);
}
void deleteBitmap(GpBitmap* bitmap) noexcept
{
    GdipDisposeImage(bitmap);
}
void deletePath(GpPath* path) noexcept
{
    GdipDeletePath(path);
}
void deletePen(GpPen* pen) noexcept
{
    GdipDeletePen(pen);
}
template <typename Brush>
void deleteBrush(Brush* brush) noexcept
{
    GdipDeleteBrush(brush);
}

// The GDI+ objects of one drawing, released by the flat API's delete functions.
using GraphicsOwner = UniqueHandle<GpGraphics*, deleteGraphics>;
using BitmapOwner = UniqueHandle<GpBitmap*, deleteBitmap>;
using PathOwner = UniqueHandle<GpPath*, deletePath>;
using PenOwner = UniqueHandle<GpPen*, deletePen>;
using SolidBrushOwner = UniqueHandle<GpSolidFill*, deleteBrush<GpSolidFill>>;
using LineBrushOwner = UniqueHandle<GpLineGradient*, deleteBrush<GpLineGradient>>;
using PathBrushOwner = UniqueHandle<GpPathGradient*, deleteBrush<GpPathGradient>>;

// A top-down 32-bit DIB section of edge x edge pixels; bits receives its memory.
HBITMAP createFaceBitmap(HDC dc, int edge, void** bits) noexcept
{
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = edge;
    info.bmiHeader.biHeight = -edge;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    return CreateDIBSection(dc, &info, DIB_RGB_COLORS, bits, nullptr, 0);
}

// Design units: the face is drawn in a 64 x 64 square.
constexpr REAL kDesignScale = 0.015625f;
const GpRectF kGradientRect(3, 3, 58, 58);

// A circle of radius 29 around (32, 32) whose bottom-right quarter is squared off, with a
// corner of radius 10 where the grip sits; scaled by `scale` and shifted by `shift`.
void addBodyFigure(GpPath* path, REAL scale = 1, REAL shift = 0) noexcept
{
    auto at = [&](REAL value) { return value * scale + shift; };
    GdipAddPathBezier(path, at(3), at(32), at(3), at(16), at(16), at(3), at(32), at(3));
    GdipAddPathBezier(path, at(32), at(3), at(48), at(3), at(61), at(16), at(61), at(32));
    GdipAddPathLine(path, at(61), at(32), at(61), at(51));
    GdipAddPathBezier(path, at(61), at(51), at(61), at(57), at(57), at(61), at(51), at(61));
    GdipAddPathLine(path, at(51), at(61), at(32), at(61));
    GdipAddPathBezier(path, at(32), at(61), at(16), at(61), at(3), at(48), at(3), at(32));
    GdipClosePathFigure(path);
}

void strokeRoundCapped(GpGraphics* graphics, GpPath* path, ARGB colour, REAL width, bool roundJoin) noexcept
{
    PenOwner pen;
    if (GdipCreatePen1(colour, width, UnitWorld, pen.put()) != Ok)
        return;
    GdipSetPenStartCap(pen.get(), LineCapRound);
    GdipSetPenEndCap(pen.get(), LineCapRound);
    if (roundJoin)
        GdipSetPenLineJoin(pen.get(), LineJoinRound);
    GdipDrawPath(graphics, pen.get(), path);
}

void fillPath(GpGraphics* graphics, GpPath* path, ARGB colour) noexcept
{
    SolidBrushOwner brush;
    if (GdipCreateSolidFill(colour, brush.put()) == Ok)
        GdipFillPath(graphics, brush.get(), path);
}

void drawGradientBody(GpGraphics* graphics, GpPath* body, const FaceStyle& style) noexcept
{
    LineBrushOwner fill;
    if (GdipCreateLineBrushFromRect(&kGradientRect, style.bodyTopLeft, style.bodyBottomRight,
                                    LinearGradientModeForwardDiagonal, WrapModeTile, fill.put()) == Ok)
        GdipFillPath(graphics, fill.get(), body);

    // Gloss: a soft white ellipse, brightest towards the upper left, kept inside the body.
    PathOwner ellipse;
    PathBrushOwner gloss;
    if (GdipCreatePath(FillModeAlternate, ellipse.put()) == Ok &&
        GdipAddPathEllipse(ellipse.get(), 5, 4, 37, 26) == Ok &&
        GdipCreatePathGradientFromPath(ellipse.get(), gloss.put()) == Ok) {
        const GpPointF centre{17, 10};
        GdipSetPathGradientCenterPoint(gloss.get(), &centre);
        GdipSetPathGradientCenterColor(gloss.get(), 0xE1FFFFFF);
        INT count = 0;
        if (GdipGetPathGradientPointCount(gloss.get(), &count) == Ok && count > 0) {
            const std::vector<ARGB> surround(static_cast<std::size_t>(count), 0x00FFFFFF);
            GdipSetPathGradientSurroundColorsWithCount(gloss.get(), surround.data(), &count);
        }
        GraphicsState saved = 0;
        GdipSaveGraphics(graphics, &saved);
        GdipSetClipPath(graphics, body, CombineModeReplace);
        GdipFillPath(graphics, gloss.get(), ellipse.get());
        GdipRestoreGraphics(graphics, saved);
    }

    // Inner rim, just inside the outline: the body scaled by 0.96 and shifted by 1.28. The
    // points are placed directly; Wine's GdipTransformPath spoils the first path it transforms.
    PathOwner rim;
    LineBrushOwner rimFill;
    PenOwner rimPen;
    if (GdipCreatePath(FillModeAlternate, rim.put()) == Ok && (addBodyFigure(rim.get(), 0.96f, 1.28f), true) &&
        GdipCreateLineBrushFromRect(&kGradientRect, 0xD9FFFFFF, 0x56F9FDFF, LinearGradientModeVertical, WrapModeTile,
                                    rimFill.put()) == Ok &&
        GdipCreatePen2(rimFill.get(), 0.95f, UnitWorld, rimPen.put()) == Ok)
        GdipDrawPath(graphics, rimPen.get(), rim.get());
}

// A landscape with a sun inside a circular arrow.
void drawWallpaperGlyph(GpGraphics* graphics, const FaceStyle& style) noexcept
{
    PenOwner arc;
    if (GdipCreatePen1(style.accent, 1.65f, UnitWorld, arc.put()) == Ok) {
        GdipSetPenStartCap(arc.get(), LineCapRound);
        GdipDrawArc(graphics, arc.get(), 12.8f, 13.4f, 37.4f, 37.4f, 220, 180);
    }
    SolidBrushOwner accent;
    if (GdipCreateSolidFill(style.accent, accent.put()) == Ok) {
        const GpPointF head[] = {{43.4f, 46.1f}, {44.6f, 40.6f}, {48.5f, 44.8f}};
        GdipFillPolygon(graphics, accent.get(), head, 3, FillModeAlternate);
    }
    PathOwner hills;
    if (GdipCreatePath(FillModeAlternate, hills.put()) == Ok) {
        GdipAddPathBezier(hills.get(), 16.5f, 37.3f, 20.4f, 34.3f, 23.7f, 30.2f, 26.1f, 30.2f);
        GdipAddPathBezier(hills.get(), 26.1f, 30.2f, 28.9f, 30.2f, 30.6f, 34.6f, 32.7f, 34.6f);
        GdipAddPathBezier(hills.get(), 32.7f, 34.6f, 34.7f, 34.6f, 35.8f, 31.6f, 37.6f, 31.6f);
        GdipAddPathBezier(hills.get(), 37.6f, 31.6f, 40.2f, 31.6f, 42.3f, 35.0f, 45.0f, 37.3f);
        strokeRoundCapped(graphics, hills.get(), style.ink, 1.4f, true);
    }
    SolidBrushOwner ink;
    if (GdipCreateSolidFill(style.ink, ink.put()) == Ok)
        GdipFillEllipse(graphics, ink.get(), 35.2f, 23.9f, 4.25f, 4.25f);
}

// An arrow into a tray.
void drawDropGlyph(GpGraphics* graphics, const FaceStyle& style) noexcept
{
    PathOwner tray;
    if (GdipCreatePath(FillModeAlternate, tray.put()) == Ok) {
        GdipAddPathLine(tray.get(), 18.5f, 34.5f, 18.5f, 41.3f);
        GdipAddPathBezier(tray.get(), 18.5f, 41.3f, 18.5f, 43.8f, 20.2f, 45.5f, 22.7f, 45.5f);
        GdipAddPathLine(tray.get(), 22.7f, 45.5f, 41.3f, 45.5f);
        GdipAddPathBezier(tray.get(), 41.3f, 45.5f, 43.8f, 45.5f, 45.5f, 43.8f, 45.5f, 41.3f);
        GdipAddPathLine(tray.get(), 45.5f, 41.3f, 45.5f, 34.5f);
        strokeRoundCapped(graphics, tray.get(), style.ink, 2.6f, false);
    }
    PathOwner arrow;
    if (GdipCreatePath(FillModeAlternate, arrow.put()) == Ok) {
        GdipAddPathBezier(arrow.get(), 27, 18.5f, 25.6f, 18.5f, 24.8f, 19.3f, 24.8f, 20.7f);
        const GpPointF shaft[] = {{24.8f, 20.7f}, {24.8f, 30.4f}, {32, 37.2f}, {39.2f, 30.4f}, {39.2f, 20.7f}};
        GdipAddPathLine2(arrow.get(), shaft, 5);
        GdipAddPathBezier(arrow.get(), 39.2f, 20.7f, 39.2f, 19.3f, 38.4f, 18.5f, 37, 18.5f);
        GdipClosePathFigure(arrow.get());
        fillPath(graphics, arrow.get(), style.arrow);
    }
}

void drawWidgetFace(GpGraphics* graphics, int size, const FaceStyle& style) noexcept
{
    GdipGraphicsClear(graphics, 0);
    GdipSetSmoothingMode(graphics, SmoothingModeAntiAlias);
    GdipSetPixelOffsetMode(graphics, PixelOffsetModeHalf);
    const REAL scale = static_cast<REAL>(size) * kDesignScale;
    GdipScaleWorldTransform(graphics, scale, scale, MatrixOrderPrepend);

    PathOwner body;
    if (GdipCreatePath(FillModeAlternate, body.put()) != Ok)
        return;
    addBodyFigure(body.get());

    if (style.solidBody)
        fillPath(graphics, body.get(), style.bodyTopLeft);
    else
        drawGradientBody(graphics, body.get(), style);

    PenOwner outline;
    if (GdipCreatePen1(style.outline, style.outlineWidth, UnitWorld, outline.put()) == Ok)
        GdipDrawPath(graphics, outline.get(), body.get());

    if (style.dropGlyph)
        drawDropGlyph(graphics, style);
    else
        drawWallpaperGlyph(graphics, style);

    PenOwner grip;
    if (GdipCreatePen1(style.ink, 1.5f, UnitWorld, grip.put()) == Ok) {
        GdipSetPenStartCap(grip.get(), LineCapRound);
        GdipSetPenEndCap(grip.get(), LineCapRound);
        GdipDrawLine(graphics, grip.get(), 47, 55.5f, 55.5f, 47);
        GdipDrawLine(graphics, grip.get(), 52, 55.5f, 55.5f, 52);
    }
}

} // namespace

WidgetRenderer::~WidgetRenderer()
{
    if (gdiplusToken_ != 0)
        GdiplusShutdown(gdiplusToken_);
}

bool WidgetRenderer::startGdiplus() noexcept
{
    if (gdiplusToken_ != 0)
        return true;
    // Loaded from System32 before the first call, so that the delay-loaded functions bind
    // to it and never to a gdiplus.dll planted beside the program; a missing library is a
    // plain failure here instead of an exception from the delay-load helper.
    if (!LoadLibraryExW(L"gdiplus.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32))
        return false;
    GdiplusStartupInput input;
    ULONG_PTR token = 0;
    if (GdiplusStartup(&token, &input, nullptr) != Ok)
        return false;
    gdiplusToken_ = token;
    return true;
}

HRESULT WidgetRenderer::drawFace(int edge, WidgetVisualState state, const SystemColours& colours,
                                 std::uint32_t* pixels) noexcept
{
    if (edge <= 0 || !pixels)
        return E_INVALIDARG;
    if (!startGdiplus())
        return E_FAIL;
    BitmapOwner target;
    BitmapOwner large;
    if (GdipCreateBitmapFromScan0(edge, edge, 4 * edge, PixelFormat32bppPARGB, reinterpret_cast<BYTE*>(pixels),
                                  target.put()) != Ok ||
        GdipCreateBitmapFromScan0(2 * edge, 2 * edge, 0, PixelFormat32bppPARGB, nullptr, large.put()) != Ok)
        return E_OUTOFMEMORY;
    {
        GraphicsOwner graphics;
        if (GdipGetImageGraphicsContext(large.get(), graphics.put()) != Ok)
            return E_FAIL;
        drawWidgetFace(graphics.get(), 2 * edge, faceStyleFor(state, colours));
    }
    GraphicsOwner graphics;
    if (GdipGetImageGraphicsContext(target.get(), graphics.put()) != Ok)
        return E_FAIL;
    GdipSetCompositingMode(graphics.get(), CompositingModeSourceCopy);
    GdipSetInterpolationMode(graphics.get(), InterpolationModeHighQualityBicubic);
    GdipSetPixelOffsetMode(graphics.get(), PixelOffsetModeHalf);
    const bool drawn = GdipDrawImageRectI(graphics.get(), large.get(), 0, 0, edge, edge) == Ok;
    ++facesDrawn_;
    return drawn ? S_OK : E_FAIL;
}

bool WidgetRenderer::presentWidget(HWND window, const RECT& rect, WidgetVisualState state) noexcept
{
    const int edge = rect.right - rect.left;
    if (edge <= 0)
        return false;
    if (cachedEdge_ == edge && cachedState_ == state) {
        RECT current{};
        if (GetWindowRect(window, &current) && EqualRect(&current, &rect))
            return true;
        return SetWindowPos(window, nullptr, rect.left, rect.top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE) !=
               FALSE;
    }

    const UniqueMemoryDc dc(CreateCompatibleDC(nullptr));
    if (!dc)
        return false;
    void* bits = nullptr;
    const UniqueBitmap dib(createFaceBitmap(dc.get(), edge, &bits));
    if (!dib || !bits)
        return false;
    const SystemColours colours = SystemColours::current();
    if (FAILED(drawFace(edge, state, colours, static_cast<std::uint32_t*>(bits))))
        return false;

    const ScopedSelection selected(dc.get(), dib.get());
    POINT destination{rect.left, rect.top};
    SIZE size{edge, edge};
    POINT source{0, 0};
    BLENDFUNCTION blend{AC_SRC_OVER, 0, faceStyleFor(state, colours).windowAlpha, AC_SRC_ALPHA};
    if (!UpdateLayeredWindow(window, nullptr, &destination, &size, dc.get(), &source, 0, &blend, ULW_ALPHA))
        return false;
    cachedEdge_ = edge;
    cachedState_ = state;
    return true;
}
