// "Start with Windows": a shell shortcut to the running executable in the user's Startup
// folder. The shortcut itself is the setting, so a user who deletes or copies it by hand
// is honoured at once.
#include <windows.h>
#include <shlobj.h>

#include <string>
#include <vector>

#include "platform/startup_shortcut.h"
#include "platform/win32_error.h"
#include "platform/known_folder.h"
#include "platform/paths.h"
#include "platform/product_names.h"
#include "platform/shell_link.h"

namespace {

constexpr const wchar_t* kPreviousShortcutName = L"Corvandelle.lnk";
constexpr const wchar_t* kPreviousExecutableName = L"Corvandelle.exe";
// The longest path Windows knows; a longer executable path cannot be stored in a shortcut.
constexpr DWORD kLongPathBuffer = 32768;

HRESULT startupFolder(std::wstring& folder) noexcept
{
    return knownFolderPath(FOLDERID_Startup, folder);
}

// Removes a file; one that is already gone counts as removed.
HRESULT deleteIfPresent(const std::wstring& path) noexcept
{
    if (DeleteFileW(path.c_str()))
        return S_OK;
    const DWORD error = GetLastError();
    if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND)
        return S_OK;
    return failureFromLastError();
}

bool isFile(const std::wstring& path) noexcept
{
    const DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

// Writes a shortcut at shortcutPath that starts the running executable from its own folder.
HRESULT createShortcut(const std::wstring& shortcutPath) noexcept
{
    std::vector<wchar_t> executable(kLongPathBuffer, L'\0');
    const DWORD length = GetModuleFileNameW(nullptr, executable.data(), kLongPathBuffer);
    if (length == 0)
        return failureFromLastError();
    if (length >= kLongPathBuffer)
        return hresultFromWin32(ERROR_FILENAME_EXCED_RANGE);
    const std::wstring target(executable.data(), length);
    return writeShellLink(shortcutPath, target, parentFolderOf(target), kShortcutDescription);
}

} // namespace

HRESULT StartupShortcut::checkStartupShortcut(std::wstring& shortcutPath, bool& exists) const noexcept
{
    std::wstring folder = folderOverride;
    if (folder.empty()) {
        if (const HRESULT hr = startupFolder(folder); FAILED(hr))
            return hr;
    }
    shortcutPath = joinPath(folder, kStartupShortcutName);
    exists = false;

    const DWORD attributes = GetFileAttributesW(shortcutPath.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        const DWORD error = GetLastError();
        if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND)
            return S_OK;
        return failureFromLastError();
    }
    // A folder of that name can be neither the setting nor replaced by one.
    if (attributes & FILE_ATTRIBUTE_DIRECTORY)
        return hresultFromWin32(ERROR_DIRECTORY);
    exists = true;
    return S_OK;
}

HRESULT StartupShortcut::setStartWithWindows(const std::wstring& shortcutPath, bool enable) const noexcept
{
    if (enable)
        return createShortcut(shortcutPath);
    return deleteIfPresent(shortcutPath);
}

HRESULT StartupShortcut::migrateStartupShortcut(const std::wstring& shortcutPath, bool exists) const noexcept
{
    const std::wstring oldPath = joinPath(parentFolderOf(shortcutPath), kPreviousShortcutName);
    if (!isFile(oldPath))
        return S_FALSE;

    std::wstring target;
    if (const HRESULT hr = readShellLinkTarget(oldPath, target); FAILED(hr))
        return hr;

    // A shortcut of that name that starts some other program is the user's, not ours.
    const std::wstring name = fileNameOf(target);
    if (CompareStringOrdinal(name.c_str(), -1, kPreviousExecutableName, -1, TRUE) != CSTR_EQUAL)
        return S_FALSE;

    if (!exists) {
        if (const HRESULT hr = setStartWithWindows(shortcutPath, true); FAILED(hr))
            return hr;
    }
    if (const HRESULT hr = deleteIfPresent(oldPath); FAILED(hr))
        return hr;
    return S_OK;
}
