#include <windows.h>
#include <objbase.h>
#include <wincodec.h>
#include <wrl/client.h>

#include <string>

#include "settings/default_store.h"
#include "settings/file_system.h"
#include "platform/paths.h"
#include "common/picture_files.h"

namespace {

constexpr std::wstring_view kDataFileExtension = L".png";

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
    if (SUCCEEDED(code) && target.empty())
        code = E_FAIL;

    std::string bytes;
    if (SUCCEEDED(code))
        code = readWholeFile(source, bytes);
    FileSystem& files = settings.fileSystem();
    if (SUCCEEDED(code)) {
        // The copy keeps the picture's own extension, letter for letter. It appears under that
        // name only whole, and never in place of a file that has it already.
        target.replace(target.size() - kDataFileExtension.size(), kDataFileExtension.size(), extensionOf(source));
        code = writeFileAtomically(files, target, bytes, ExistingFile::Keep);
    }
    if (FAILED(code))
        return {code, false};

    // The copy is of no use without its name in the settings.
    if (const HRESULT hr = settings.setDefaultWallpaper(target); FAILED(hr)) {
        files.remove(target);
        return {hr, true};
    }
    return {S_OK, false};
}
