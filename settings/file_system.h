#pragma once
// Files that are whole or absent: each is written in full under a temporary name beside its
// final one, flushed to the disk and only then renamed into place, so that a crash or a power cut
// leaves the previous file or the new one, never a mix. The file system is a seam: tests stop it
// part-way as a crash would.
#include <windows.h>

#include <string>
#include <string_view>

// The one suffix of our temporary files; whatever carries it in the data folder at start is a
// leftover of a run that stopped.
inline constexpr std::wstring_view kPartialSuffix = L".partial";

enum class ExistingFile { Replace, Keep };

class FileSystem {
public:
    virtual ~FileSystem() = default;
    // Creates or truncates path, writes bytes and flushes them to the disk.
    [[nodiscard]] virtual HRESULT writeWholeFile(const std::wstring& path, std::string_view bytes) noexcept = 0;
    // Renames from to to, written through; with ExistingFile::Keep a file named to stays and the
    // rename fails.
    [[nodiscard]] virtual HRESULT moveIntoPlace(const std::wstring& from, const std::wstring& to,
                                                ExistingFile existing) noexcept = 0;
    // Deletes path if it is there.
    virtual void remove(const std::wstring& path) noexcept = 0;
};

// The system's own file system.
[[nodiscard]] FileSystem& win32FileSystem() noexcept;

[[nodiscard]] std::wstring partialPathOf(const std::wstring& path);

// bytes as the whole of path: written to its partial path, then renamed into place. On failure
// path is as it was and the partial file is gone.
[[nodiscard]] HRESULT writeFileAtomically(FileSystem& files, const std::wstring& path, std::string_view bytes,
                                          ExistingFile existing) noexcept;

// The whole content of path. A missing file fails with the system's error.
[[nodiscard]] HRESULT readWholeFile(const std::wstring& path, std::string& bytes) noexcept;

// Flushes a file that another writer made (an encoder writing by name) before it is renamed.
[[nodiscard]] HRESULT flushFile(const std::wstring& path) noexcept;

// Deletes the files of folder that end in kPartialSuffix; folders and other files stay.
void removePartialFiles(FileSystem& files, const std::wstring& folder) noexcept;
