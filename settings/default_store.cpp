#include <windows.h>
#include <objbase.h>
#include <wincodec.h>
#include <wrl/client.h>

#include <string>

#include "settings/default_store.h"
#include "platform/win32_error.h"
#include "platform/paths.h"
#include "common/picture_files.h"

namespace {

constexpr std::wstring_view kDataFileExtension = L".png";

// Removes a copy this choice made. A read-only source gives a read-only copy, which
// DeleteFileW refuses, so the attribute goes first. Failures are ignored: at worst an
// unused file stays in the data folder.
void removeCopy(const std::wstring& path) noexcept
{
    SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    DeleteFileW(path.c_str());
}

} // namespace

DefaultStoreResult storeDefaultWallpaper(Settings& settings, IWICImagingFactory* imagingFactory,
                                         const std::wstring& source) noexcept
{
    HRESULT code = WINCODEC_ERR_UNKNOWNIMAGEFORMAT;
    // The probe's frame is only proof that the picture decodes; it is let go at the end.
    Microsoft::WRL::ComPtr<IWICBitmapFrameDecode> frame;
    if (isPicture(source))
        code = imagingFactory ? openImageFrame(*imagingFactory, source, &frame) : E_POINTER;

    std::wstring target = settings.newDataFilePath();
    // Set when the target name turned out to be taken: that file is not ours to remove.
    bool targetTaken = false;
    if (SUCCEEDED(code) && target.empty())
        code = E_FAIL;

    if (SUCCEEDED(code)) {
        // The copy keeps the picture's own extension, letter for letter.
        target.replace(target.size() - kDataFileExtension.size(), kDataFileExtension.size(), extensionOf(source));
        if (!CopyFileW(source.c_str(), target.c_str(), TRUE)) {
            const DWORD error = GetLastError();
            targetTaken = error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS;
            code = hresultFromWin32(error);
            // A copy that failed without saying why is still a failure.
            if (SUCCEEDED(code))
                code = E_FAIL;
        }
    }

    if (FAILED(code)) {
        if (!target.empty() && !targetTaken)
            removeCopy(target);
        return {code, false};
    }

    // The copy is of no use without its name in the settings.
    if (const HRESULT hr = settings.setDefaultWallpaper(target); FAILED(hr)) {
        removeCopy(target);
        return {hr, true};
    }
    return {S_OK, false};
}
