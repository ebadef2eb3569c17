#include "settings/migration.h"

#include <string>
#include <vector>

#include "platform/paths.h"
#include "common/picture_files.h"
#include "settings/ini_text.h"
#include "settings/settings_keys.h"

namespace {

bool exists(const std::wstring& path) noexcept
{
    return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

struct SectionRead {
    std::vector<std::wstring> lines; // what the profile functions can read of the section
    bool cut = false;                // the section was too long and only the known keys are left
    bool marked = false;             // the file starts with the UTF-16LE mark
};

HRESULT readSection(const std::wstring& path, const wchar_t* section, SectionRead& read) noexcept
{
    std::string bytes;
    if (const HRESULT code = readWholeFile(path, bytes); FAILED(code))
        return code;
    read.marked = hasUtf16Mark(bytes);
    std::vector<std::wstring> whole = iniSectionLines(decodeIniBytes(bytes), section);
    read.cut = !fitsProfileSection(whole);
    read.lines = soundSectionLines(std::move(whole), kKnownSettingsKeys, kLongestSettingsValue);
    return S_OK;
}

std::string settingsFileBytes(const std::vector<std::wstring>& lines)
{
    return encodeIniText(iniSectionText(kSettingsSection, lines));
}

// Copies the previous default picture unless an earlier, interrupted run already did. The copy is
// written whole under a partial name and appears under its own name only through the rename, so a
// file of that name is always whole.
HRESULT copyPicture(FileSystem& files, const std::wstring& source, const std::wstring& target) noexcept
{
    if (exists(target))
        return S_OK;
    std::string bytes;
    if (const HRESULT code = readWholeFile(source, bytes); FAILED(code))
        return code;
    const HRESULT code = writeFileAtomically(files, target, bytes, ExistingFile::Keep);
    // Another start finished the same copy meanwhile.
    if (code == HRESULT_FROM_WIN32(ERROR_ALREADY_EXISTS) || code == HRESULT_FROM_WIN32(ERROR_FILE_EXISTS))
        return S_OK;
    return code;
}

} // namespace

HRESULT repairSettingsFile(const std::wstring& settingsPath, FileSystem& files) noexcept
{
    SectionRead read;
    // A file that cannot be opened now is left for the reader, which then keeps the defaults.
    if (FAILED(readSection(settingsPath, kSettingsSection, read)))
        return S_OK;
    if (read.marked && !read.cut)
        return S_OK;
    return writeFileAtomically(files, settingsPath, settingsFileBytes(read.lines), ExistingFile::Replace);
}

HRESULT migrateSettings(const std::wstring& settingsPath, const std::wstring& previousFolder,
                        FileSystem& files) noexcept
{
    if (exists(settingsPath))
        return S_OK;

    SectionRead previous;
    const std::wstring previousSettings = joinPath(previousFolder, L"settings.ini");
    if (exists(previousSettings)) {
        // A file that cannot be read now would lose the previous settings for good, as this step
        // runs once: the start fails until it can be read.
        if (const HRESULT code = readSection(previousSettings, kPreviousSettingsSection, previous); FAILED(code))
            return code;
        const std::wstring name = iniValue(previous.lines, kDefaultKey).value_or(std::wstring());
        if (!name.empty() && isBareFileName(name) && isPicture(name)) {
            const std::wstring source = joinPath(previousFolder, name);
            if (exists(source)) {
                if (const HRESULT code = copyPicture(files, source, joinPath(parentFolderOf(settingsPath), name));
                    FAILED(code))
                    return code;
            }
        }
    }

    // ExistingFile::Keep: a settings file that appeared meanwhile is never overwritten.
    return writeFileAtomically(files, settingsPath, settingsFileBytes(previous.lines), ExistingFile::Keep);
}
