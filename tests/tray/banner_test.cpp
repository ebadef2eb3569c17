// The logo banner at the top of the context menu: its size per DPI, its pixels, and how
// it lands in the menu item. The logo is read from peltorine.exe's own resources.
#include <gtest/gtest.h>

#include <windows.h>
#include <objbase.h>
#include <wincodec.h>
#include <wrl/client.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "tray/banner.h"

using Microsoft::WRL::ComPtr;

namespace {

constexpr UINT kBannerItemId = 11;

struct Pixel {
    BYTE blue, green, red, alpha;
    bool operator==(const Pixel&) const = default;
};

class BannerTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        std::wstring path = L"" PELTORINE_EXE_PATH;
        std::replace(path.begin(), path.end(), L'/', L'\\');
        module = LoadLibraryExW(path.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
    }
    static void TearDownTestSuite()
    {
        if (module)
            FreeLibrary(module);
        module = nullptr;
    }

    void SetUp() override
    {
        ASSERT_NE(nullptr, module);
        ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)));
        ASSERT_EQ(S_OK,
                  CoCreateInstance(CLSID_WICImagingFactory2, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&factory)));
        menu = CreatePopupMenu();
        ASSERT_NE(nullptr, menu);
        AppendMenuW(menu, MF_STRING, 4, L"Choose wallpaper…");
    }
    void TearDown() override
    {
        if (menu)
            DestroyMenu(menu);
        factory.Reset();
        CoUninitialize();
    }

    // The banner's pixels, row by row from the top.
    static std::vector<Pixel> pixelsOf(const BannerImage& banner)
    {
        DIBSECTION section{};
        if (GetObjectW(banner.bitmap.get(), sizeof(section), &section) != sizeof(section) || !section.dsBm.bmBits)
            return {};
        const auto* first = static_cast<const Pixel*>(section.dsBm.bmBits);
        return std::vector<Pixel>(first, first + static_cast<std::size_t>(banner.width) * banner.height);
    }

    // resources/banner.png decoded from the file, scaled and premultiplied, top row first.
    std::vector<Pixel> logoFromSourceTree(int width, int height) const
    {
        std::wstring path = L"" PELTORINE_SOURCE_DIR "/resources/banner.png";
        std::replace(path.begin(), path.end(), L'/', L'\\');
        ComPtr<IWICBitmapDecoder> decoder;
        ComPtr<IWICBitmapFrameDecode> frame;
        ComPtr<IWICBitmapScaler> scaler;
        ComPtr<IWICFormatConverter> converter;
        std::vector<Pixel> pixels(static_cast<std::size_t>(width) * height);
        if (FAILED(factory->CreateDecoderFromFilename(path.c_str(), nullptr, GENERIC_READ, WICDecodeMetadataCacheOnLoad,
                                                      &decoder)) ||
            FAILED(decoder->GetFrame(0, &frame)) || FAILED(factory->CreateBitmapScaler(&scaler)) ||
            FAILED(scaler->Initialize(frame.Get(), width, height, WICBitmapInterpolationModeFant)) ||
            FAILED(factory->CreateFormatConverter(&converter)) ||
            FAILED(converter->Initialize(scaler.Get(), GUID_WICPixelFormat32bppPBGRA, WICBitmapDitherTypeNone, nullptr,
                                         0.0, WICBitmapPaletteTypeCustom)) ||
            FAILED(
                converter->CopyPixels(nullptr, width * 4, width * height * 4, reinterpret_cast<BYTE*>(pixels.data()))))
            return {};
        return pixels;
    }

    static inline HMODULE module = nullptr;
    ComPtr<IWICImagingFactory> factory;
    HMENU menu = nullptr;
};

struct BannerSize {
    UINT dpi;
    int width, height, margin;
    UINT itemWidth, itemHeight;
};

class BannerSizeTest : public BannerTest, public ::testing::WithParamInterface<BannerSize> {};

TEST_P(BannerSizeTest, IsScaledForTheDisplayAndKeepsTheLogosShape)
{
    const BannerSize& expected = GetParam();
    BannerImage banner;
    ASSERT_TRUE(insertBannerItem(banner, menu, kBannerItemId, factory.Get(), module, expected.dpi));

    EXPECT_EQ(expected.width, banner.width);
    EXPECT_EQ(expected.height, banner.height);
    EXPECT_EQ(expected.margin, banner.margin);

    DIBSECTION section{};
    ASSERT_EQ(static_cast<int>(sizeof(section)), GetObjectW(banner.bitmap.get(), sizeof(section), &section));
    EXPECT_EQ(expected.width, section.dsBm.bmWidth);
    EXPECT_EQ(expected.height, section.dsBm.bmHeight);
    EXPECT_EQ(32, section.dsBm.bmBitsPixel);
    // Row 0 of the section is the logo's top row: the pixels are the logo from the source tree,
    // scaled with the Fant filter and premultiplied.
    const std::vector<Pixel> logo = logoFromSourceTree(banner.width, banner.height);
    const std::vector<Pixel> pixels = pixelsOf(banner);
    ASSERT_EQ(logo.size(), pixels.size());
    std::size_t differing = 0;
    for (std::size_t i = 0; i < logo.size(); ++i)
        differing += logo[i] == pixels[i] ? 0 : 1;
    EXPECT_EQ(0u, differing) << "of " << logo.size() << " pixels";

    MEASUREITEMSTRUCT measure{};
    measure.CtlType = ODT_MENU;
    measure.itemID = kBannerItemId;
    measureBannerItem(banner, measure);
    EXPECT_EQ(expected.itemWidth, measure.itemWidth);
    EXPECT_EQ(expected.itemHeight, measure.itemHeight);
}

INSTANTIATE_TEST_SUITE_P(Dpi, BannerSizeTest,
                         ::testing::Values(BannerSize{96, 142, 39, 8, 158, 55}, BannerSize{144, 213, 59, 12, 237, 83}),
                         [](const ::testing::TestParamInfo<BannerSize>& info) {
                             return "At" + std::to_string(info.param.dpi);
                         });

TEST_F(BannerTest, IsADisabledOwnerDrawnItemAtTheTopThatCarriesTheBanner)
{
    BannerImage banner;
    ASSERT_TRUE(insertBannerItem(banner, menu, kBannerItemId, factory.Get(), module, 96));

    ASSERT_EQ(2, GetMenuItemCount(menu));
    wchar_t text[32] = {};
    MENUITEMINFOW item{};
    item.cbSize = sizeof(item);
    item.fMask = MIIM_STATE | MIIM_ID | MIIM_STRING | MIIM_DATA | MIIM_FTYPE;
    item.dwTypeData = text;
    item.cch = 32;
    ASSERT_TRUE(GetMenuItemInfoW(menu, 0, TRUE, &item));
    EXPECT_EQ(kBannerItemId, item.wID);
    EXPECT_TRUE(item.fType & MFT_OWNERDRAW);
    EXPECT_EQ(static_cast<UINT>(MFS_DISABLED), item.fState & MFS_DISABLED);
    EXPECT_EQ(reinterpret_cast<ULONG_PTR>(&banner), item.dwItemData);
    EXPECT_STREQ(L"Peltorine", text);
    EXPECT_EQ(4u, GetMenuItemID(menu, 1)) << "the other items follow the banner";
}

TEST_F(BannerTest, PixelsArePremultipliedWithATransparentBackground)
{
    BannerImage banner;
    ASSERT_TRUE(insertBannerItem(banner, menu, kBannerItemId, factory.Get(), module, 96));
    const std::vector<Pixel> pixels = pixelsOf(banner);
    ASSERT_EQ(142u * 39u, pixels.size());

    int transparent = 0;
    int opaque = 0;
    for (const Pixel& pixel : pixels) {
        ASSERT_LE(pixel.blue, pixel.alpha);
        ASSERT_LE(pixel.green, pixel.alpha);
        ASSERT_LE(pixel.red, pixel.alpha);
        transparent += pixel.alpha == 0;
        opaque += pixel.alpha == 255;
    }
    EXPECT_GT(transparent, 0);
    EXPECT_GT(opaque, 0);
    // The logo's top-right corner is background.
    const Pixel corner = pixels[141];
    EXPECT_EQ(0, corner.alpha);
    EXPECT_EQ(0, corner.blue + corner.green + corner.red);
}

TEST_F(BannerTest, IsDrawnCentredOverTheMenuColour)
{
    BannerImage banner;
    ASSERT_TRUE(insertBannerItem(banner, menu, kBannerItemId, factory.Get(), module, 96));
    const std::vector<Pixel> logo = pixelsOf(banner);
    ASSERT_FALSE(logo.empty());

    // A menu 300 pixels wide, so the banner is centred with menu colour on both sides.
    constexpr int kWidth = 300;
    constexpr int kHeight = 55;
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = kWidth;
    info.bmiHeader.biHeight = -kHeight;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    const HBITMAP target = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    ASSERT_NE(nullptr, target);
    std::memset(bits, 0x5A, kWidth * kHeight * 4); // anything but the menu colour
    const HDC dc = CreateCompatibleDC(nullptr);
    const HGDIOBJ previous = SelectObject(dc, target);

    DRAWITEMSTRUCT draw{};
    draw.CtlType = ODT_MENU;
    draw.itemID = kBannerItemId;
    draw.itemAction = ODA_DRAWENTIRE;
    draw.itemState = ODS_DISABLED;
    draw.hDC = dc;
    draw.rcItem = RECT{0, 0, kWidth, kHeight};
    draw.itemData = reinterpret_cast<ULONG_PTR>(&banner);
    drawBannerItem(banner, draw);
    GdiFlush();

    const auto* drawn = static_cast<const Pixel*>(bits);
    const auto at = [&](int x, int y) { return drawn[y * kWidth + x]; };
    const COLORREF menuColour = GetSysColor(COLOR_MENU);
    const auto isMenuColour = [&](Pixel pixel) {
        return pixel.red == GetRValue(menuColour) && pixel.green == GetGValue(menuColour) &&
               pixel.blue == GetBValue(menuColour);
    };
    const int left = (kWidth - 142) / 2; // 79
    EXPECT_TRUE(isMenuColour(at(0, 0)));
    EXPECT_TRUE(isMenuColour(at(left - 1, 20))) << "left of the banner";
    EXPECT_TRUE(isMenuColour(at(left + 142, 20))) << "right of the banner";
    EXPECT_TRUE(isMenuColour(at(150, 7))) << "the margin above";
    EXPECT_TRUE(isMenuColour(at(150, 8 + 39))) << "the margin below";
    EXPECT_TRUE(isMenuColour(at(left + 141, 8))) << "a transparent pixel of the logo";

    // Every opaque pixel of the logo shows as it is, 8 pixels down and centred.
    int compared = 0;
    for (int y = 0; y < banner.height; ++y) {
        for (int x = 0; x < banner.width; ++x) {
            const Pixel source = logo[y * banner.width + x];
            if (source.alpha != 255)
                continue;
            const Pixel shown = at(left + x, 8 + y);
            ASSERT_EQ(source.red, shown.red) << x << "," << y;
            ASSERT_EQ(source.green, shown.green) << x << "," << y;
            ASSERT_EQ(source.blue, shown.blue) << x << "," << y;
            ++compared;
        }
    }
    EXPECT_GT(compared, 100);

    SelectObject(dc, previous);
    DeleteDC(dc);
    DeleteObject(target);
}

TEST_F(BannerTest, NoBannerWithoutTheLogoResourceOrAnImagingFactory)
{
    BannerImage banner;
    // The test program itself carries no logo.
    EXPECT_FALSE(insertBannerItem(banner, menu, kBannerItemId, factory.Get(), GetModuleHandleW(nullptr), 96));
    EXPECT_FALSE(insertBannerItem(banner, menu, kBannerItemId, nullptr, module, 96));
    EXPECT_EQ(1, GetMenuItemCount(menu));
}

} // namespace
