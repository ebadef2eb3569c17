#pragma once
#include <windows.h>

#include <string>

#include "settings/file_system.h"

// Creates the settings file on the first start: empty UTF-16LE, or carrying over the
// previous version's section "Corvandelle" and its default picture from previousFolder.
// Does nothing when settingsPath exists. The file appears only through one final rename,
// so an interrupted or failed run leaves no settings file and the next start runs again.
// A previous section too long for the profile functions brings only the keys we know.
[[nodiscard]] HRESULT migrateSettings(const std::wstring& settingsPath, const std::wstring& previousFolder,
                                      FileSystem& files = win32FileSystem()) noexcept;

// A settings file cut short (a crash while the previous version wrote a value left it empty) or
// written without the byte-order mark would from then on be written as 8-bit text, and a section
// longer than the profile functions read stops every start. Such a file is rewritten as UTF-16LE
// with its mark, keeping the section [Peltorine] it still holds (only the keys we know, when that
// section is too long); the new file replaces it through one rename. A sound file is left alone.
[[nodiscard]] HRESULT repairSettingsFile(const std::wstring& settingsPath,
                                         FileSystem& files = win32FileSystem()) noexcept;
