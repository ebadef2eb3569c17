#pragma once
// What a file is, by its name and by its content: the pictures and the video we take.
#include <windows.h>
#include <wincodec.h>

#include <string>
#include <string_view>
#include <vector>

// By name only; nothing touches the disk.
[[nodiscard]] std::wstring extensionOf(std::wstring_view path);
[[nodiscard]] bool isPicture(std::wstring_view path);
[[nodiscard]] bool isVideo(std::wstring_view path);
// A list we can take: pictures only, or one video.
[[nodiscard]] bool isValidSelection(const std::vector<std::wstring>& paths);

// Opens the first frame of a PNG or JPEG file; any other container is refused.
[[nodiscard]] HRESULT openImageFrame(IWICImagingFactory& factory, const std::wstring& path,
                                     IWICBitmapFrameDecode** frame) noexcept;
