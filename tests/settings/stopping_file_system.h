#pragma once
// The file system of a program that stops at a chosen point, as on a crash or a power cut: until
// then every call reaches the disk, from then on nothing does. Its failures clear the thread's last
// error, so that code which asks GetLastError after them, instead of taking the result, sees success.
#include <windows.h>

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "settings/file_system.h"

class StoppingFileSystem final : public FileSystem {
public:
    // The next write stops after this many bytes, and the program with it.
    std::optional<std::size_t> stopAfterBytes;
    // The program stops at the next rename, after the write before it finished.
    bool stopAtRename = false;
    // The next renames fail with this result and change nothing; the program goes on.
    std::optional<HRESULT> renameFailure;

    bool stopped = false;
    // "write NAME", "rename NAME NAME", "remove NAME", by file name, in order.
    std::vector<std::wstring> calls;

    HRESULT writeWholeFile(const std::wstring& path, std::string_view bytes) noexcept override
    {
        calls.push_back(L"write " + nameOf(path));
        if (stopped)
            return stoppedResult();
        if (stopAfterBytes && *stopAfterBytes < bytes.size()) {
            // What reached the disk before the stop; nothing was flushed, so even this much is generous.
            (void)win32FileSystem().writeWholeFile(path, bytes.substr(0, *stopAfterBytes));
            stopped = true;
            return stoppedResult();
        }
        return win32FileSystem().writeWholeFile(path, bytes);
    }

    HRESULT moveIntoPlace(const std::wstring& from, const std::wstring& to, ExistingFile existing) noexcept override
    {
        calls.push_back(L"rename " + nameOf(from) + L" " + nameOf(to));
        if (stopped || stopAtRename) {
            stopped = true;
            return stoppedResult();
        }
        if (renameFailure) {
            SetLastError(ERROR_SUCCESS);
            return *renameFailure;
        }
        return win32FileSystem().moveIntoPlace(from, to, existing);
    }

    void remove(const std::wstring& path) noexcept override
    {
        calls.push_back(L"remove " + nameOf(path));
        if (!stopped)
            win32FileSystem().remove(path);
    }

private:
    static std::wstring nameOf(const std::wstring& path) { return path.substr(path.find_last_of(L'\\') + 1); }
    static HRESULT stoppedResult() noexcept
    {
        SetLastError(ERROR_SUCCESS);
        return E_ABORT;
    }
};
