#pragma once
// The development desktop's wallpaper state, shared on disk by every process that uses the
// desktop-wallpaper object and by the desktop program that paints it.
//
// The file is UTF-8 text in the prefix's %LOCALAPPDATA%\PeltorineDevDesktop\state.ini, or
// wherever the environment variable PELTORINE_DEVDESKTOP_STATE names (tests use that):
//
//     [Desktop]
//     Position=4
//     BackgroundColor=0x00302010      (a COLORREF, 0x00BBGGRR)
//     Enabled=1
//     SlideshowOptions=0
//     SlideshowTick=0
//     SlideshowIndex=0
//     [Wallpapers]
//     \\.\DISPLAY1=Z:\pictures\a.png  (display id = the monitor's device name)
//     [Slideshow]
//     Item=Z:\pictures\b.png          (present only while the shell slideshow runs)
//
// Every change is a read-modify-write under the named mutex "Local\PeltorineDevDesktop.State",
// and the file is replaced whole (written beside it, then renamed over it), so readers never
// see half a file and two writers never lose each other's change. After a change the desktop
// program's windows of class "PeltorineDevDesktop.Control" get the registered message
// "PeltorineDevDesktop.Changed".
#include <windows.h>
#include <shobjidl.h>

#include <string>
#include <string_view>
#include <utility>
#include <vector>

inline constexpr wchar_t kDevDesktopChangedMessage[] = L"PeltorineDevDesktop.Changed";
inline constexpr wchar_t kDevDesktopControlClass[] = L"PeltorineDevDesktop.Control";
inline constexpr wchar_t kDevDesktopStateVariable[] = L"PELTORINE_DEVDESKTOP_STATE";

struct DisplayWallpaperEntry {
    std::wstring monitorId;
    std::wstring path; // empty: the display shows the background colour only
    bool operator==(const DisplayWallpaperEntry&) const = default;
};

struct DevDesktopState {
    DESKTOP_WALLPAPER_POSITION position = DWPOS_FILL;
    COLORREF backgroundColor = 0;
    bool enabled = true;
    // The shell's own slideshow: files of one folder, or the folder itself. Empty when none runs.
    std::vector<std::wstring> slideshowItems;
    DESKTOP_SLIDESHOW_OPTIONS slideshowOptions = {};
    UINT slideshowTick = 0;
    UINT slideshowIndex = 0;
    // Per display, in the order the displays were first given a wallpaper.
    std::vector<DisplayWallpaperEntry> wallpapers;

    bool operator==(const DevDesktopState&) const = default;

    bool slideshowRunning() const noexcept { return !slideshowItems.empty(); }
    // The stored wallpaper of a display; null when the display has no entry.
    const std::wstring* wallpaperOf(std::wstring_view monitorId) const noexcept;
    void setWallpaperOf(std::wstring_view monitorId, std::wstring path);
};

// Text form of the state (pure; parse ignores what it does not know and keeps defaults).
std::wstring formatDevDesktopState(const DevDesktopState& state);
DevDesktopState parseDevDesktopState(std::wstring_view text);

// The pictures a slideshow cycles through: the files themselves, or the PNG, JPEG and BMP
// files of the one folder given, in logical file-name order.
std::vector<std::wstring> slideshowPictures(const std::vector<std::wstring>& items);
// The picture the slideshow shows now; empty when none runs or it has no pictures.
std::wstring currentSlideshowPicture(const DevDesktopState& state);

// Where the state lives (PELTORINE_DEVDESKTOP_STATE, else the per-user default).
[[nodiscard]] HRESULT devDesktopStatePath(std::wstring& path);

// Reads the state; a missing file gives the defaults.
[[nodiscard]] HRESULT readDevDesktopState(DevDesktopState& state);

// Changes the state under the cross-process lock. `change` gets the current state and returns
// S_OK to store it, anything else to leave the file alone (that result is returned). Notifies
// the desktop program after a stored change.
template <typename Change>
[[nodiscard]] HRESULT updateDevDesktopState(Change&& change) noexcept;

// --- implementation details of updateDevDesktopState ---
class DevDesktopStateLock {
public:
    DevDesktopStateLock() noexcept;
    ~DevDesktopStateLock();
    DevDesktopStateLock(const DevDesktopStateLock&) = delete;
    DevDesktopStateLock& operator=(const DevDesktopStateLock&) = delete;
    HRESULT result() const noexcept { return result_; }

private:
    HANDLE mutex_ = nullptr;
    HRESULT result_ = E_FAIL;
};

[[nodiscard]] HRESULT readDevDesktopStateLocked(const std::wstring& path, DevDesktopState& state);
[[nodiscard]] HRESULT writeDevDesktopStateLocked(const std::wstring& path, const DevDesktopState& state);
void notifyDevDesktopChanged() noexcept;

template <typename Change>
HRESULT updateDevDesktopState(Change&& change) noexcept
{
    try {
        std::wstring path;
        if (const HRESULT hr = devDesktopStatePath(path); FAILED(hr))
            return hr;
        DevDesktopStateLock lock;
        if (FAILED(lock.result()))
            return lock.result();
        DevDesktopState state;
        if (const HRESULT hr = readDevDesktopStateLocked(path, state); FAILED(hr))
            return hr;
        const DevDesktopState before = state;
        if (const HRESULT hr = std::forward<Change>(change)(state); hr != S_OK)
            return hr;
        if (state == before)
            return S_OK;
        if (const HRESULT hr = writeDevDesktopStateLocked(path, state); FAILED(hr))
            return hr;
    } catch (...) {
        return E_OUTOFMEMORY;
    }
    notifyDevDesktopChanged();
    return S_OK;
}
