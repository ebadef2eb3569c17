#include "tools/desktop_wallpaper/devdesktop_state.h"

#include "platform/win32_error.h"
#include "platform/unique_handle.h"

#include <objbase.h>
#include <shlobj.h>
#include <shlwapi.h>

#include <algorithm>
#include <cwchar>

namespace {

constexpr wchar_t kLockName[] = L"Local\\PeltorineDevDesktop.State";
constexpr DWORD kLockTimeoutMs = 10000;

std::wstring_view trimmed(std::wstring_view text) noexcept
{
    while (!text.empty() && (text.front() == L' ' || text.front() == L'\t'))
        text.remove_prefix(1);
    while (!text.empty() && (text.back() == L' ' || text.back() == L'\t' || text.back() == L'\r'))
        text.remove_suffix(1);
    return text;
}

unsigned long numberOf(std::wstring_view text, unsigned long fallback)
{
    const std::wstring copy(text);
    wchar_t* end = nullptr;
    const unsigned long value = std::wcstoul(copy.c_str(), &end, 0);
    return (end == copy.c_str() || *end != L'\0') ? fallback : value;
}

std::string utf8Of(std::wstring_view text)
{
    if (text.empty())
        return {};
    const int length =
        WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
    std::string result(static_cast<size_t>(length), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), result.data(), length, nullptr,
                        nullptr);
    return result;
}

std::wstring wideOf(std::string_view text)
{
    if (text.size() >= 3 && text.substr(0, 3) == "\xEF\xBB\xBF")
        text.remove_prefix(3);
    if (text.empty())
        return {};
    const int length = MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring result(static_cast<size_t>(length), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), result.data(), length);
    return result;
}

bool isSlideshowPicture(const std::wstring& name)
{
    const wchar_t* extension = PathFindExtensionW(name.c_str());
    for (const wchar_t* accepted : {L".png", L".jpg", L".jpeg", L".bmp"})
        if (_wcsicmp(extension, accepted) == 0)
            return true;
    return false;
}

bool isFolder(const std::wstring& path)
{
    const DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

} // namespace

const std::wstring* DevDesktopState::wallpaperOf(std::wstring_view monitorId) const noexcept
{
    for (const DisplayWallpaperEntry& entry : wallpapers)
        if (entry.monitorId == monitorId)
            return &entry.path;
    return nullptr;
}

void DevDesktopState::setWallpaperOf(std::wstring_view monitorId, std::wstring path)
{
    for (DisplayWallpaperEntry& entry : wallpapers) {
        if (entry.monitorId == monitorId) {
            entry.path = std::move(path);
            return;
        }
    }
    wallpapers.push_back({std::wstring(monitorId), std::move(path)});
}

std::wstring formatDevDesktopState(const DevDesktopState& state)
{
    wchar_t numbers[256] = {};
    swprintf(numbers, 256,
             L"[Desktop]\nPosition=%d\nBackgroundColor=0x%08lX\nEnabled=%d\nSlideshowOptions=%d\n"
             L"SlideshowTick=%u\nSlideshowIndex=%u\n",
             static_cast<int>(state.position), static_cast<unsigned long>(state.backgroundColor), state.enabled ? 1 : 0,
             static_cast<int>(state.slideshowOptions), state.slideshowTick, state.slideshowIndex);
    std::wstring text = L"; The development desktop's wallpaper state (written whole; edit while it is stopped).\n";
    text += numbers;
    text += L"[Wallpapers]\n";
    for (const DisplayWallpaperEntry& entry : state.wallpapers)
        text += entry.monitorId + L"=" + entry.path + L"\n";
    text += L"[Slideshow]\n";
    for (const std::wstring& item : state.slideshowItems)
        text += L"Item=" + item + L"\n";
    return text;
}

DevDesktopState parseDevDesktopState(std::wstring_view text)
{
    DevDesktopState state;
    std::wstring_view section;
    while (!text.empty()) {
        const size_t end = text.find(L'\n');
        const std::wstring_view line = trimmed(text.substr(0, end));
        text.remove_prefix(end == std::wstring_view::npos ? text.size() : end + 1);
        if (line.empty() || line.front() == L';')
            continue;
        if (line.front() == L'[' && line.back() == L']') {
            section = line.substr(1, line.size() - 2);
            continue;
        }
        // Display ids never hold '=', paths may: split at the first one.
        const size_t equals = line.find(L'=');
        if (equals == std::wstring_view::npos || equals == 0)
            continue;
        const std::wstring_view key = trimmed(line.substr(0, equals));
        const std::wstring_view value = line.substr(equals + 1);
        if (section == L"Desktop") {
            if (key == L"Position") {
                const unsigned long position = numberOf(value, DWPOS_FILL);
                state.position =
                    position <= DWPOS_SPAN ? static_cast<DESKTOP_WALLPAPER_POSITION>(position) : DWPOS_FILL;
            } else if (key == L"BackgroundColor") {
                state.backgroundColor = static_cast<COLORREF>(numberOf(value, 0));
            } else if (key == L"Enabled") {
                state.enabled = numberOf(value, 1) != 0;
            } else if (key == L"SlideshowOptions") {
                state.slideshowOptions = static_cast<DESKTOP_SLIDESHOW_OPTIONS>(numberOf(value, 0));
            } else if (key == L"SlideshowTick") {
                state.slideshowTick = static_cast<UINT>(numberOf(value, 0));
            } else if (key == L"SlideshowIndex") {
                state.slideshowIndex = static_cast<UINT>(numberOf(value, 0));
            }
        } else if (section == L"Wallpapers") {
            state.setWallpaperOf(key, std::wstring(value));
        } else if (section == L"Slideshow" && key == L"Item" && !value.empty()) {
            state.slideshowItems.emplace_back(value);
        }
    }
    return state;
}

std::vector<std::wstring> slideshowPictures(const std::vector<std::wstring>& items)
{
    if (items.size() != 1 || !isFolder(items.front()))
        return items;
    std::vector<std::wstring> pictures;
    const std::wstring folder = items.front();
    WIN32_FIND_DATAW found{};
    const HANDLE search = FindFirstFileW((folder + L"\\*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE)
        return pictures;
    do {
        const std::wstring name = found.cFileName;
        if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) && isSlideshowPicture(name))
            pictures.push_back(folder + L"\\" + name);
    } while (FindNextFileW(search, &found));
    FindClose(search);
    std::sort(pictures.begin(), pictures.end(),
              [](const std::wstring& a, const std::wstring& b) { return StrCmpLogicalW(a.c_str(), b.c_str()) < 0; });
    return pictures;
}

std::wstring currentSlideshowPicture(const DevDesktopState& state)
{
    const std::vector<std::wstring> pictures = slideshowPictures(state.slideshowItems);
    if (pictures.empty())
        return {};
    return pictures[state.slideshowIndex % pictures.size()];
}

HRESULT devDesktopStatePath(std::wstring& path)
{
    wchar_t overridden[MAX_PATH * 4] = {};
    const DWORD length = GetEnvironmentVariableW(kDevDesktopStateVariable, overridden, MAX_PATH * 4);
    if (length > 0 && length < MAX_PATH * 4) {
        path = overridden;
        return S_OK;
    }
    PWSTR localAppData = nullptr;
    if (const HRESULT hr = SHGetKnownFolderPath(FOLDERID_LocalAppData, KF_FLAG_CREATE, nullptr, &localAppData);
        FAILED(hr)) {
        CoTaskMemFree(localAppData);
        return hr;
    }
    std::wstring folder = std::wstring(localAppData) + L"\\PeltorineDevDesktop";
    CoTaskMemFree(localAppData);
    if (!CreateDirectoryW(folder.c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS)
        return lastErrorResult();
    path = folder + L"\\state.ini";
    return S_OK;
}

DevDesktopStateLock::DevDesktopStateLock() noexcept
{
    mutex_ = CreateMutexW(nullptr, FALSE, kLockName);
    if (!mutex_) {
        result_ = lastErrorResult();
        return;
    }
    switch (WaitForSingleObject(mutex_, kLockTimeoutMs)) {
    case WAIT_OBJECT_0:
    case WAIT_ABANDONED: // a process died holding it; the file itself is always whole
        result_ = S_OK;
        break;
    case WAIT_TIMEOUT:
        result_ = hresultFromWin32(WAIT_TIMEOUT);
        break;
    default:
        result_ = lastErrorResult();
        break;
    }
}

DevDesktopStateLock::~DevDesktopStateLock()
{
    if (SUCCEEDED(result_))
        ReleaseMutex(mutex_);
    if (mutex_)
        CloseHandle(mutex_);
}

HRESULT readDevDesktopStateLocked(const std::wstring& path, DevDesktopState& state)
{
    // Shared for delete too, so that a writer's rename is never refused on Windows.
    HANDLE opened = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (opened == INVALID_HANDLE_VALUE) {
        const DWORD error = GetLastError();
        if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) {
            state = DevDesktopState{};
            return S_OK;
        }
        return hresultFromWin32(error);
    }
    const UniqueFile file(opened);
    LARGE_INTEGER size{};
    if (!GetFileSizeEx(file.get(), &size))
        return lastErrorResult();
    if (size.QuadPart > 16 * 1024 * 1024)
        return HRESULT_FROM_WIN32(ERROR_FILE_TOO_LARGE);
    std::string bytes(static_cast<size_t>(size.QuadPart), '\0');
    DWORD read = 0;
    if (!bytes.empty() && !ReadFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr))
        return lastErrorResult();
    bytes.resize(read);
    state = parseDevDesktopState(wideOf(bytes));
    return S_OK;
}

HRESULT writeDevDesktopStateLocked(const std::wstring& path, const DevDesktopState& state)
{
    const std::string bytes = utf8Of(formatDevDesktopState(state));
    wchar_t suffix[32] = {};
    swprintf(suffix, 32, L".%lu.tmp", GetCurrentProcessId());
    const std::wstring temporary = path + suffix;
    {
        HANDLE created =
            CreateFileW(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (created == INVALID_HANDLE_VALUE)
            return lastErrorResult();
        const UniqueFile file(created);
        DWORD written = 0;
        if (!WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) ||
            written != bytes.size()) {
            const HRESULT hr = lastErrorResult();
            DeleteFileW(temporary.c_str());
            return FAILED(hr) ? hr : E_FAIL;
        }
    }
    if (!MoveFileExW(temporary.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        const HRESULT hr = lastErrorResult();
        DeleteFileW(temporary.c_str());
        return hr;
    }
    return S_OK;
}

HRESULT readDevDesktopState(DevDesktopState& state)
{
    try {
        std::wstring path;
        if (const HRESULT hr = devDesktopStatePath(path); FAILED(hr))
            return hr;
        DevDesktopStateLock lock;
        if (FAILED(lock.result()))
            return lock.result();
        return readDevDesktopStateLocked(path, state);
    } catch (...) {
        return E_OUTOFMEMORY;
    }
}

void notifyDevDesktopChanged() noexcept
{
    const UINT changed = RegisterWindowMessageW(kDevDesktopChangedMessage);
    if (changed == 0)
        return;
    // Message-only windows: FindWindowExW with HWND_MESSAGE walks them by class.
    HWND window = nullptr;
    while ((window = FindWindowExW(HWND_MESSAGE, window, kDevDesktopControlClass, nullptr)) != nullptr)
        PostMessageW(window, changed, 0, 0);
}
