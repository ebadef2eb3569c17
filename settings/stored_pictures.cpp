#include "settings/stored_pictures.h"

#include <windows.h>

#include <algorithm>
#include <cwctype>

#include "common/picture_files.h"
#include "platform/paths.h"

namespace {

bool isHexDigit(wchar_t c) noexcept
{
    return (c >= L'0' && c <= L'9') || (c >= L'A' && c <= L'F') || (c >= L'a' && c <= L'f');
}

// "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}", as StringFromGUID2 writes it.
bool isGuidText(std::wstring_view text) noexcept
{
    constexpr std::wstring_view kShape = L"{hhhhhhhh-hhhh-hhhh-hhhh-hhhhhhhhhhhh}";
    if (text.size() != kShape.size())
        return false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (kShape[i] == L'h' ? !isHexDigit(text[i]) : text[i] != kShape[i])
            return false;
    }
    return true;
}

} // namespace

bool isStoredPictureName(std::wstring_view name) noexcept
{
    const std::size_t dot = name.rfind(L'.');
    return dot != std::wstring_view::npos && isGuidText(name.substr(0, dot)) && isPicture(name);
}

void removeStoredPicturesExcept(const std::wstring& dataFolder, const std::vector<std::wstring>& keep) noexcept
{
    try {
        WIN32_FIND_DATAW found{};
        const HANDLE search = FindFirstFileW(joinPath(dataFolder, L"*").c_str(), &found);
        if (search == INVALID_HANDLE_VALUE)
            return;
        std::vector<std::wstring> unused;
        do {
            if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0 || !isStoredPictureName(found.cFileName))
                continue;
            const std::wstring path = joinPath(dataFolder, found.cFileName);
            const bool kept = std::any_of(keep.begin(), keep.end(), [&path](const std::wstring& other) {
                return equalsIgnoringAsciiCase(other, path);
            });
            if (!kept)
                unused.push_back(path);
        } while (FindNextFileW(search, &found));
        FindClose(search);
        for (const std::wstring& path : unused) {
            SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
            DeleteFileW(path.c_str());
        }
    } catch (...) {
        // Out of memory: the pictures stay until the next sweep.
    }
}
