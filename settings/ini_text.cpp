#include "settings/ini_text.h"

#include <windows.h>

#include <algorithm>
#include <climits>

namespace {

constexpr char kUtf16LeMark[] = "\xFF\xFE";
constexpr char kUtf16BeMark[] = "\xFE\xFF";
constexpr char kUtf8Mark[] = "\xEF\xBB\xBF";

// What the profile functions trim around names and values; 0x1A is an old end-of-file mark.
bool isBlank(wchar_t c) noexcept
{
    return c == L' ' || c == L'\t' || c == L'\r' || c == L'\v' || c == L'\f' || c == 0x1A;
}

std::wstring_view trimmed(std::wstring_view text) noexcept
{
    while (!text.empty() && isBlank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && isBlank(text.back()))
        text.remove_suffix(1);
    return text;
}

bool sameName(std::wstring_view left, std::wstring_view right) noexcept
{
    if (left.size() > INT_MAX || right.size() > INT_MAX)
        return false;
    return CompareStringOrdinal(left.data(), static_cast<int>(left.size()), right.data(),
                                static_cast<int>(right.size()), TRUE) == CSTR_EQUAL;
}

std::wstring decodeUtf16(std::string_view bytes, bool bigEndian)
{
    std::wstring text(bytes.size() / 2, L'\0');
    for (std::size_t index = 0; index < text.size(); ++index) {
        const auto first = static_cast<unsigned char>(bytes[2 * index]);
        const auto second = static_cast<unsigned char>(bytes[2 * index + 1]);
        text[index] = static_cast<wchar_t>(bigEndian ? (first << 8) | second : (second << 8) | first);
    }
    return text;
}

// Nothing when flags make the conversion refuse the bytes.
std::optional<std::wstring> decodeMultiByte(std::string_view bytes, UINT codePage, DWORD flags)
{
    if (bytes.empty())
        return std::wstring();
    if (bytes.size() > INT_MAX)
        return std::nullopt;
    const int length = MultiByteToWideChar(codePage, flags, bytes.data(), static_cast<int>(bytes.size()), nullptr, 0);
    if (length <= 0)
        return std::nullopt;
    std::wstring text(static_cast<std::size_t>(length), L'\0');
    MultiByteToWideChar(codePage, flags, bytes.data(), static_cast<int>(bytes.size()), text.data(), length);
    return text;
}

// One line of the text: its content, without the line end, and where the next line starts.
struct Line {
    std::size_t begin = 0;
    std::size_t end = 0;
    std::size_t next = 0;
};

std::vector<Line> splitLines(std::wstring_view text)
{
    std::vector<Line> lines;
    std::size_t begin = 0;
    while (begin < text.size()) {
        const std::size_t newline = text.find(L'\n', begin);
        const std::size_t next = newline == std::wstring_view::npos ? text.size() : newline + 1;
        std::size_t end = newline == std::wstring_view::npos ? text.size() : newline;
        if (end > begin && text[end - 1] == L'\r')
            --end;
        lines.push_back({begin, end, next});
        begin = next;
    }
    return lines;
}

// The name of a section header line, or nothing for any other line.
std::optional<std::wstring_view> sectionName(std::wstring_view line) noexcept
{
    line = trimmed(line);
    if (line.empty() || line.front() != L'[')
        return std::nullopt;
    const std::size_t close = line.rfind(L']');
    if (close == std::wstring_view::npos || close == 0)
        return std::nullopt;
    return trimmed(line.substr(1, close - 1));
}

// The name an entry line gives, or nothing for empty lines and comments.
std::optional<std::wstring_view> entryName(std::wstring_view line) noexcept
{
    line = trimmed(line);
    if (line.empty() || line.front() == L';')
        return std::nullopt;
    return trimmed(line.substr(0, line.find(L'=')));
}

// The index of the first header of section, or lines.size().
std::size_t findSection(std::wstring_view text, const std::vector<Line>& lines, std::wstring_view section)
{
    for (std::size_t index = 0; index < lines.size(); ++index) {
        const auto name = sectionName(text.substr(lines[index].begin, lines[index].end - lines[index].begin));
        if (name && sameName(*name, section))
            return index;
    }
    return lines.size();
}

} // namespace

bool hasUtf16Mark(std::string_view bytes) noexcept
{
    return bytes.starts_with(kUtf16LeMark);
}

std::wstring decodeIniBytes(std::string_view bytes)
{
    if (bytes.starts_with(kUtf16LeMark))
        return decodeUtf16(bytes.substr(2), false);
    if (bytes.starts_with(kUtf16BeMark))
        return decodeUtf16(bytes.substr(2), true);
    if (bytes.starts_with(kUtf8Mark))
        return decodeMultiByte(bytes.substr(3), CP_UTF8, 0).value_or(std::wstring());
    // Plain-text editors save UTF-8 without the mark; text that is not valid UTF-8 is the older 8-bit kind.
    if (auto text = decodeMultiByte(bytes, CP_UTF8, MB_ERR_INVALID_CHARS))
        return *std::move(text);
    return decodeMultiByte(bytes, CP_ACP, 0).value_or(std::wstring());
}

std::string encodeIniText(std::wstring_view text)
{
    std::string bytes(kUtf16LeMark, 2);
    bytes.reserve(2 + 2 * text.size());
    for (const wchar_t c : text) {
        bytes.push_back(static_cast<char>(c & 0xFF));
        bytes.push_back(static_cast<char>((c >> 8) & 0xFF));
    }
    return bytes;
}

std::wstring withIniValue(std::wstring_view text, std::wstring_view section, std::wstring_view key,
                          std::wstring_view value)
{
    const std::wstring entry = std::wstring(key) + L"=" + std::wstring(value);
    const std::vector<Line> lines = splitLines(text);
    const std::size_t header = findSection(text, lines, section);
    if (header == lines.size()) {
        std::wstring result(text);
        if (!result.empty() && result.back() != L'\n')
            result += L"\r\n";
        return result + L"[" + std::wstring(section) + L"]\r\n" + entry + L"\r\n";
    }

    // The new entry goes after the section's last non-empty line, so that a blank line before
    // the next section stays where it was.
    std::size_t last = header;
    for (std::size_t index = header + 1; index < lines.size(); ++index) {
        const std::wstring_view line = text.substr(lines[index].begin, lines[index].end - lines[index].begin);
        if (sectionName(line))
            break;
        if (const auto name = entryName(line); name && sameName(*name, key)) {
            return std::wstring(text.substr(0, lines[index].begin)) + entry +
                   std::wstring(text.substr(lines[index].end));
        }
        if (!trimmed(line).empty())
            last = index;
    }
    const Line& after = lines[last];
    const bool terminated = after.next > after.end;
    return std::wstring(text.substr(0, after.next)) + (terminated ? L"" : L"\r\n") + entry + L"\r\n" +
           std::wstring(text.substr(after.next));
}

std::vector<std::wstring> iniSectionLines(std::wstring_view text, std::wstring_view section)
{
    std::vector<std::wstring> entries;
    const std::vector<Line> lines = splitLines(text);
    for (std::size_t index = findSection(text, lines, section) + 1; index < lines.size(); ++index) {
        const std::wstring_view line = text.substr(lines[index].begin, lines[index].end - lines[index].begin);
        if (sectionName(line))
            break;
        const auto name = entryName(line);
        if (!name)
            continue;
        const std::size_t equals = line.find(L'=');
        if (equals == std::wstring_view::npos)
            entries.emplace_back(*name);
        else
            entries.push_back(std::wstring(*name) + L"=" + std::wstring(trimmed(line.substr(equals + 1))));
    }
    return entries;
}

std::optional<std::wstring> iniValue(std::span<const std::wstring> lines, std::wstring_view key)
{
    for (const std::wstring& line : lines) {
        const std::size_t equals = line.find(L'=');
        if (!sameName(std::wstring_view(line).substr(0, equals), key))
            continue;
        if (equals == std::wstring::npos)
            return std::wstring();
        std::wstring_view value = std::wstring_view(line).substr(equals + 1);
        if (value.size() >= 2 && (value.front() == L'"' || value.front() == L'\'') && value.back() == value.front())
            value = value.substr(1, value.size() - 2);
        return std::wstring(value);
    }
    return std::nullopt;
}

std::wstring iniSectionText(std::wstring_view section, std::span<const std::wstring> lines)
{
    if (lines.empty())
        return {};
    std::wstring text = L"[" + std::wstring(section) + L"]\r\n";
    for (const std::wstring& line : lines)
        text += line + L"\r\n";
    return text;
}

bool fitsProfileSection(std::span<const std::wstring> lines) noexcept
{
    // Each entry ends in a null character, and one more ends the list.
    std::size_t length = 1;
    for (const std::wstring& line : lines)
        length += line.size() + 1;
    return length <= kLongestProfileSection;
}

std::vector<std::wstring> soundSectionLines(std::vector<std::wstring> lines,
                                            std::span<const std::wstring_view> knownKeys, std::size_t longestValue)
{
    if (fitsProfileSection(lines))
        return lines;

    std::vector<std::wstring> kept;
    std::vector<std::wstring_view> seen;
    for (const std::wstring& line : lines) {
        const std::size_t equals = line.find(L'=');
        if (equals == std::wstring::npos)
            continue;
        const std::wstring_view name = std::wstring_view(line).substr(0, equals);
        const auto same = [name](std::wstring_view key) { return sameName(key, name); };
        if (std::none_of(knownKeys.begin(), knownKeys.end(), same) || std::any_of(seen.begin(), seen.end(), same))
            continue;
        seen.push_back(name);
        kept.push_back(line.substr(0, equals + 1 + longestValue));
    }
    return kept;
}
