#pragma once
#include <windows.h>

#include <string>

// Shell links (.lnk files) as the program and its installer write and read them. The calling
// thread must have COM initialised.

// Writes (or replaces) the link at linkPath: it starts target from workingFolder.
[[nodiscard]] HRESULT writeShellLink(const std::wstring& linkPath, const std::wstring& target,
                                     const std::wstring& workingFolder, const std::wstring& description) noexcept;

// The target that the link at linkPath names, as written (environment strings not expanded).
[[nodiscard]] HRESULT readShellLinkTarget(const std::wstring& linkPath, std::wstring& target) noexcept;
