#pragma once
// Shell shortcuts as the tests write and read them, through the shell's own link object.
#include <windows.h>

#include <string>

// What a shortcut file says, as the shell reads it.
struct Shortcut {
    HRESULT loaded = E_FAIL;
    std::wstring target;
    std::wstring workingDirectory;
    std::wstring description;
};

Shortcut readShortcut(const std::wstring& path);

// A shortcut as another program (the previous version, or the user) would leave it.
HRESULT writeShortcut(const std::wstring& path, const std::wstring& target);
