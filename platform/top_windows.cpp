#include "platform/top_windows.h"

#include <cwchar>

namespace {

// dwmapi.dll is not one of Windows' known DLLs: loaded from the system folder on first use. Where
// it or the attribute is missing, no window counts as cloaked and frames are window rectangles.
using DwmGetWindowAttributeFunction = HRESULT(WINAPI*)(HWND, DWORD, void*, DWORD);

DwmGetWindowAttributeFunction windowAttribute() noexcept
{
    static const DwmGetWindowAttributeFunction function = [] {
        const HMODULE library = LoadLibraryExW(L"dwmapi.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
        return library ? reinterpret_cast<DwmGetWindowAttributeFunction>(
                             reinterpret_cast<void*>(GetProcAddress(library, "DwmGetWindowAttribute")))
                       : nullptr;
    }();
    return function;
}

constexpr DWORD kExtendedFrameBounds = 9; // DWMWA_EXTENDED_FRAME_BOUNDS
constexpr DWORD kCloaked = 14;            // DWMWA_CLOAKED

bool isCloaked(HWND window) noexcept
{
    const DwmGetWindowAttributeFunction attribute = windowAttribute();
    DWORD cloaked = 0;
    return attribute && SUCCEEDED(attribute(window, kCloaked, &cloaked, sizeof cloaked)) && cloaked != 0;
}

// A window's visible frame: without its invisible resize borders, which overlap the neighbours
// of a snapped window and reach past the display of a maximized one.
bool frameOf(HWND window, RECT& frame) noexcept
{
    const DwmGetWindowAttributeFunction attribute = windowAttribute();
    if (attribute && SUCCEEDED(attribute(window, kExtendedFrameBounds, &frame, sizeof frame)))
        return true;
    return GetWindowRect(window, &frame) != FALSE;
}

bool isSeeThrough(HWND window) noexcept
{
    const LONG_PTR exStyle = GetWindowLongPtrW(window, GWL_EXSTYLE);
    return (exStyle & WS_EX_LAYERED) != 0 && (exStyle & WS_EX_TRANSPARENT) != 0;
}

bool isDesktopLayer(HWND window, HWND layerRoot) noexcept
{
    if (window == layerRoot)
        return true;
    wchar_t className[16] = {};
    GetClassNameW(window, className, 16);
    return std::wcscmp(className, L"Progman") == 0 ||
           FindWindowExW(window, nullptr, L"SHELLDLL_DefView", nullptr) != nullptr;
}

} // namespace

std::vector<RECT> topWindowsAboveDesktop(HWND desktopLayer) noexcept
{
    const HWND layerRoot = desktopLayer ? GetAncestor(desktopLayer, GA_ROOT) : nullptr;
    std::vector<RECT> rectangles;
    try {
        for (HWND window = GetTopWindow(nullptr); window; window = GetWindow(window, GW_HWNDNEXT)) {
            if (isDesktopLayer(window, layerRoot))
                break;
            if (!IsWindowVisible(window) || IsIconic(window) || isSeeThrough(window) || isCloaked(window))
                continue;
            RECT frame{};
            if (frameOf(window, frame))
                rectangles.push_back(frame);
        }
    } catch (...) {
        rectangles.clear();
    }
    return rectangles;
}
