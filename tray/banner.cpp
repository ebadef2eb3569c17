#include "tray/banner.h"

#include <wrl/client.h>

#include "platform/unique_handle.h"
#include "resources/resource_ids.h"
#include "common/strings.h"

using Microsoft::WRL::ComPtr;

namespace {

// The logo's PNG bytes as the module carries them; empty when it does not.
bool bannerResource(HINSTANCE instance, const BYTE*& data, DWORD& size) noexcept
{
    const HRSRC found = FindResourceW(instance, MAKEINTRESOURCEW(kBannerResourceId), RT_RCDATA);
    if (!found)
        return false;
    const HGLOBAL loaded = LoadResource(instance, found);
    data = loaded ? static_cast<const BYTE*>(LockResource(loaded)) : nullptr;
    size = SizeofResource(instance, found);
    return data != nullptr && size != 0;
}

// Decodes, scales and premultiplies the logo into banner.bitmap at banner's size.
bool decodeBanner(BannerImage& banner, IWICImagingFactory& factory, const BYTE* data, DWORD size, UINT dpi) noexcept
{
    ComPtr<IWICStream> stream;
    if (FAILED(factory.CreateStream(&stream)) || FAILED(stream->InitializeFromMemory(const_cast<BYTE*>(data), size)))
        return false;
    ComPtr<IWICBitmapDecoder> decoder;
    if (FAILED(factory.CreateDecoderFromStream(stream.Get(), nullptr, WICDecodeMetadataCacheOnLoad, &decoder)))
        return false;
    ComPtr<IWICBitmapFrameDecode> frame;
    if (FAILED(decoder->GetFrame(0, &frame)))
        return false;
    UINT sourceWidth = 0;
    UINT sourceHeight = 0;
    if (FAILED(frame->GetSize(&sourceWidth, &sourceHeight)) || sourceWidth == 0 || sourceHeight == 0)
        return false;

    banner.width = MulDiv(kBannerDesignWidth, static_cast<int>(dpi), 96);
    banner.height = MulDiv(static_cast<int>(sourceHeight), banner.width, static_cast<int>(sourceWidth));
    banner.margin = MulDiv(kBannerDesignMargin, static_cast<int>(dpi), 96);

    ComPtr<IWICBitmapScaler> scaler;
    if (FAILED(factory.CreateBitmapScaler(&scaler)) ||
        FAILED(scaler->Initialize(frame.Get(), static_cast<UINT>(banner.width), static_cast<UINT>(banner.height),
                                  WICBitmapInterpolationModeFant)))
        return false;
    // Blending with per-pixel alpha wants premultiplied samples.
    ComPtr<IWICFormatConverter> converter;
    if (FAILED(factory.CreateFormatConverter(&converter)) ||
        FAILED(converter->Initialize(scaler.Get(), GUID_WICPixelFormat32bppPBGRA, WICBitmapDitherTypeNone, nullptr, 0.0,
                                     WICBitmapPaletteTypeCustom)))
        return false;

    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = banner.width;
    info.bmiHeader.biHeight = -banner.height; // top-down rows, as WIC writes them
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    banner.bitmap.reset(CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0));
    if (!banner.bitmap || !bits)
        return false;
    const UINT stride = static_cast<UINT>(banner.width) * 4;
    return SUCCEEDED(
        converter->CopyPixels(nullptr, stride, stride * static_cast<UINT>(banner.height), static_cast<BYTE*>(bits)));
}

} // namespace

bool insertBannerItem(BannerImage& banner, HMENU menu, UINT itemId, IWICImagingFactory* imagingFactory,
                      HINSTANCE instance, UINT dpi) noexcept
{
    const BYTE* data = nullptr;
    DWORD size = 0;
    if (!imagingFactory || !bannerResource(instance, data, size))
        return false;
    if (!decodeBanner(banner, *imagingFactory, data, size, dpi))
        return false;

    MENUITEMINFOW item{};
    item.cbSize = sizeof(item);
    item.fMask = MIIM_STATE | MIIM_ID | MIIM_STRING | MIIM_DATA | MIIM_FTYPE;
    item.fType = MFT_OWNERDRAW;
    item.fState = MFS_DISABLED;
    item.wID = itemId;
    item.dwItemData = reinterpret_cast<ULONG_PTR>(&banner);
    // Never drawn; accessibility tools read it.
    item.dwTypeData = const_cast<wchar_t*>(kProductName);
    return InsertMenuItemW(menu, 0, TRUE, &item) != FALSE;
}

void measureBannerItem(const BannerImage& banner, MEASUREITEMSTRUCT& item) noexcept
{
    item.itemWidth = static_cast<UINT>(banner.width + 2 * banner.margin);
    item.itemHeight = static_cast<UINT>(banner.height + 2 * banner.margin);
}

void drawBannerItem(const BannerImage& banner, const DRAWITEMSTRUCT& item) noexcept
{
    const RECT& area = item.rcItem;
    FillRect(item.hDC, &area, GetSysColorBrush(COLOR_MENU));
    const UniqueMemoryDc source(CreateCompatibleDC(item.hDC));
    if (!source)
        return;
    const ScopedSelection selection(source.get(), banner.bitmap.get());
    // Centred across the menu's width, whatever state the item is drawn in.
    const int x = area.left + (area.right - banner.width - area.left) / 2;
    const int y = area.top + banner.margin;
    const BLENDFUNCTION blend{AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
    // gdi32's own entry point: AlphaBlend would bring in msimg32.dll, which is not a known DLL
    // and so could be planted beside the program.
    GdiAlphaBlend(item.hDC, x, y, banner.width, banner.height, source.get(), 0, 0, banner.width, banner.height, blend);
}
