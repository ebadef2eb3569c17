#include "tools/desktop/wallpaper_painter.h"

#include "platform/win32_error.h"
#include "tools/desktop/wallpaper_layout.h"

#include <algorithm>
#include <limits>

using Microsoft::WRL::ComPtr;

namespace {

constexpr UINT kLargestPictureSide = 16384;

// A frame-sized or picture-sized 32-bit top-down DIB section.
UniqueBitmap createDib(long width, long height, void** bits) noexcept
{
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    return UniqueBitmap(CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, bits, nullptr, 0));
}

// Averages blocks of factor x factor pixels. GDI's HALFTONE stretch looks at a few source
// pixels per target pixel only, so a picture shrunk much further than half would alias.
UniqueBitmap shrunkByAveraging(const std::uint32_t* pixels, SIZE size, long factor, SIZE& shrunkSize) noexcept
{
    shrunkSize = {size.cx / factor, size.cy / factor};
    void* bits = nullptr;
    UniqueBitmap shrunk = createDib(shrunkSize.cx, shrunkSize.cy, &bits);
    if (!shrunk)
        return shrunk;
    auto* target = static_cast<std::uint32_t*>(bits);
    const auto count = static_cast<std::uint32_t>(factor * factor);
    for (long y = 0; y < shrunkSize.cy; ++y) {
        for (long x = 0; x < shrunkSize.cx; ++x) {
            std::uint32_t blue = 0;
            std::uint32_t green = 0;
            std::uint32_t red = 0;
            for (long dy = 0; dy < factor; ++dy) {
                const std::uint32_t* row = pixels + (y * factor + dy) * size.cx + x * factor;
                for (long dx = 0; dx < factor; ++dx) {
                    blue += row[dx] & 0xFF;
                    green += (row[dx] >> 8) & 0xFF;
                    red += (row[dx] >> 16) & 0xFF;
                }
            }
            target[y * shrunkSize.cx + x] = (blue / count) | ((green / count) << 8) | ((red / count) << 16);
        }
    }
    return shrunk;
}

RECT offsetRect(RECT rect, long dx, long dy) noexcept
{
    OffsetRect(&rect, dx, dy);
    return rect;
}

} // namespace

WallpaperPainter::~WallpaperPainter()
{
    if (frameDc_ && frameDcDefault_)
        SelectObject(frameDc_.get(), frameDcDefault_);
}

HRESULT WallpaperPainter::initialize() noexcept
{
    if (const HRESULT hr =
            CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&imaging_));
        FAILED(hr))
        return hr;
    frameDc_.reset(CreateCompatibleDC(nullptr));
    return frameDc_ ? S_OK : E_FAIL;
}

void WallpaperPainter::compose(const DevDesktopState& state, const std::vector<DevDesktopMonitor>& monitors,
                               RECT screen) noexcept
{
    const long width = screen.right - screen.left;
    const long height = screen.bottom - screen.top;
    if (width <= 0 || height <= 0)
        return;
    if (!frame_ || !EqualRect(&screen, &screen_)) {
        void* bits = nullptr;
        UniqueBitmap frame = createDib(width, height, &bits);
        if (!frame)
            return;
        if (frameDcDefault_)
            SelectObject(frameDc_.get(), frameDcDefault_);
        frameDcDefault_ = SelectObject(frameDc_.get(), frame.get());
        frame_ = std::move(frame);
        screen_ = screen;
    }
    HDC dc = frameDc_.get();
    SelectClipRgn(dc, nullptr);
    const RECT all{0, 0, width, height};
    SetDCBrushColor(dc, state.backgroundColor & 0x00FFFFFF);
    FillRect(dc, &all, static_cast<HBRUSH>(GetStockObject(DC_BRUSH)));
    if (!state.enabled)
        return;

    // Only pictures still shown stay cached.
    std::vector<std::wstring> shown;
    if (state.position == DWPOS_SPAN) {
        // One picture over the rectangle around all displays: the first display's that has one.
        for (const DevDesktopMonitor& monitor : monitors) {
            const std::wstring* path = state.wallpaperOf(monitor.id);
            if (!path || path->empty())
                continue;
            shown.push_back(*path);
            RECT around = monitors.front().rect;
            for (const DevDesktopMonitor& other : monitors)
                UnionRect(&around, &around, &other.rect);
            if (const Picture* found = picture(*path))
                drawPicture(*found, DWPOS_SPAN, around, around);
            break;
        }
    } else {
        for (const DevDesktopMonitor& monitor : monitors) {
            const std::wstring* path = state.wallpaperOf(monitor.id);
            if (!path || path->empty())
                continue;
            shown.push_back(*path);
            if (const Picture* found = picture(*path))
                drawPicture(*found, state.position, monitor.rect, monitor.rect);
        }
    }
    SelectClipRgn(dc, nullptr);
    std::erase_if(pictures_, [&](const Picture& cached) {
        return std::find(shown.begin(), shown.end(), cached.path) == shown.end();
    });
}

void WallpaperPainter::drawPicture(const Picture& picture, DESKTOP_WALLPAPER_POSITION position, RECT area,
                                   RECT clip) noexcept
{
    HDC dc = frameDc_.get();
    const long dx = -screen_.left;
    const long dy = -screen_.top;
    const RECT clipInFrame = offsetRect(clip, dx, dy);
    SelectClipRgn(dc, nullptr);
    IntersectClipRect(dc, clipInFrame.left, clipInFrame.top, clipInFrame.right, clipInFrame.bottom);

    const UniqueMemoryDc source(CreateCompatibleDC(dc));
    if (!source)
        return;
    const ScopedSelection selection(source.get(), picture.bitmap.get());
    const PicturePlacement placement = placePicture(position, picture.size, area);
    const RECT first = offsetRect(placement.destination, dx, dy);
    const long drawnWidth = first.right - first.left;
    const long drawnHeight = first.bottom - first.top;
    if (drawnWidth <= 0 || drawnHeight <= 0)
        return;
    if (placement.tiled) {
        for (long top = first.top; top < clipInFrame.bottom; top += drawnHeight)
            for (long left = first.left; left < clipInFrame.right; left += drawnWidth)
                BitBlt(dc, left, top, drawnWidth, drawnHeight, source.get(), 0, 0, SRCCOPY);
        return;
    }
    if (drawnWidth == picture.size.cx && drawnHeight == picture.size.cy) {
        BitBlt(dc, first.left, first.top, drawnWidth, drawnHeight, source.get(), 0, 0, SRCCOPY);
        return;
    }
    // HALFTONE filters, so scaled pictures do not look blocky; much smaller ones are averaged
    // down first.
    HDC stretchSource = source.get();
    SIZE stretchSize = picture.size;
    UniqueMemoryDc shrunkDc;
    UniqueBitmap shrunk;
    HGDIOBJ shrunkDcDefault = nullptr;
    const long factor = std::min(picture.size.cx / drawnWidth, picture.size.cy / drawnHeight);
    if (factor >= 2 && picture.pixels) {
        shrunk = shrunkByAveraging(picture.pixels, picture.size, factor, stretchSize);
        shrunkDc.reset(CreateCompatibleDC(dc));
        if (shrunk && shrunkDc) {
            shrunkDcDefault = SelectObject(shrunkDc.get(), shrunk.get());
            stretchSource = shrunkDc.get();
        } else {
            stretchSize = picture.size;
        }
    }
    SetStretchBltMode(dc, HALFTONE);
    SetBrushOrgEx(dc, 0, 0, nullptr);
    StretchBlt(dc, first.left, first.top, drawnWidth, drawnHeight, stretchSource, 0, 0, stretchSize.cx, stretchSize.cy,
               SRCCOPY);
    if (shrunkDcDefault)
        SelectObject(shrunkDc.get(), shrunkDcDefault);
}

void WallpaperPainter::paint(HWND window, HDC dc, const RECT& area) const noexcept
{
    if (!frame_)
        return;
    POINT origin{0, 0};
    ClientToScreen(window, &origin);
    BitBlt(dc, area.left, area.top, area.right - area.left, area.bottom - area.top, frameDc_.get(),
           area.left + origin.x - screen_.left, area.top + origin.y - screen_.top, SRCCOPY);
}

const WallpaperPainter::Picture* WallpaperPainter::picture(const std::wstring& path) noexcept
{
    WIN32_FILE_ATTRIBUTE_DATA attributes{};
    if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &attributes))
        return nullptr;
    for (const Picture& cached : pictures_)
        if (cached.path == path && CompareFileTime(&cached.written, &attributes.ftLastWriteTime) == 0)
            return &cached;
    std::erase_if(pictures_, [&](const Picture& cached) { return cached.path == path; });
    try {
        Picture decoded;
        decoded.path = path;
        decoded.written = attributes.ftLastWriteTime;
        if (FAILED(decode(path, decoded)))
            return nullptr;
        pictures_.push_back(std::move(decoded));
        return &pictures_.back();
    } catch (...) {
        return nullptr;
    }
}

HRESULT WallpaperPainter::decode(const std::wstring& path, Picture& picture) noexcept
{
    ComPtr<IWICBitmapDecoder> decoder;
    if (const HRESULT hr = imaging_->CreateDecoderFromFilename(path.c_str(), nullptr, GENERIC_READ,
                                                               WICDecodeMetadataCacheOnDemand, &decoder);
        FAILED(hr))
        return hr;
    ComPtr<IWICBitmapFrameDecode> frame;
    if (const HRESULT hr = decoder->GetFrame(0, &frame); FAILED(hr))
        return hr;
    ComPtr<IWICFormatConverter> converter;
    if (const HRESULT hr = imaging_->CreateFormatConverter(&converter); FAILED(hr))
        return hr;
    if (const HRESULT hr = converter->Initialize(frame.Get(), GUID_WICPixelFormat32bppBGR, WICBitmapDitherTypeNone,
                                                 nullptr, 0.0, WICBitmapPaletteTypeCustom);
        FAILED(hr))
        return hr;
    UINT width = 0;
    UINT height = 0;
    if (const HRESULT hr = converter->GetSize(&width, &height); FAILED(hr))
        return hr;
    if (width == 0 || height == 0 || width > kLargestPictureSide || height > kLargestPictureSide)
        return WINCODEC_ERR_IMAGESIZEOUTOFRANGE;
    void* bits = nullptr;
    picture.bitmap = createDib(static_cast<long>(width), static_cast<long>(height), &bits);
    if (!picture.bitmap)
        return E_OUTOFMEMORY;
    const UINT stride = width * 4;
    if (const HRESULT hr = converter->CopyPixels(nullptr, stride, stride * height, static_cast<BYTE*>(bits));
        FAILED(hr))
        return hr;
    picture.size = {static_cast<long>(width), static_cast<long>(height)};
    picture.pixels = static_cast<const std::uint32_t*>(bits);
    return S_OK;
}
