#pragma once
#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

// Shows the shell's file-open dialog, modal to owner, and returns the chosen file-system
// paths in the dialog's order. forDefault picks the one-picture form for the default
// wallpaper; otherwise several pictures or a video may be chosen. language is 0 for
// English, 1 for Vietnamese. A cancel or any failure gives an empty list; nothing is shown.
// The chosen files are not judged here: the callers check them.
[[nodiscard]] std::vector<std::wstring> chooseFiles(HWND owner, bool forDefault, std::uint32_t language);
