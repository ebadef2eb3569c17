#pragma once
#include <windows.h>
#include <wincodec.h>

#include <string>
#include <string_view>
#include <vector>

#include "platform/paths.h"
#include "tray/strings.h"
#include "wallpaper/wallpaper_state.h"

// What a file is, by its name. They look at text only; nothing touches the disk.
[[nodiscard]] std::wstring extensionOf(std::wstring_view path);
[[nodiscard]] bool isPicture(std::wstring_view path);
[[nodiscard]] bool isVideo(std::wstring_view path);
[[nodiscard]] bool isValidSelection(const std::vector<std::wstring>& paths);

// Opens the first frame of a PNG or JPEG file; any other container is refused.
[[nodiscard]] HRESULT openImageFrame(IWICImagingFactory& factory, const std::wstring& path,
                                     IWICBitmapFrameDecode** frame) noexcept;

// Natural (logical) order of file names, as the shell sorts them; folders are ignored.
[[nodiscard]] bool naturalNameLess(const std::wstring& left, const std::wstring& right);
void sortByNaturalName(std::vector<std::wstring>& paths);

// The outcome of checking a dropped or chosen list of files.
struct FileListCheck {
    HRESULT code = S_OK;
    const LocalizedText* message = nullptr; // set on failure
    std::wstring messageSuffix;             // the file name after "Couldn't open image "
    WallpaperMode mode = ModeNone;
    std::vector<std::wstring> paths; // pictures in natural order, or the one video
};
[[nodiscard]] FileListCheck prepareFileList(IWICImagingFactory& factory, std::vector<std::wstring> paths);
