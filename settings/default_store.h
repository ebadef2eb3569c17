#pragma once
// The stored default wallpaper: the user's chosen picture, copied into the data folder so that
// it survives when the original is moved or deleted.
#include <windows.h>
#include <wincodec.h>

#include <string>

#include "settings/settings.h"

struct DefaultStoreResult {
    HRESULT code = S_OK;
    // The copy was made but the settings file did not take its name; the copy is gone again.
    bool settingsFailed = false;
};

// Checks that source is a PNG or JPEG picture, copies it into the data folder under a fresh
// name (keeping its extension) and makes it the stored default. Nothing is left behind on failure.
[[nodiscard]] DefaultStoreResult storeDefaultWallpaper(Settings& settings, IWICImagingFactory* imagingFactory,
                                                       const std::wstring& source) noexcept;
