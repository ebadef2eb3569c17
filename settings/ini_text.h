#pragma once
// The settings file as text, in the form Windows' private-profile functions read: its bytes
// decoded and encoded, one key set, one section listed. Nothing here touches the disk.
#include <cstddef>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

// The longest section the profile functions hand back whole, terminators included.
inline constexpr std::size_t kLongestProfileSection = 32767;

// UTF-16LE after its mark (or big-endian after its own), UTF-8 with or without its mark,
// otherwise 8-bit text in the ANSI code page.
[[nodiscard]] std::wstring decodeIniBytes(std::string_view bytes);
// UTF-16LE with its mark: the profile functions keep a file in that form once it has the mark.
[[nodiscard]] std::string encodeIniText(std::wstring_view text);
[[nodiscard]] bool hasUtf16Mark(std::string_view bytes) noexcept;

// text with key of section set to value. Section and key names match regardless of case; the first
// section of that name is the one the profile functions read. A missing key is added at the end of
// that section, a missing section at the end of the text; every other line stays as it was.
[[nodiscard]] std::wstring withIniValue(std::wstring_view text, std::wstring_view section, std::wstring_view key,
                                        std::wstring_view value);

// The entries of a section as GetPrivateProfileSectionW lists them: "key=value" with the blanks
// around both trimmed, or the bare text of a line without "="; empty lines and comments are left out.
[[nodiscard]] std::vector<std::wstring> iniSectionLines(std::wstring_view text, std::wstring_view section);

// The value of the first entry named key, as GetPrivateProfileStringW reads it: one pair of
// surrounding quotes removed. Nothing when no entry has that name.
[[nodiscard]] std::optional<std::wstring> iniValue(std::span<const std::wstring> lines, std::wstring_view key);

// A section with these entries and CRLF line ends; empty text when there are none.
[[nodiscard]] std::wstring iniSectionText(std::wstring_view section, std::span<const std::wstring> lines);

// Whether the profile functions hand back these entries whole as one section.
[[nodiscard]] bool fitsProfileSection(std::span<const std::wstring> lines) noexcept;

// The entries unchanged when the profile functions can read them as one section; otherwise only the
// first entry of each of knownKeys, in their order, its value cut to longestValue characters, so
// that a runaway line costs nothing but itself.
[[nodiscard]] std::vector<std::wstring> soundSectionLines(std::vector<std::wstring> lines,
                                                          std::span<const std::wstring_view> knownKeys,
                                                          std::size_t longestValue);
