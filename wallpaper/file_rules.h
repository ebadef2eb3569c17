#pragma once
#include <windows.h>
#include <wincodec.h>

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "common/picture_files.h"
#include "platform/paths.h"
#include "common/strings.h"
#include "wallpaper/wallpaper_state.h"

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
// Checks a list the user handed over: a list we cannot take, one video, or pictures that all open.
// stopRequested, asked before each picture, ends an abandoned check early with E_ABORT.
[[nodiscard]] FileListCheck prepareFileList(IWICImagingFactory& factory, std::vector<std::wstring> paths,
                                            const std::function<bool()>& stopRequested = {});
