#include "tests/support/png_pixels.h"

#include <objbase.h>
#include <wincodec.h>
#include <wrl/client.h>

#include <cstdlib>

using Microsoft::WRL::ComPtr;

namespace {

ComPtr<IWICImagingFactory> imagingFactory()
{
    ComPtr<IWICImagingFactory> factory;
    CoCreateInstance(CLSID_WICImagingFactory2, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&factory));
    return factory;
}

// Straight alpha for the file, so that any viewer shows the picture as it is meant.
std::uint32_t unpremultiply(std::uint32_t pixel)
{
    const std::uint32_t alpha = pixel >> 24;
    if (alpha == 0)
        return 0;
    auto channel = [&](int shift) {
        const std::uint32_t value = (pixel >> shift & 0xFF) * 255 + alpha / 2;
        const std::uint32_t straight = value / alpha;
        return (straight > 255 ? 255 : straight) << shift;
    };
    return alpha << 24 | channel(16) | channel(8) | channel(0);
}

std::uint32_t premultiply(std::uint32_t pixel)
{
    const std::uint32_t alpha = pixel >> 24;
    auto channel = [&](int shift) { return ((pixel >> shift & 0xFF) * alpha + 127) / 255 << shift; };
    return alpha << 24 | channel(16) | channel(8) | channel(0);
}

} // namespace

bool savePng(const std::wstring& path, const PixelImage& image)
{
    const ComPtr<IWICImagingFactory> factory = imagingFactory();
    if (!factory)
        return false;
    std::vector<std::uint32_t> straight(image.pixels.size());
    for (std::size_t i = 0; i < straight.size(); ++i)
        straight[i] = unpremultiply(image.pixels[i]);

    ComPtr<IWICStream> stream;
    ComPtr<IWICBitmapEncoder> encoder;
    ComPtr<IWICBitmapFrameEncode> frame;
    WICPixelFormatGUID format = GUID_WICPixelFormat32bppBGRA;
    const UINT stride = static_cast<UINT>(image.width) * 4;
    return SUCCEEDED(factory->CreateStream(&stream)) &&
           SUCCEEDED(stream->InitializeFromFilename(path.c_str(), GENERIC_WRITE)) &&
           SUCCEEDED(factory->CreateEncoder(GUID_ContainerFormatPng, nullptr, &encoder)) &&
           SUCCEEDED(encoder->Initialize(stream.Get(), WICBitmapEncoderNoCache)) &&
           SUCCEEDED(encoder->CreateNewFrame(&frame, nullptr)) && SUCCEEDED(frame->Initialize(nullptr)) &&
           SUCCEEDED(frame->SetSize(static_cast<UINT>(image.width), static_cast<UINT>(image.height))) &&
           SUCCEEDED(frame->SetPixelFormat(&format)) && format == GUID_WICPixelFormat32bppBGRA &&
           SUCCEEDED(frame->WritePixels(static_cast<UINT>(image.height), stride, stride * image.height,
                                        reinterpret_cast<BYTE*>(straight.data()))) &&
           SUCCEEDED(frame->Commit()) && SUCCEEDED(encoder->Commit());
}

PixelImage loadPng(const std::wstring& path)
{
    PixelImage image;
    const ComPtr<IWICImagingFactory> factory = imagingFactory();
    ComPtr<IWICBitmapDecoder> decoder;
    ComPtr<IWICBitmapFrameDecode> frame;
    ComPtr<IWICFormatConverter> converter;
    UINT width = 0;
    UINT height = 0;
    if (!factory ||
        FAILED(factory->CreateDecoderFromFilename(path.c_str(), nullptr, GENERIC_READ, WICDecodeMetadataCacheOnLoad,
                                                  &decoder)) ||
        FAILED(decoder->GetFrame(0, &frame)) || FAILED(frame->GetSize(&width, &height)) ||
        FAILED(factory->CreateFormatConverter(&converter)) ||
        FAILED(converter->Initialize(frame.Get(), GUID_WICPixelFormat32bppBGRA, WICBitmapDitherTypeNone, nullptr, 0,
                                     WICBitmapPaletteTypeCustom)))
        return image;
    std::vector<std::uint32_t> pixels(static_cast<std::size_t>(width) * height);
    if (FAILED(converter->CopyPixels(nullptr, width * 4, width * height * 4, reinterpret_cast<BYTE*>(pixels.data()))))
        return image;
    for (std::uint32_t& pixel : pixels)
        pixel = premultiply(pixel);
    image.width = static_cast<int>(width);
    image.height = static_cast<int>(height);
    image.pixels = std::move(pixels);
    return image;
}

PixelDifference comparePixels(const PixelImage& left, const PixelImage& right, int tolerance)
{
    PixelDifference difference;
    if (left.width != right.width || left.height != right.height) {
        difference.differing = left.pixels.size() > right.pixels.size() ? left.pixels.size() : right.pixels.size();
        difference.largest = 255;
        return difference;
    }
    for (std::size_t i = 0; i < left.pixels.size(); ++i) {
        int worst = 0;
        for (int shift = 0; shift < 32; shift += 8) {
            const int d = std::abs(static_cast<int>(left.pixels[i] >> shift & 0xFF) -
                                   static_cast<int>(right.pixels[i] >> shift & 0xFF));
            worst = d > worst ? d : worst;
        }
        if (worst > tolerance)
            ++difference.differing;
        difference.largest = worst > difference.largest ? worst : difference.largest;
    }
    return difference;
}
