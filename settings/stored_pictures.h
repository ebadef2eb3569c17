#pragma once
// The pictures Peltorine keeps in its data folder (the default wallpaper's copy, captured video
// frames) carry a GUID name, {8-4-4-4-12} and a picture's extension; nothing else there is ours
// to delete.
#include <string>
#include <string_view>
#include <vector>

[[nodiscard]] bool isStoredPictureName(std::wstring_view name) noexcept;

// Deletes every stored picture in dataFolder that no path in keep names (compared without case).
// Other files, and pictures that cannot be deleted, stay.
void removeStoredPicturesExcept(const std::wstring& dataFolder, const std::vector<std::wstring>& keep) noexcept;
