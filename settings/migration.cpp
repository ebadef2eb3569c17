#include "settings/migration.h"

#include <memory>

#include "platform/win32_error.h"
#include "platform/unique_handle.h"
#include "platform/paths.h"
#include "common/picture_files.h"

namespace {

constexpr const wchar_t* kPreviousSection = L"Corvandelle";
constexpr const wchar_t* kSection = L"Peltorine";
constexpr DWORD kSectionBufferLength = 32768;
constexpr DWORD kValueBufferLength = 512;

bool exists(const std::wstring& path) noexcept
{
    return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

HRESULT discard(const std::wstring& temporary, HRESULT code) noexcept
{
    DeleteFileW(temporary.c_str());
    return code;
}

// Copies the previous default picture unless an earlier, interrupted run already did. The copy
// goes to a temporary name first and appears under its own name only through the rename, so a
// file of that name is always whole: a copy cut off half-way may already have its full size.
HRESULT copyPicture(const std::wstring& source, const std::wstring& target) noexcept
{
    if (exists(target))
        return S_OK;
    const std::wstring temporary = target + L".copying";
    if (!CopyFileW(source.c_str(), temporary.c_str(), FALSE))
        return lastErrorResult();
    if (!MoveFileExW(temporary.c_str(), target.c_str(), MOVEFILE_WRITE_THROUGH)) {
        const DWORD error = GetLastError();
        DeleteFileW(temporary.c_str());
        // Another start finished the same copy meanwhile.
        if (error == ERROR_ALREADY_EXISTS || error == ERROR_FILE_EXISTS)
            return S_OK;
        return hresultFromWin32(error);
    }
    return S_OK;
}

// Fills temporary from the previous settings file and copies the picture it names.
HRESULT carryOver(const std::wstring& previousSettings, const std::wstring& previousFolder,
                  const std::wstring& temporary, const std::wstring& dataFolder) noexcept
{
    HRESULT code = S_OK;
    const auto section = std::make_unique<wchar_t[]>(kSectionBufferLength);
    const DWORD length =
        GetPrivateProfileSectionW(kPreviousSection, section.get(), kSectionBufferLength, previousSettings.c_str());
    if (length == kSectionBufferLength - 2) {
        code = hresultFromWin32(ERROR_INSUFFICIENT_BUFFER);
    } else if (length != 0) {
        if (!WritePrivateProfileSectionW(kSection, section.get(), temporary.c_str()))
            code = lastErrorResult();
    } else {
        // Nothing came back: a file without that section, an empty section or an empty file is
        // nothing to carry over, but a file that cannot be read (locked, access denied) would
        // lose the previous settings for good, as this step runs once. The error the profile
        // functions leave differs between systems, so the file is asked directly.
        const UniqueFile file(CreateFileW(previousSettings.c_str(), GENERIC_READ,
                                          FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                          OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!file)
            code = lastErrorResult();
    }

    wchar_t value[kValueBufferLength] = {};
    GetPrivateProfileStringW(kPreviousSection, L"Default", L"", value, kValueBufferLength, previousSettings.c_str());
    const std::wstring name(value);
    if (SUCCEEDED(code) && !name.empty() && isBareFileName(name) && isPicture(name)) {
        const std::wstring source = joinPath(previousFolder, name);
        if (exists(source))
            code = copyPicture(source, joinPath(dataFolder, name));
    }
    return code;
}

// The rename below is written through, but the file's content is not; without this a power
// cut could leave a complete-looking settings.ini with nothing in it.
HRESULT flushToDisk(const std::wstring& path) noexcept
{
    const UniqueFile file(
        CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file || !FlushFileBuffers(file.get()))
        return lastErrorResult();
    return S_OK;
}

// An empty file with the byte-order mark that makes the private-profile functions write
// UTF-16LE into it; a file of that name goes first.
HRESULT createUnicodeFile(const std::wstring& path) noexcept
{
    const UniqueFile file(
        CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file)
        return lastErrorResult();
    static constexpr BYTE kByteOrderMark[] = {0xFF, 0xFE};
    DWORD written = 0;
    if (!WriteFile(file.get(), kByteOrderMark, sizeof(kByteOrderMark), &written, nullptr))
        return lastErrorResult();
    return S_OK;
}

bool startsWithByteOrderMark(const std::wstring& path, bool& readable) noexcept
{
    const UniqueFile file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                      OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    readable = static_cast<bool>(file);
    BYTE mark[2] = {};
    DWORD read = 0;
    return file && ReadFile(file.get(), mark, sizeof(mark), &read, nullptr) && read == 2 && mark[0] == 0xFF &&
           mark[1] == 0xFE;
}

} // namespace

HRESULT repairSettingsFile(const std::wstring& settingsPath) noexcept
{
    bool readable = false;
    if (startsWithByteOrderMark(settingsPath, readable) || !readable)
        return S_OK;

    const auto section = std::make_unique<wchar_t[]>(kSectionBufferLength);
    const DWORD length = GetPrivateProfileSectionW(kSection, section.get(), kSectionBufferLength, settingsPath.c_str());
    if (length == kSectionBufferLength - 2)
        return hresultFromWin32(ERROR_INSUFFICIENT_BUFFER);

    const std::wstring temporary = joinPath(parentFolderOf(settingsPath), L"settings.repairing");
    if (const HRESULT code = createUnicodeFile(temporary); FAILED(code))
        return discard(temporary, code);
    if (length != 0 && !WritePrivateProfileSectionW(kSection, section.get(), temporary.c_str()))
        return discard(temporary, lastErrorResult());
    if (const HRESULT code = flushToDisk(temporary); FAILED(code))
        return discard(temporary, code);
    if (!MoveFileExW(temporary.c_str(), settingsPath.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        return discard(temporary, lastErrorResult());
    return S_OK;
}

HRESULT migrateSettings(const std::wstring& settingsPath, const std::wstring& previousFolder) noexcept
{
    if (exists(settingsPath))
        return S_OK;

    const std::wstring dataFolder = parentFolderOf(settingsPath);
    const std::wstring temporary = joinPath(dataFolder, L"settings.migrating");
    // A leftover of an interrupted run starts over.
    if (const HRESULT code = createUnicodeFile(temporary); FAILED(code))
        return discard(temporary, code);
    HRESULT code = S_OK;

    const std::wstring previousSettings = joinPath(previousFolder, L"settings.ini");
    if (exists(previousSettings)) {
        if (code = carryOver(previousSettings, previousFolder, temporary, dataFolder); FAILED(code))
            return discard(temporary, code);
    }

    if (code = flushToDisk(temporary); FAILED(code))
        return discard(temporary, code);
    // No MOVEFILE_REPLACE_EXISTING: a settings file that appeared meanwhile is never overwritten.
    if (!MoveFileExW(temporary.c_str(), settingsPath.c_str(), MOVEFILE_WRITE_THROUGH)) {
        if (code = lastErrorResult(); FAILED(code))
            return discard(temporary, code);
    }
    return S_OK;
}
