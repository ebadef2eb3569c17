#pragma once
#include <windows.h>

#include <string>

// Creates the settings file on the first start: empty UTF-16LE, or carrying over the
// previous version's section "Corvandelle" and its default picture from previousFolder.
// Does nothing when settingsPath exists. The file appears only through one final rename,
// so an interrupted or failed run leaves no settings file and the next start runs again.
[[nodiscard]] HRESULT migrateSettings(const std::wstring& settingsPath, const std::wstring& previousFolder) noexcept;

// A settings file cut short (a crash while a value was written leaves it empty) or written
// without the byte-order mark would from then on be written as 8-bit text. Such a file is
// rewritten as UTF-16LE with its mark, keeping every value of the section [Peltorine] it still
// holds; the new file replaces it through one rename. A file with the mark is left alone.
[[nodiscard]] HRESULT repairSettingsFile(const std::wstring& settingsPath) noexcept;
