#include "settings/paths.h"

namespace {

bool isSeparator(wchar_t c)
{
    return c == L'\\' || c == L'/';
}

bool isAsciiLetter(wchar_t c)
{
    return (c >= L'a' && c <= L'z') || (c >= L'A' && c <= L'Z');
}

// Length of the root name: "C:" (2), "\\server" up to the next separator, or 0.
size_t rootNameLength(std::wstring_view path)
{
    if (path.size() >= 2 && isAsciiLetter(path[0]) && path[1] == L':')
        return 2;
    // Three or more leading separators are a plain root, not a network name.
    if (path.size() >= 3 && isSeparator(path[0]) && isSeparator(path[1]) && !isSeparator(path[2])) {
        size_t end = 2;
        while (end < path.size() && !isSeparator(path[end]))
            ++end;
        return end;
    }
    return 0;
}

// Index of the last separator at or after the root name, or npos.
size_t lastSeparatorAfterRoot(std::wstring_view path, size_t root)
{
    for (size_t index = path.size(); index > root; --index) {
        if (isSeparator(path[index - 1]))
            return index - 1;
    }
    return std::wstring_view::npos;
}

} // namespace

std::wstring joinPath(std::wstring_view base, std::wstring_view part)
{
    if (base.empty() || rootNameLength(part) != 0 || (!part.empty() && isSeparator(part[0])))
        return std::wstring(part);
    if (part.empty())
        return std::wstring(base);
    std::wstring joined(base);
    if (!isSeparator(joined.back()))
        joined += L'\\';
    joined += part;
    return joined;
}

std::wstring lastPathComponent(std::wstring_view value)
{
    const size_t root = rootNameLength(value);
    const size_t separator = lastSeparatorAfterRoot(value, root);
    return std::wstring(value.substr(separator == std::wstring_view::npos ? root : separator + 1));
}

bool isBareFileName(std::wstring_view value)
{
    return !value.empty() && rootNameLength(value) == 0 && lastPathComponent(value) == value;
}

std::wstring parentFolderOf(std::wstring_view path)
{
    const size_t root = rootNameLength(path);
    const size_t separator = lastSeparatorAfterRoot(path, root);
    if (separator == std::wstring_view::npos)
        return std::wstring(path.substr(0, root));
    size_t end = separator;
    while (end > root && isSeparator(path[end - 1]))
        --end;
    // The separator right after the root name is the root itself and stays.
    return std::wstring(path.substr(0, end == root ? root + 1 : end));
}
