#include "wallpaper/desktop.h"

#include <objbase.h>

#include <algorithm>
#include <memory>

#include "app/win32_error.h"

namespace {

constexpr HRESULT kDisplayNotFound = hresultFromWin32(ERROR_NOT_FOUND);

// A string the shell allocated for us.
struct TaskMemFree {
    void operator()(wchar_t* text) const noexcept { CoTaskMemFree(text); }
};
using TaskString = std::unique_ptr<wchar_t, TaskMemFree>;

// The shell's own call for "every display" is a null id, not an empty one.
LPCWSTR monitorArgument(const std::wstring& monitorId) noexcept
{
    return monitorId.empty() ? nullptr : monitorId.c_str();
}

// The displays for a capture or a restore. Unlike the list the menu shows, a failing query
// fails the operation: a snapshot must not silently miss a display, and a restore must not
// report success for displays it never put back. A display the shell reports as detached
// (S_FALSE), or whose id it no longer knows (E_INVALIDARG), is left out as before.
HRESULT listDisplaysStrictly(IDesktopWallpaper& desktop, std::vector<DisplayWallpaper>& displays)
{
    displays.clear();
    UINT count = 0;
    if (const HRESULT hr = desktop.GetMonitorDevicePathCount(&count); FAILED(hr))
        return hr;
    for (UINT index = 0; index < count; ++index) {
        LPWSTR raw = nullptr;
        const HRESULT hr = desktop.GetMonitorDevicePathAt(index, &raw);
        const TaskString id(raw);
        if (FAILED(hr))
            return hr;
        if (!id)
            continue;
        DisplayWallpaper display;
        display.monitorId = id.get();
        const HRESULT rect = desktop.GetMonitorRECT(display.monitorId.c_str(), &display.rect);
        if (rect == S_OK)
            displays.push_back(std::move(display));
        else if (FAILED(rect) && rect != E_INVALIDARG)
            return rect;
    }
    return S_OK;
}

} // namespace

std::vector<DisplayWallpaper> listDisplays(IDesktopWallpaper& desktop)
{
    std::vector<DisplayWallpaper> displays;
    UINT count = 0;
    if (FAILED(desktop.GetMonitorDevicePathCount(&count)))
        return displays;

    for (UINT index = 0; index < count; ++index) {
        LPWSTR raw = nullptr;
        const HRESULT hr = desktop.GetMonitorDevicePathAt(index, &raw);
        const TaskString id(raw);
        if (FAILED(hr) || !id)
            continue;
        DisplayWallpaper display;
        display.monitorId = id.get();
        // A path can outlive its display; only a readable rectangle proves it is attached.
        if (desktop.GetMonitorRECT(display.monitorId.c_str(), &display.rect) != S_OK)
            continue;
        displays.push_back(std::move(display));
    }
    return displays;
}

HRESULT captureDesktop(IDesktopWallpaper& desktop, DesktopSnapshot& snapshot)
{
    snapshot = DesktopSnapshot{};

    DESKTOP_WALLPAPER_POSITION position{};
    if (const HRESULT hr = desktop.GetPosition(&position); FAILED(hr))
        return hr;
    snapshot.position = static_cast<FitMode>(position);

    if (const HRESULT hr = desktop.GetBackgroundColor(&snapshot.backgroundColor); FAILED(hr))
        return hr;

    DESKTOP_SLIDESHOW_STATE status{};
    if (const HRESULT hr = desktop.GetStatus(&status); FAILED(hr))
        return hr;
    snapshot.enabled = (status & DSS_ENABLED) != 0;

    if ((status & DSS_SLIDESHOW) != 0) {
        if (const HRESULT hr = desktop.GetSlideshow(&snapshot.slideshowItems); FAILED(hr))
            return hr;
        if (snapshot.slideshowItems) {
            DESKTOP_SLIDESHOW_OPTIONS options{};
            UINT tick = 0;
            if (const HRESULT hr = desktop.GetSlideshowOptions(&options, &tick); FAILED(hr))
                return hr;
            snapshot.slideshowOptions = static_cast<std::uint32_t>(options);
            snapshot.slideshowTick = tick;
        }
    }

    if (const HRESULT hr = listDisplaysStrictly(desktop, snapshot.displays); FAILED(hr))
        return hr;
    for (DisplayWallpaper& display : snapshot.displays) {
        LPWSTR raw = nullptr;
        const HRESULT hr = desktop.GetWallpaper(display.monitorId.c_str(), &raw);
        const TaskString path(raw);
        if (FAILED(hr))
            return hr;
        if (path)
            display.wallpaper = path.get();
    }

    // Without a display there is nothing a restore could put back.
    return snapshot.displays.empty() ? kDisplayNotFound : S_OK;
}

HRESULT restoreDesktop(IDesktopWallpaper& desktop, const DesktopSnapshot& snapshot)
{
    HRESULT first = S_OK;
    const auto note = [&first](HRESULT hr) {
        if (FAILED(hr) && SUCCEEDED(first))
            first = hr;
        return hr;
    };

    note(desktop.SetBackgroundColor(snapshot.backgroundColor));
    note(desktop.SetPosition(static_cast<DESKTOP_WALLPAPER_POSITION>(snapshot.position)));

    if (snapshot.slideshowItems) {
        // The shell's own slideshow puts its pictures back itself; no single wallpaper is set.
        if (SUCCEEDED(note(desktop.SetSlideshow(snapshot.slideshowItems.Get()))))
            note(desktop.SetSlideshowOptions(static_cast<DESKTOP_SLIDESHOW_OPTIONS>(snapshot.slideshowOptions),
                                             snapshot.slideshowTick));
    } else if (snapshot.position == FitSpan && !snapshot.displays.empty() &&
               !snapshot.displays.front().wallpaper.empty()) {
        // One spanned picture covers every display; setting it per display would split it.
        note(desktop.SetWallpaper(nullptr, snapshot.displays.front().wallpaper.c_str()));
    } else {
        std::vector<DisplayWallpaper> attached;
        note(listDisplaysStrictly(desktop, attached));
        for (const DisplayWallpaper& saved : snapshot.displays) {
            const bool stillAttached =
                std::any_of(attached.begin(), attached.end(),
                            [&saved](const DisplayWallpaper& now) { return now.monitorId == saved.monitorId; });
            if (!stillAttached)
                continue;
            const HRESULT hr = desktop.SetWallpaper(saved.monitorId.c_str(), saved.wallpaper.c_str());
            // A disabled desktop without a picture has nothing to put back; the shell may refuse
            // the empty path and that is no loss.
            if (snapshot.enabled || !saved.wallpaper.empty())
                note(hr);
        }
    }

    note(desktop.Enable(snapshot.enabled ? TRUE : FALSE));
    return first;
}

HRESULT applyStillImage(IDesktopWallpaper& desktop, const std::wstring& monitorId, const std::wstring& imagePath,
                        FitMode fit)
{
    if (!monitorId.empty()) {
        RECT rect{};
        if (desktop.GetMonitorRECT(monitorId.c_str(), &rect) != S_OK)
            return kDisplayNotFound;
    }

    // The shell would accept a path to nothing and show a blank desktop.
    if (GetFileAttributesW(imagePath.c_str()) == INVALID_FILE_ATTRIBUTES)
        return lastErrorResult();

    DESKTOP_WALLPAPER_POSITION position{};
    if (const HRESULT hr = desktop.GetPosition(&position); FAILED(hr))
        return hr;
    if (static_cast<FitMode>(position) != fit) {
        if (const HRESULT hr = desktop.SetPosition(static_cast<DESKTOP_WALLPAPER_POSITION>(fit)); FAILED(hr))
            return hr;
    }

    return desktop.SetWallpaper(monitorArgument(monitorId), imagePath.c_str());
}

std::vector<DisplayWallpaper> targetDisplaysOf(IDesktopWallpaper& desktop, const std::wstring& monitorId)
{
    std::vector<DisplayWallpaper> displays = listDisplays(desktop);
    if (!monitorId.empty())
        std::erase_if(displays,
                      [&monitorId](const DisplayWallpaper& display) { return display.monitorId != monitorId; });
    return displays;
}

std::wstring displayForNextChange(FitMode fitMode, const std::wstring& targetMonitor)
{
    // Span always covers every display, whatever display was chosen.
    return fitMode == FitSpan ? std::wstring() : targetMonitor;
}
