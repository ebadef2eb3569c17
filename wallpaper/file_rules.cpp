#include "wallpaper/file_rules.h"

#include "platform/paths.h"
#include "platform/unique_handle.h"

#include <shlwapi.h>
#include <wrl/client.h>

#include <algorithm>
#include <utility>

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

FileListCheck prepareFileList(IWICImagingFactory& factory, std::vector<std::wstring> paths,
                              const std::function<bool()>& stopRequested)
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
        if (stopRequested && stopRequested()) {
            check.code = E_ABORT;
            return check;
        }
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
