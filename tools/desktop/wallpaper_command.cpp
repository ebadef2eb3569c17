#include "tools/desktop/wallpaper_command.h"

#include "tools/desktop/desktop_windows.h"

#include <windows.h>
#include <objbase.h>
#include <shobjidl.h>
#include <wrl/client.h>

#include <cwchar>
#include <optional>
#include <string_view>

using Microsoft::WRL::ComPtr;

namespace {

std::optional<DESKTOP_WALLPAPER_POSITION> positionNamed(std::wstring_view name) noexcept
{
    constexpr const wchar_t* names[] = {L"center", L"tile", L"stretch", L"fit", L"fill", L"span"};
    for (int i = 0; i < 6; ++i)
        if (_wcsicmp(std::wstring(name).c_str(), names[i]) == 0 || name == std::to_wstring(i))
            return static_cast<DESKTOP_WALLPAPER_POSITION>(i);
    return std::nullopt;
}

bool optionValue(std::wstring_view option, std::wstring_view name, std::wstring& value)
{
    if (option.substr(0, name.size()) != name)
        return false;
    value = option.substr(name.size());
    return true;
}

int report(const wchar_t* call, HRESULT hr) noexcept
{
    sayLine(L"%ls: 0x%08lX", call, static_cast<unsigned long>(hr));
    return FAILED(hr) ? 1 : 0;
}

} // namespace

int runWallpaperCommand(const std::vector<std::wstring>& options) noexcept
{
    try {
        std::optional<std::wstring> wallpaper;
        std::optional<std::wstring> monitor;
        std::optional<DESKTOP_WALLPAPER_POSITION> position;
        std::optional<COLORREF> color;
        std::optional<bool> enable;
        for (const std::wstring& option : options) {
            std::wstring value;
            if (optionValue(option, L"--wallpaper=", value)) {
                wallpaper = value;
            } else if (optionValue(option, L"--monitor=", value)) {
                monitor = value;
            } else if (optionValue(option, L"--position=", value)) {
                position = positionNamed(value);
                if (!position) {
                    sayLine(L"unknown position \"%ls\" (center, tile, stretch, fit, fill or span)", value.c_str());
                    return 2;
                }
            } else if (optionValue(option, L"--color=", value)) {
                const unsigned long rgb = std::wcstoul(value.c_str(), nullptr, 16);
                color = RGB((rgb >> 16) & 0xFF, (rgb >> 8) & 0xFF, rgb & 0xFF);
            } else if (optionValue(option, L"--enable=", value)) {
                enable = value != L"0";
            } else {
                sayLine(L"unknown option \"%ls\"", option.c_str());
                return 2;
            }
        }

        ComPtr<IDesktopWallpaper> desktop;
        if (const HRESULT hr = CoCreateInstance(CLSID_DesktopWallpaper, nullptr, CLSCTX_ALL, IID_PPV_ARGS(&desktop));
            FAILED(hr))
            return report(L"CoCreateInstance(CLSID_DesktopWallpaper)", hr);
        int status = 0;
        if (color)
            status |= report(L"SetBackgroundColor", desktop->SetBackgroundColor(*color));
        if (position)
            status |= report(L"SetPosition", desktop->SetPosition(*position));
        if (wallpaper)
            status |= report(L"SetWallpaper",
                             desktop->SetWallpaper(monitor ? monitor->c_str() : nullptr, wallpaper->c_str()));
        if (enable)
            status |= report(L"Enable", desktop->Enable(*enable ? TRUE : FALSE));
        return status;
    } catch (...) {
        return 1;
    }
}
