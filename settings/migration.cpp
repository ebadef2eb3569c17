#include "settings/migration.h"

#include <memory>

#include "app/win32_error.h"
#include "settings/paths.h"
#include "wallpaper/file_rules.h"

namespace {

constexpr const wchar_t* kPreviousSection = L"Corvandelle";
constexpr const wchar_t* kSection = L"Peltorine";
constexpr DWORD kSectionBufferLength = 32768;
constexpr DWORD kValueBufferLength = 512;

class FileHandle {
public:
    explicit FileHandle(HANDLE handle) noexcept : handle_(handle) {}
    ~FileHandle() { close(); }
    FileHandle(const FileHandle&) = delete;
    FileHandle& operator=(const FileHandle&) = delete;

    [[nodiscard]] bool valid() const noexcept { return handle_ != INVALID_HANDLE_VALUE; }
    [[nodiscard]] HANDLE get() const noexcept { return handle_; }
    void close() noexcept
    {
        if (valid())
            CloseHandle(handle_);
        handle_ = INVALID_HANDLE_VALUE;
    }

private:
    HANDLE handle_;
};

bool exists(const std::wstring& path) noexcept
{
    return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

HRESULT discard(const std::wstring& temporary, HRESULT code) noexcept
{
    DeleteFileW(temporary.c_str());
    return code;
}

bool sameSize(const std::wstring& first, const std::wstring& second) noexcept
{
    WIN32_FILE_ATTRIBUTE_DATA a{};
    WIN32_FILE_ATTRIBUTE_DATA b{};
    return GetFileAttributesExW(first.c_str(), GetFileExInfoStandard, &a) &&
           GetFileAttributesExW(second.c_str(), GetFileExInfoStandard, &b) && a.nFileSizeHigh == b.nFileSizeHigh &&
           a.nFileSizeLow == b.nFileSizeLow;
}

// Copies the previous default picture unless an earlier, interrupted run already did.
HRESULT copyPicture(const std::wstring& source, const std::wstring& target) noexcept
{
    if (CopyFileW(source.c_str(), target.c_str(), TRUE))
        return S_OK;
    const DWORD error = GetLastError();
    if (error != ERROR_FILE_EXISTS)
        return hresultFromWin32(error);
    // A run cut off in the middle of the copy leaves a shorter file; finish it.
    if (!sameSize(source, target) && !CopyFileW(source.c_str(), target.c_str(), FALSE))
        return lastErrorResult();
    return S_OK;
}

// Fills temporary from the previous settings file and copies the picture it names.
HRESULT carryOver(const std::wstring& previousSettings, const std::wstring& previousFolder,
                  const std::wstring& temporary, const std::wstring& dataFolder) noexcept
{
    HRESULT code = S_OK;
    const auto section = std::make_unique<wchar_t[]>(kSectionBufferLength);
    SetLastError(ERROR_SUCCESS);
    const DWORD length =
        GetPrivateProfileSectionW(kPreviousSection, section.get(), kSectionBufferLength, previousSettings.c_str());
    const DWORD readError = GetLastError();
    if (length == kSectionBufferLength - 2) {
        code = hresultFromWin32(ERROR_INSUFFICIENT_BUFFER);
    } else if (length != 0) {
        if (!WritePrivateProfileSectionW(kSection, section.get(), temporary.c_str()))
            code = lastErrorResult();
    } else if (readError != ERROR_SUCCESS && readError != ERROR_FILE_NOT_FOUND) {
        // Nothing came back because the file could not be read (locked, access denied), not
        // because the section is missing or empty (no error, or "not found" on Windows).
        // Carrying over nothing would lose the previous settings for good: this step runs once.
        code = hresultFromWin32(readError);
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
    FileHandle file(
        CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.valid() || !FlushFileBuffers(file.get()))
        return lastErrorResult();
    return S_OK;
}

} // namespace

HRESULT migrateSettings(const std::wstring& settingsPath, const std::wstring& previousFolder) noexcept
{
    if (exists(settingsPath))
        return S_OK;

    const std::wstring dataFolder = parentFolderOf(settingsPath);
    const std::wstring temporary = joinPath(dataFolder, L"settings.migrating");
    HRESULT code = S_OK;
    {
        // CREATE_ALWAYS: a leftover of an interrupted run starts over.
        FileHandle file(
            CreateFileW(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!file.valid())
            return lastErrorResult();
        // The byte-order mark makes the private-profile functions write UTF-16LE into the file.
        static constexpr BYTE kByteOrderMark[] = {0xFF, 0xFE};
        DWORD written = 0;
        if (!WriteFile(file.get(), kByteOrderMark, sizeof(kByteOrderMark), &written, nullptr))
            code = lastErrorResult();
    }
    if (FAILED(code))
        return discard(temporary, code);

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
