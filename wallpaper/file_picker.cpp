// The shell's file-open dialog in its two forms: wallpaper files, and the default picture.
#include "wallpaper/file_picker.h"

#include <objbase.h>
#include <shobjidl.h>
#include <wrl/client.h>

#include "platform/unique_handle.h"
#include "common/strings.h"

using Microsoft::WRL::ComPtr;

namespace {

constexpr const wchar_t* kPicturePattern = L"*.png;*.jpg;*.jpeg";
constexpr const wchar_t* kPictureOrVideoPattern = L"*.png;*.jpg;*.jpeg;*.mp4";

} // namespace

std::vector<std::wstring> chooseFiles(HWND owner, bool forDefault, std::uint32_t language)
{
    std::vector<std::wstring> paths;
    ComPtr<IFileOpenDialog> dialog;
    if (FAILED(CoCreateInstance(CLSID_FileOpenDialog, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&dialog))))
        return paths;

    // The shell's own options stay; ours are added to them.
    FILEOPENDIALOGOPTIONS options = 0;
    if (FAILED(dialog->GetOptions(&options)))
        options = 0;
    options |= FOS_FORCEFILESYSTEM | FOS_PATHMUSTEXIST | FOS_FILEMUSTEXIST;
    if (!forDefault)
        options |= FOS_ALLOWMULTISELECT;
    // A dialog that refuses a setting still works; what it returns is checked by the callers.
    (void)dialog->SetOptions(options);

    // One filter entry and no "all files" entry: other kinds would be refused anyway.
    const COMDLG_FILTERSPEC filter{pick(forDefault ? kPicturesFilter : kPicturesOrVideoFilter, language),
                                   forDefault ? kPicturePattern : kPictureOrVideoPattern};
    (void)dialog->SetFileTypes(1, &filter);
    (void)dialog->SetTitle(pick(forDefault ? kChooseDefaultWallpaperTitle : kChooseWallpaperTitle, language));

    // A failure here is most often the user's cancel.
    if (FAILED(dialog->Show(owner)))
        return paths;

    ComPtr<IShellItemArray> results;
    if (FAILED(dialog->GetResults(&results)) || !results)
        return paths;
    DWORD count = 0;
    if (FAILED(results->GetCount(&count)))
        count = 0;
    for (DWORD index = 0; index < count; ++index) {
        // The default form is for one picture. Some dialogs (Wine's) still hand back every
        // name typed into the file-name box, so only the first path is kept.
        if (forDefault && !paths.empty())
            break;
        ComPtr<IShellItem> item;
        if (FAILED(results->GetItemAt(index, &item)) || !item)
            continue;
        // Items without a file-system path (a virtual folder's) are left out.
        UniqueTaskString name;
        if (SUCCEEDED(item->GetDisplayName(SIGDN_FILESYSPATH, name.put())) && name)
            paths.emplace_back(name.get());
    }
    return paths;
}
