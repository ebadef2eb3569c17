#include "wallpaper/file_rules.h"

#include "platform/paths.h"
#include "platform/unique_handle.h"

#include <shlwapi.h>
#include <wrl/client.h>

#include <algorithm>
#include <utility>

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

bool naturalNameLess(const std::wstring& left, const std::wstring& right)
{
    return StrCmpLogicalW(left.c_str() + fileNameOffset(left), right.c_str() + fileNameOffset(right)) < 0;
}

void sortByNaturalName(std::vector<std::wstring>& paths)
{
    // Each name is found once rather than at every comparison; the sort then moves indices.
    struct Entry {
        const wchar_t* name;
        std::size_t index;
    };
    std::vector<Entry> entries;
    entries.reserve(paths.size());
    for (std::size_t i = 0; i < paths.size(); ++i)
        entries.push_back({paths[i].c_str() + fileNameOffset(paths[i]), i});
    std::stable_sort(entries.begin(), entries.end(),
                     [](const Entry& a, const Entry& b) { return StrCmpLogicalW(a.name, b.name) < 0; });

    std::vector<std::wstring> sorted;
    sorted.reserve(paths.size());
    for (const Entry& entry : entries)
        sorted.push_back(std::move(paths[entry.index]));
    paths = std::move(sorted);
}

FileListCheck prepareFileList(IWICImagingFactory& factory, std::vector<std::wstring> paths)
{
    FileListCheck check;
    if (!isValidSelection(paths)) {
        check.code = E_INVALIDARG;
        check.message = &kInvalidSelection;
        return check;
    }
    if (isVideo(paths.front())) {
        check.mode = ModeVideo;
        check.paths = std::move(paths);
        return check;
    }

    // Probed in the order given, so that a failure names the first bad file the user listed.
    for (const std::wstring& path : paths) {
        Microsoft::WRL::ComPtr<IWICBitmapFrameDecode> frame;
        if (const HRESULT hr = openImageFrame(factory, path, &frame); FAILED(hr)) {
            check.code = hr;
            check.message = &kImageOpenFailedPrefix;
            check.messageSuffix = fileNameOf(path);
            return check;
        }
    }

    sortByNaturalName(paths);
    check.mode = paths.size() == 1 ? ModeStill : ModeSlideshow;
    check.paths = std::move(paths);
    return check;
}
