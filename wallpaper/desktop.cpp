#include "wallpaper/desktop.h"

#include <objbase.h>

#include <algorithm>
#include <memory>

#include "platform/win32_error.h"
#include "platform/unique_handle.h"

namespace {

constexpr HRESULT kDisplayNotFound = hresultFromWin32(ERROR_NOT_FOUND);

// The shell's own call for "every display" is a null id, not an empty one.
LPCWSTR monitorArgument(const std::wstring& monitorId) noexcept
{
    return monitorId.empty() ? nullptr : monitorId.c_str();
}

// The shell's displays in its order: attached ones (rectangle readable) into attached, and
// those it lists but could not read into unreadable. A display the shell reports as detached
// (S_FALSE), or whose id it no longer knows (E_INVALIDARG), is in neither. Only a failing count
// fails the whole listing.
HRESULT enumerateDisplays(IDesktopWallpaper& desktop, std::vector<DisplayWallpaper>& attached,
                          std::vector<UnreadableDisplay>& unreadable)
{
    attached.clear();
    unreadable.clear();
    UINT count = 0;
    if (const HRESULT hr = desktop.GetMonitorDevicePathCount(&count); FAILED(hr))
        return hr;
    for (UINT index = 0; index < count; ++index) {
        UniqueTaskString id;
        if (const HRESULT hr = desktop.GetMonitorDevicePathAt(index, id.put()); FAILED(hr)) {
            unreadable.push_back({L"", hr});
            continue;
        }
        if (!id)
            continue;
        DisplayWallpaper display;
        display.monitorId = id.get();
        // A path can outlive its display; only a readable rectangle proves it is attached.
        const HRESULT rect = desktop.GetMonitorRECT(display.monitorId.c_str(), &display.rect);
        if (rect == S_OK)
            attached.push_back(std::move(display));
        else if (FAILED(rect) && rect != E_INVALIDARG)
            unreadable.push_back({std::move(display.monitorId), rect});
    }
    return S_OK;
}

} // namespace

std::vector<DisplayWallpaper> listDisplays(IDesktopWallpaper& desktop)
{
    std::vector<DisplayWallpaper> displays;
    std::vector<UnreadableDisplay> unreadable;
    if (FAILED(enumerateDisplays(desktop, displays, unreadable)))
        displays.clear();
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

    std::vector<DisplayWallpaper> attached;
    if (const HRESULT hr = enumerateDisplays(desktop, attached, snapshot.unreadable); FAILED(hr))
        return hr;
    for (DisplayWallpaper& display : attached) {
        UniqueTaskString path;
        if (const HRESULT hr = desktop.GetWallpaper(display.monitorId.c_str(), path.put()); FAILED(hr)) {
            snapshot.unreadable.push_back({std::move(display.monitorId), hr});
            continue;
        }
        if (path)
            display.wallpaper = path.get();
        snapshot.displays.push_back(std::move(display));
    }

    // Without a display there is nothing a restore could put back.
    if (snapshot.displays.empty())
        return snapshot.unreadable.empty() ? kDisplayNotFound : snapshot.unreadable.front().error;
    return S_OK;
}

HRESULT unreadableTouchedBy(const DesktopSnapshot& captured, const std::wstring& monitorId)
{
    // A display known by no id could be any of them.
    for (const UnreadableDisplay& display : captured.unreadable) {
        if (monitorId.empty() || display.monitorId.empty() || display.monitorId == monitorId)
            return display.error;
    }
    return S_OK;
}

HRESULT unreadableTouchedByRestore(const DesktopSnapshot& captured, const DesktopSnapshot& target)
{
    const bool everyDisplay = target.slideshowItems || target.position == FitSpan;
    if (everyDisplay)
        return unreadableTouchedBy(captured, L"");
    for (const DisplayWallpaper& display : target.displays) {
        if (const HRESULT hr = unreadableTouchedBy(captured, display.monitorId); FAILED(hr))
            return hr;
    }
    return S_OK;
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
        // Every display the shell still lists is put back, also one that fails or whose rectangle
        // cannot be read now; only one that is gone is left out.
        // cannot be read now; only one that is known to be gone is left out.
        std::vector<DisplayWallpaper> attached;
        std::vector<UnreadableDisplay> unreadable;
        const bool listed = SUCCEEDED(note(enumerateDisplays(desktop, attached, unreadable))) &&
                            std::none_of(unreadable.begin(), unreadable.end(),
                                         [](const UnreadableDisplay& display) { return display.monitorId.empty(); });
        for (const DisplayWallpaper& saved : snapshot.displays) {
            const auto same = [&saved](const auto& now) { return now.monitorId == saved.monitorId; };
            if (listed && std::none_of(attached.begin(), attached.end(), same) &&
                std::none_of(unreadable.begin(), unreadable.end(), same))
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
