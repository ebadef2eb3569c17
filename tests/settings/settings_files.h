#pragma once
// What the settings tests look at on disk: the bytes of a settings file, the entries the profile
// functions read from it, the names in a folder.
#include <windows.h>

#include <algorithm>
#include <cwchar>
#include <string>
#include <string_view>
#include <vector>

#include "platform/unique_handle.h"

inline const std::string kByteOrderMark("\xFF\xFE", 2);

// UTF-16LE with the byte-order mark, as the settings file is kept.
inline std::string utf16File(std::wstring_view text)
{
    std::string bytes = kByteOrderMark;
    for (const wchar_t c : text) {
        bytes.push_back(static_cast<char>(c & 0xFF));
        bytes.push_back(static_cast<char>((c >> 8) & 0xFF));
    }
    return bytes;
}

// The lines of a section as the platform's reader returns them into a buffer of bufferLength.
inline std::vector<std::wstring> sectionLines(const std::wstring& file, const wchar_t* section,
                                              DWORD bufferLength = 65536)
{
    std::vector<wchar_t> buffer(bufferLength);
    const DWORD length = GetPrivateProfileSectionW(section, buffer.data(), bufferLength, file.c_str());
    std::vector<std::wstring> lines;
    for (const wchar_t* line = buffer.data(); line < buffer.data() + length && *line; line += wcslen(line) + 1)
        lines.emplace_back(line);
    return lines;
}

inline std::vector<std::wstring> folderEntries(const std::wstring& folder)
{
    std::vector<std::wstring> names;
    WIN32_FIND_DATAW found{};
    const UniqueHandle<HANDLE, &FindClose, InvalidHandleIsEmpty> search(
        FindFirstFileW((folder + L"\\*").c_str(), &found));
    if (!search)
        return names;
    do {
        if (std::wstring_view(found.cFileName) != L"." && std::wstring_view(found.cFileName) != L"..")
            names.emplace_back(found.cFileName);
    } while (FindNextFileW(search.get(), &found));
    std::sort(names.begin(), names.end());
    return names;
}
