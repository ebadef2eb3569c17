#pragma once
#include <string>
#include <string_view>

// Path text rules. They look at text only; nothing touches the disk. Backslash and forward
// slash both separate; a root name is a drive ("C:") or a network or device prefix that
// starts with two separators ("\\server", "\\?", "\\.").

[[nodiscard]] constexpr bool isPathSeparator(wchar_t c) noexcept
{
    return c == L'\\' || c == L'/';
}

// Length of the root name: 2 for "C:", up to the next separator for "\\server" or "\\?", or 0.
// Three or more leading separators are a plain root, not a network name.
[[nodiscard]] std::size_t rootNameLength(std::wstring_view path) noexcept;

// Where the last component starts. It always runs to the end of the path, so a pointer to this
// offset in a path string is a terminated name without a copy.
[[nodiscard]] std::size_t fileNameOffset(std::wstring_view path) noexcept;

// base and part with one backslash between them. A part that has a root name or starts
// with a separator is already rooted and replaces base.
[[nodiscard]] std::wstring joinPath(std::wstring_view base, std::wstring_view part);

// The text after the last separator that follows the root name; empty when the value
// ends in a separator.
[[nodiscard]] std::wstring fileNameOf(std::wstring_view path);

// True for a plain name such as "a.png": no root name, no root, no folder part.
[[nodiscard]] bool isBareFileName(std::wstring_view value);

// The folder that holds path: the text before its last component, without the separators
// in between, except that a root ("C:\") keeps its separator.
[[nodiscard]] std::wstring parentFolderOf(std::wstring_view path);

// Equal when only the letter case of A–Z differs, as the file system compares our names.
[[nodiscard]] bool equalsIgnoringAsciiCase(std::wstring_view left, std::wstring_view right) noexcept;
