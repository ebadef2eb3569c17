#include "tests/support/menu_description.h"

namespace {

void describe(const std::vector<MenuItem>& items, const std::wstring& indent, std::vector<std::wstring>& lines)
{
    for (const MenuItem& item : items) {
        if (item.separator) {
            lines.push_back(indent + L"---");
            continue;
        }
        if (!item.submenu.empty()) {
            lines.push_back(indent + L"> " + item.text);
            describe(item.submenu, indent + L"  ", lines);
            continue;
        }
        std::wstring line = indent + std::to_wstring(item.id) + L" " + item.text;
        if (item.banner)
            line += L" [banner]";
        if (item.checked)
            line += item.radio ? L" [radio]" : L" [checked]";
        if (item.greyed)
            line += L" [greyed]";
        if (item.defaultItem)
            line += L" [default]";
        lines.push_back(line);
    }
}

} // namespace

std::vector<std::wstring> describeMenuModel(const std::vector<MenuItem>& items)
{
    std::vector<std::wstring> lines;
    describe(items, L"", lines);
    return lines;
}
