// The stored default wallpaper: the user's chosen picture, copied into the data folder so
// that it survives when the original is moved or deleted.
#include <windows.h>
#include <objbase.h>
#include <wincodec.h>
#include <wrl/client.h>

#include <string>

#include "app/application.h"
#include "platform/win32_error.h"
#include "platform/paths.h"
#include "common/picture_files.h"

namespace {

// Braces, 32 hexadecimal digits, four hyphens and the terminator fit with room to spare.
constexpr int kGuidTextLength = 40;
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

std::wstring Application::newDataFilePath() const
{
    GUID guid{};
    if (FAILED(CoCreateGuid(&guid)))
        return {};
    wchar_t text[kGuidTextLength] = {};
    if (StringFromGUID2(guid, text, kGuidTextLength) == 0)
        return {};
    return joinPath(settings.dataFolder, std::wstring(text) + std::wstring(kDataFileExtension));
}

void Application::chooseDefaultWallpaper() noexcept
{
    const std::vector<std::wstring> chosen = chooseFilesFunction
                                                 ? chooseFilesFunction(controlWindow.get(), true, settings.language)
                                                 : std::vector<std::wstring>{};
    if (chosen.empty())
        return;
    const std::wstring& source = chosen.front();

    HRESULT code = WINCODEC_ERR_UNKNOWNIMAGEFORMAT;
    // The probe's frame is only proof that the picture decodes; it is let go at the end.
    Microsoft::WRL::ComPtr<IWICBitmapFrameDecode> frame;
    if (isPicture(source))
        code = imagingFactory ? openImageFrame(*imagingFactory.Get(), source, &frame) : E_POINTER;

    std::wstring target = newDataFilePath();
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
        showNotification(text(kDefaultSaveFailed), code);
        return;
    }

    // writeSetting reports its own failure; the copy is then of no use.
    if (!writeSetting(L"Default", fileNameOf(target))) {
        removeCopy(target);
        return;
    }
    settings.defaultWallpaperPath = target;
    showNotification(text(kDefaultSaved), S_OK);
}
