#pragma once
#include <windows.h>

#include <string>

// "Start with Windows": a shell shortcut to the running executable in the user's Startup
// folder. The shortcut itself is the setting.
class StartupShortcut {
public:
    // Where the shortcut is, and whether it is there.
    [[nodiscard]] HRESULT checkStartupShortcut(std::wstring& path, bool& exists) const noexcept;
    // Replaces the previous version's shortcut with ours; S_FALSE when there was none of ours to replace.
    [[nodiscard]] HRESULT migrateStartupShortcut(const std::wstring& path, bool exists) const noexcept;
    [[nodiscard]] HRESULT setStartWithWindows(const std::wstring& path, bool enable) const noexcept;

    // The folder that holds the shortcut; empty means the user's Startup folder. Tests point
    // it at a folder of their own.
    std::wstring folderOverride;
};
