#pragma once
// Names that the program and its installer must spell alike: the installer finds the running
// program by its control window, and "Start with Windows" by its shortcut.

inline constexpr const wchar_t* kControlWindowClass = L"Peltorine.Control";
inline constexpr const wchar_t* kStartupShortcutName = L"Peltorine.lnk";
inline constexpr const wchar_t* kProgramFileName = L"peltorine.exe";
inline constexpr const wchar_t* kShortcutDescription = L"Peltorine";
