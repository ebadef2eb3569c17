#pragma once
#include <windows.h>

#include <string>

// Creates the settings file on the first start: empty UTF-16LE, or carrying over the
// previous version's section "Corvandelle" and its default picture from previousFolder.
// Does nothing when settingsPath exists. The file appears only through one final rename,
// so an interrupted or failed run leaves no settings file and the next start runs again.
[[nodiscard]] HRESULT migrateSettings(const std::wstring& settingsPath, const std::wstring& previousFolder) noexcept;
