#include "settings/file_system.h"

#include <algorithm>
#include <new>
#include <stdexcept>

#include "platform/paths.h"
#include "platform/unique_handle.h"
#include "platform/win32_error.h"

namespace {

using UniqueSearch = UniqueHandle<HANDLE, &FindClose, InvalidHandleIsEmpty>;

// WriteFile and ReadFile take at most this much at once.
constexpr std::size_t kLargestChunk = 1u << 30;

class Win32FileSystem final : public FileSystem {
public:
    HRESULT writeWholeFile(const std::wstring& path, std::string_view bytes) noexcept override
    {
        const UniqueFile file(
            CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!file)
            return failureFromLastError();
        while (!bytes.empty()) {
            const auto chunk = static_cast<DWORD>(std::min(bytes.size(), kLargestChunk));
            DWORD written = 0;
            if (!WriteFile(file.get(), bytes.data(), chunk, &written, nullptr))
                return failureFromLastError();
            if (written == 0)
                return HRESULT_FROM_WIN32(ERROR_WRITE_FAULT);
            bytes.remove_prefix(written);
        }
        if (!FlushFileBuffers(file.get()))
            return failureFromLastError();
        return S_OK;
    }

    HRESULT moveIntoPlace(const std::wstring& from, const std::wstring& to, ExistingFile existing) noexcept override
    {
        DWORD flags = MOVEFILE_WRITE_THROUGH;
        if (existing == ExistingFile::Replace)
            flags |= MOVEFILE_REPLACE_EXISTING;
        if (!MoveFileExW(from.c_str(), to.c_str(), flags))
            return failureFromLastError();
        return S_OK;
    }

    void remove(const std::wstring& path) noexcept override { DeleteFileW(path.c_str()); }
};

bool endsWithPartialSuffix(std::wstring_view name) noexcept
{
    return name.size() > kPartialSuffix.size() &&
           equalsIgnoringAsciiCase(name.substr(name.size() - kPartialSuffix.size()), kPartialSuffix);
}

} // namespace

FileSystem& win32FileSystem() noexcept
{
    static Win32FileSystem files;
    return files;
}

std::wstring partialPathOf(const std::wstring& path)
{
    return path + std::wstring(kPartialSuffix);
}

HRESULT writeFileAtomically(FileSystem& files, const std::wstring& path, std::string_view bytes,
                            ExistingFile existing) noexcept
{
    const std::wstring temporary = partialPathOf(path);
    HRESULT code = files.writeWholeFile(temporary, bytes);
    if (SUCCEEDED(code))
        code = files.moveIntoPlace(temporary, path, existing);
    if (FAILED(code))
        files.remove(temporary);
    return code;
}

HRESULT readWholeFile(const std::wstring& path, std::string& bytes) noexcept
{
    const UniqueFile file(CreateFileW(path.c_str(), GENERIC_READ,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                      FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file)
        return failureFromLastError();
    LARGE_INTEGER size{};
    if (!GetFileSizeEx(file.get(), &size))
        return failureFromLastError();
    try {
        bytes.assign(static_cast<std::size_t>(size.QuadPart), '\0');
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    } catch (const std::length_error&) {
        return E_OUTOFMEMORY;
    }
    std::size_t done = 0;
    while (done < bytes.size()) {
        const auto chunk = static_cast<DWORD>(std::min(bytes.size() - done, kLargestChunk));
        DWORD read = 0;
        if (!ReadFile(file.get(), bytes.data() + done, chunk, &read, nullptr))
            return failureFromLastError();
        // The file shrank while it was read.
        if (read == 0)
            break;
        done += read;
    }
    bytes.resize(done);
    return S_OK;
}

HRESULT flushFile(const std::wstring& path) noexcept
{
    const UniqueFile file(
        CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file || !FlushFileBuffers(file.get()))
        return failureFromLastError();
    return S_OK;
}

void removePartialFiles(FileSystem& files, const std::wstring& folder) noexcept
{
    WIN32_FIND_DATAW found{};
    const UniqueSearch search(
        FindFirstFileExW(joinPath(folder, L"*").c_str(), FindExInfoBasic, &found, FindExSearchNameMatch, nullptr, 0));
    if (!search)
        return;
    do {
        if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0 && endsWithPartialSuffix(found.cFileName))
            files.remove(joinPath(folder, found.cFileName));
    } while (FindNextFileW(search.get(), &found));
}
