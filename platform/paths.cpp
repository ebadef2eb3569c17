#include "platform/paths.h"

namespace {

constexpr bool isAsciiLetter(wchar_t c) noexcept
{
    return (c >= L'a' && c <= L'z') || (c >= L'A' && c <= L'Z');
}

constexpr wchar_t asciiLower(wchar_t c) noexcept
{
    return c >= L'A' && c <= L'Z' ? static_cast<wchar_t>(c - L'A' + L'a') : c;
}

} // namespace

std::size_t rootNameLength(std::wstring_view path) noexcept
{
    if (path.size() >= 2 && isAsciiLetter(path[0]) && path[1] == L':')
        return 2;
    if (path.size() >= 3 && isPathSeparator(path[0]) && isPathSeparator(path[1]) && !isPathSeparator(path[2])) {
        std::size_t end = 3;
        while (end < path.size() && !isPathSeparator(path[end]))
            ++end;
        return end;
    }
    return 0;
}

std::size_t fileNameOffset(std::wstring_view path) noexcept
{
    std::size_t start = rootNameLength(path);
    for (std::size_t i = start; i < path.size(); ++i) {
        if (isPathSeparator(path[i]))
            start = i + 1;
    }
    return start;
}

std::wstring joinPath(std::wstring_view base, std::wstring_view part)
{
    if (base.empty() || rootNameLength(part) != 0 || (!part.empty() && isPathSeparator(part[0])))
        return std::wstring(part);
    if (part.empty())
        return std::wstring(base);
    std::wstring joined(base);
    if (!isPathSeparator(joined.back()))
        joined += L'\\';
    joined += part;
    return joined;
}

std::wstring fileNameOf(std::wstring_view path)
{
    return std::wstring(path.substr(fileNameOffset(path)));
}

bool isBareFileName(std::wstring_view value)
{
    return !value.empty() && fileNameOffset(value) == 0;
}

std::wstring parentFolderOf(std::wstring_view path)
{
    const std::size_t root = rootNameLength(path);
    const std::size_t name = fileNameOffset(path);
    if (name == root)
        return std::wstring(path.substr(0, root));
    std::size_t end = name - 1; // the separator before the name
    while (end > root && isPathSeparator(path[end - 1]))
        --end;
    // The separator right after the root name is the root itself and stays.
    return std::wstring(path.substr(0, end == root ? root + 1 : end));
}

bool equalsIgnoringAsciiCase(std::wstring_view left, std::wstring_view right) noexcept
{
    if (left.size() != right.size())
        return false;
    for (std::size_t i = 0; i < left.size(); ++i) {
        if (asciiLower(left[i]) != asciiLower(right[i]))
            return false;
    }
    return true;
}
