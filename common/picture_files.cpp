#include "common/picture_files.h"

#include <wrl/client.h>

#include <algorithm>
#include <utility>

#include "platform/paths.h"
#include "platform/unique_handle.h"

std::wstring extensionOf(std::wstring_view path)
{
    std::wstring_view name = path.substr(fileNameOffset(path));
    // An alternate data stream (a.png:thumb) does not change what the file is.
    name = name.substr(0, name.find(L':'));
    if (name.size() <= 1 || name == L"..")
        return {};
    const std::size_t dot = name.rfind(L'.');
    if (dot == std::wstring_view::npos || dot == 0)
        return {};
    return std::wstring(name.substr(dot));
}

bool isPicture(std::wstring_view path)
{
    const std::wstring extension = extensionOf(path);
    return equalsIgnoringAsciiCase(extension, L".png") || equalsIgnoringAsciiCase(extension, L".jpg") ||
           equalsIgnoringAsciiCase(extension, L".jpeg");
}

bool isVideo(std::wstring_view path)
{
    return equalsIgnoringAsciiCase(extensionOf(path), L".mp4");
}

bool isValidSelection(const std::vector<std::wstring>& paths)
{
    if (paths.empty())
        return false;
    if (paths.size() == 1 && isVideo(paths.front()))
        return true;
    return std::all_of(paths.begin(), paths.end(), [](const std::wstring& path) { return isPicture(path); });
}

HRESULT openImageFrame(IWICImagingFactory& factory, const std::wstring& path, IWICBitmapFrameDecode** frame) noexcept
{
    if (frame == nullptr)
        return E_POINTER;

    Microsoft::WRL::ComPtr<IWICBitmapDecoder> decoder;
    if (const HRESULT hr = factory.CreateDecoderFromFilename(path.c_str(), nullptr, GENERIC_READ,
                                                             WICDecodeMetadataCacheOnDemand, &decoder);
        FAILED(hr))
        return hr;

    GUID container{};
    if (const HRESULT hr = decoder->GetContainerFormat(&container); FAILED(hr))
        return hr;
    // The extension only routes a file; the content decides whether it is a picture we show.
    if (container != GUID_ContainerFormatPng && container != GUID_ContainerFormatJpeg)
        return WINCODEC_ERR_UNKNOWNIMAGEFORMAT;

    // The slot may still hold an earlier frame; it is let go before the new one arrives.
    adoptReference(std::exchange(*frame, nullptr)).Reset();
    return decoder->GetFrame(0, frame);
}
