#include "tools/desktop_wallpaper/devdesktop_displays.h"

#include "platform/win32_error.h"

namespace {

BOOL CALLBACK collectMonitor(HMONITOR monitor, HDC, LPRECT, LPARAM context) noexcept
{
    auto& monitors = *reinterpret_cast<std::vector<DevDesktopMonitor>*>(context);
    MONITORINFOEXW info{};
    info.cbSize = sizeof(info);
    if (!GetMonitorInfoW(monitor, &info))
        return TRUE;
    try {
        monitors.push_back({info.szDevice, info.rcMonitor});
    } catch (...) {
        return FALSE;
    }
    return TRUE;
}

} // namespace

std::vector<DevDesktopMonitor> attachedMonitors()
{
    std::vector<DevDesktopMonitor> monitors;
    EnumDisplayMonitors(nullptr, nullptr, collectMonitor, reinterpret_cast<LPARAM>(&monitors));
    return monitors;
}

RECT virtualScreenRect() noexcept
{
    const int left = GetSystemMetrics(SM_XVIRTUALSCREEN);
    const int top = GetSystemMetrics(SM_YVIRTUALSCREEN);
    return {left, top, left + GetSystemMetrics(SM_CXVIRTUALSCREEN), top + GetSystemMetrics(SM_CYVIRTUALSCREEN)};
}

std::vector<ListedDisplay> listedDisplays(const DevDesktopState& state)
{
    std::vector<ListedDisplay> displays;
    for (DevDesktopMonitor& monitor : attachedMonitors())
        displays.push_back({std::move(monitor.id), monitor.rect, true});
    for (const DisplayWallpaperEntry& entry : state.wallpapers)
        if (!entry.path.empty() && !findDisplay(displays, entry.monitorId.c_str()))
            displays.push_back({entry.monitorId, RECT{}, false});
    return displays;
}

const ListedDisplay* findDisplay(const std::vector<ListedDisplay>& displays, const wchar_t* id) noexcept
{
    for (const ListedDisplay& display : displays)
        if (display.id == id)
            return &display;
    return nullptr;
}

void showSlideshowPicture(DevDesktopState& state)
{
    const std::wstring picture = currentSlideshowPicture(state);
    for (const ListedDisplay& display : listedDisplays(state))
        state.setWallpaperOf(display.id, picture);
}

HRESULT advanceSlideshowOf(DevDesktopState& state, DESKTOP_SLIDESHOW_DIRECTION direction)
{
    const size_t count = slideshowPictures(state.slideshowItems).size();
    if (count == 0)
        return hresultFromWin32(ERROR_INVALID_STATE);
    const size_t index = state.slideshowIndex % count;
    const size_t next = direction == DSD_BACKWARD ? (index + count - 1) % count : (index + 1) % count;
    state.slideshowIndex = static_cast<UINT>(next);
    showSlideshowPicture(state);
    return S_OK;
}
