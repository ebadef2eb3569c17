#pragma once
#include <windows.h>
#include <shlobj.h>

#include <string>

// The path of a known folder of the current user (FOLDERID_LocalAppData, FOLDERID_Startup, …).
[[nodiscard]] HRESULT knownFolderPath(REFKNOWNFOLDERID id, std::wstring& path) noexcept;
