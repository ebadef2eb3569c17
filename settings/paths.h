#pragma once
#include <string>
#include <string_view>

// Path text rules of the data folder. They look at text only; nothing touches the disk.
// Backslash and forward slash both separate; a root name is a drive ("C:") or a network
// or device prefix that starts with two separators ("\\server", "\\?").

// base and part with one backslash between them. A part that has a root name or starts
// with a separator is already rooted and replaces base.
[[nodiscard]] std::wstring joinPath(std::wstring_view base, std::wstring_view part);

// The text after the last separator that follows the root name; empty when the value
// ends in a separator.
[[nodiscard]] std::wstring lastPathComponent(std::wstring_view value);

// True for a plain name such as "a.png": no root name, no root, no folder part.
[[nodiscard]] bool isBareFileName(std::wstring_view value);

// The folder that holds path: the text before its last component, without the separators
// in between, except that a root ("C:\") keeps its separator.
[[nodiscard]] std::wstring parentFolderOf(std::wstring_view path);
