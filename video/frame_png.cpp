// The frame last transferred, read back from the graphics card and written as a PNG file.
#include "video/video_wallpaper.h"

#include "settings/file_system.h"

using Microsoft::WRL::ComPtr;

HRESULT VideoWallpaper::saveFramePng(IWICImagingFactory* imagingFactory, const std::wstring& path) noexcept
{
    if (!hasFrame)
        return HRESULT_FROM_WIN32(ERROR_NOT_READY);
    if (!imagingFactory)
        return E_POINTER;

    D3D11_TEXTURE2D_DESC description{};
    drawTexture->GetDesc(&description);
    description.Usage = D3D11_USAGE_STAGING;
    description.BindFlags = 0;
    description.CPUAccessFlags = D3D11_CPU_ACCESS_READ;
    description.MiscFlags = 0;
    ComPtr<ID3D11Texture2D> staging;
    if (const HRESULT hr = device->CreateTexture2D(&description, nullptr, &staging); FAILED(hr))
        return hr;
    context->CopyResource(staging.Get(), drawTexture.Get());

    D3D11_MAPPED_SUBRESOURCE mapped{};
    if (const HRESULT hr = context->Map(staging.Get(), 0, D3D11_MAP_READ, 0, &mapped); FAILED(hr))
        return hr;
    // The frame's fourth byte is no transparency: the pixels are read as 32-bit BGR.
    ComPtr<IWICBitmap> bitmap;
    HRESULT result = imagingFactory->CreateBitmapFromMemory(
        description.Width, description.Height, GUID_WICPixelFormat32bppBGR, mapped.RowPitch,
        mapped.RowPitch * description.Height, static_cast<BYTE*>(mapped.pData), &bitmap);
    context->Unmap(staging.Get(), 0);
    if (SUCCEEDED(result))
        result = writePngFile(imagingFactory, bitmap.Get(), path);
    return result;
}

namespace {

// The encoder and its stream let the file go when this returns.
HRESULT encodePng(IWICImagingFactory* imagingFactory, IWICBitmapSource* source, const std::wstring& path) noexcept
{
    UINT width = 0;
    UINT height = 0;
    if (const HRESULT hr = source->GetSize(&width, &height); FAILED(hr))
        return hr;
    ComPtr<IWICStream> stream;
    if (const HRESULT hr = imagingFactory->CreateStream(&stream); FAILED(hr))
        return hr;
    if (const HRESULT hr = stream->InitializeFromFilename(path.c_str(), GENERIC_WRITE); FAILED(hr))
        return hr;
    ComPtr<IWICBitmapEncoder> encoder;
    if (const HRESULT hr = imagingFactory->CreateEncoder(GUID_ContainerFormatPng, nullptr, &encoder); FAILED(hr))
        return hr;
    if (const HRESULT hr = encoder->Initialize(stream.Get(), WICBitmapEncoderNoCache); FAILED(hr))
        return hr;
    ComPtr<IWICBitmapFrameEncode> frame;
    if (const HRESULT hr = encoder->CreateNewFrame(&frame, nullptr); FAILED(hr))
        return hr;
    if (const HRESULT hr = frame->Initialize(nullptr); FAILED(hr))
        return hr;
    if (const HRESULT hr = frame->SetSize(width, height); FAILED(hr))
        return hr;
    if (const HRESULT hr = frame->WriteSource(source, nullptr); FAILED(hr))
        return hr;
    if (const HRESULT hr = frame->Commit(); FAILED(hr))
        return hr;
    return encoder->Commit();
}

} // namespace

HRESULT writePngFile(IWICImagingFactory* imagingFactory, IWICBitmapSource* source, const std::wstring& path) noexcept
{
    if (!imagingFactory || !source)
        return E_POINTER;
    // The frame appears under its name only whole: encoded beside it, flushed, then renamed.
    const std::wstring temporary = partialPathOf(path);
    HRESULT result = encodePng(imagingFactory, source, temporary);
    if (SUCCEEDED(result))
        result = flushFile(temporary);
    if (SUCCEEDED(result))
        result = win32FileSystem().moveIntoPlace(temporary, path, ExistingFile::Replace);
    if (FAILED(result))
        win32FileSystem().remove(temporary);
    return result;
}
