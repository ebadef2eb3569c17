#include "tests/support/fake_desktop_wallpaper.h"
#include "tests/support/temp_folder.h"
#include "platform/unique_handle.h"

#include <shlobj.h>

#include <algorithm>
#include <cwchar>
#include <ostream>
#include <utility>

using Microsoft::WRL::ComPtr;

namespace {

std::wstring text(LPCWSTR value)
{
    return value ? std::wstring(value) : std::wstring(L"(null)");
}

std::wstring decimal(unsigned long long value)
{
    wchar_t buffer[32] = {};
    swprintf(buffer, 32, L"%llu", value);
    return buffer;
}

std::wstring hexResult(HRESULT value)
{
    wchar_t buffer[16] = {};
    swprintf(buffer, 16, L"0x%08lX", static_cast<unsigned long>(value));
    return buffer;
}

std::wstring joined(const std::vector<std::wstring>& parts, const wchar_t* separator)
{
    std::wstring result;
    for (size_t i = 0; i < parts.size(); ++i) {
        if (i > 0)
            result += separator;
        result += parts[i];
    }
    return result;
}

// A task-allocated copy, as the shell hands out strings; null when out of memory.
LPWSTR taskCopy(const std::wstring& value)
{
    const size_t bytes = (value.size() + 1) * sizeof(wchar_t);
    auto* copy = static_cast<LPWSTR>(CoTaskMemAlloc(bytes));
    if (copy)
        std::copy(value.c_str(), value.c_str() + value.size() + 1, copy);
    return copy;
}

// The class object behind registerAsDesktopWallpaperClass: every instance is the one fake.
class FakeClassFactory final : public ComObject<IClassFactory> {
public:
    explicit FakeClassFactory(ComPtr<FakeDesktopWallpaper> target) : target_(std::move(target)) {}

    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID riid, void** object) noexcept override
    {
        if (!object)
            return E_POINTER;
        *object = nullptr;
        if (outer)
            return CLASS_E_NOAGGREGATION;
        return target_->QueryInterface(riid, object);
    }
    HRESULT STDMETHODCALLTYPE LockServer(BOOL) noexcept override { return S_OK; }

private:
    ~FakeClassFactory() override = default;

    ComPtr<FakeDesktopWallpaper> target_;
};

} // namespace

// ---------------------------------------------------------------------------------------------
// Records

std::wstring FakeDesktopCall::toString() const
{
    return method + L"(" + joined(arguments, L", ") + L") -> " + hexResult(result);
}

std::wstring FakeDesktopState::toString() const
{
    std::wstring out = L"{displays: [";
    for (size_t i = 0; i < displays.size(); ++i) {
        if (i > 0)
            out += L", ";
        out += displays[i].id + L" = \"" + displays[i].wallpaper + L"\"";
    }
    out += L"], position: " + decimal(static_cast<unsigned>(position));
    out += L", background: " + decimal(backgroundColor);
    out += enabled ? L", enabled" : L", disabled";
    if (slideshow)
        out += L", slideshow: [" + joined(slideshowPaths, L"|") + L"]";
    else
        out += L", no slideshow";
    out += L", slideshow options: " + decimal(static_cast<unsigned>(slideshowOptions));
    out += L", tick: " + decimal(slideshowTick) + L"}";
    return out;
}

void PrintTo(const FakeDesktopState& state, std::ostream* out)
{
    *out << utf8(state.toString());
}

void PrintTo(const FakeDesktopCall& call, std::ostream* out)
{
    *out << utf8(call.toString());
}

// ---------------------------------------------------------------------------------------------
// Shell item arrays

ComPtr<IShellItemArray> makeShellItemArray(const std::vector<std::wstring>& paths)
{
    std::vector<PIDLIST_ABSOLUTE> lists;
    bool parsed = true;
    for (const std::wstring& path : paths) {
        PIDLIST_ABSOLUTE list = nullptr;
        if (FAILED(SHParseDisplayName(path.c_str(), nullptr, &list, 0, nullptr))) {
            parsed = false;
            break;
        }
        lists.push_back(list);
    }
    ComPtr<IShellItemArray> items;
    if (parsed && !lists.empty()) {
        std::vector<PCIDLIST_ABSOLUTE> constLists(lists.begin(), lists.end());
        if (FAILED(SHCreateShellItemArrayFromIDLists(static_cast<UINT>(constLists.size()), constLists.data(), &items)))
            items.Reset();
    }
    for (PIDLIST_ABSOLUTE list : lists)
        CoTaskMemFree(list);
    return items;
}

std::vector<std::wstring> shellItemArrayPaths(IShellItemArray* items)
{
    std::vector<std::wstring> paths;
    DWORD count = 0;
    if (!items || FAILED(items->GetCount(&count)))
        return paths;
    for (DWORD i = 0; i < count; ++i) {
        ComPtr<IShellItem> item;
        LPWSTR path = nullptr;
        if (SUCCEEDED(items->GetItemAt(i, &item)) && SUCCEEDED(item->GetDisplayName(SIGDN_FILESYSPATH, &path))) {
            paths.emplace_back(path);
            CoTaskMemFree(path);
        } else {
            paths.emplace_back(L"(unreadable item)");
        }
    }
    return paths;
}

// ---------------------------------------------------------------------------------------------
// Registration

DesktopWallpaperRegistration::DesktopWallpaperRegistration(DesktopWallpaperRegistration&& other) noexcept
    : result_(std::exchange(other.result_, E_UNEXPECTED)), cookie_(std::exchange(other.cookie_, 0))
{
}

DesktopWallpaperRegistration& DesktopWallpaperRegistration::operator=(DesktopWallpaperRegistration&& other) noexcept
{
    if (this != &other) {
        if (cookie_ != 0)
            CoRevokeClassObject(cookie_);
        result_ = std::exchange(other.result_, E_UNEXPECTED);
        cookie_ = std::exchange(other.cookie_, 0);
    }
    return *this;
}

DesktopWallpaperRegistration::~DesktopWallpaperRegistration()
{
    if (cookie_ != 0)
        CoRevokeClassObject(cookie_);
}

DesktopWallpaperRegistration FakeDesktopWallpaper::registerAsDesktopWallpaperClass()
{
    const auto factory = adoptReference<IClassFactory>(new FakeClassFactory(this));
    DWORD cookie = 0;
    // Both contexts, so that CLSCTX_ALL finds the class object whichever it asks for first.
    const HRESULT hr = CoRegisterClassObject(CLSID_DesktopWallpaper, factory.Get(),
                                             CLSCTX_INPROC_SERVER | CLSCTX_LOCAL_SERVER, REGCLS_MULTIPLEUSE, &cookie);
    return DesktopWallpaperRegistration(hr, SUCCEEDED(hr) ? cookie : 0);
}

// ---------------------------------------------------------------------------------------------
// Configuration and observation

ComPtr<FakeDesktopWallpaper> FakeDesktopWallpaper::create()
{
    return adoptReference(new FakeDesktopWallpaper());
}

void FakeDesktopWallpaper::addDisplay(const std::wstring& id, RECT rect, const std::wstring& wallpaper)
{
    displays_.push_back(Display{id, rect, wallpaper, S_OK});
}

void FakeDesktopWallpaper::failMonitorRect(const std::wstring& id, HRESULT hr)
{
    if (Display* display = findDisplay(id))
        display->rectResult = hr;
}

void FakeDesktopWallpaper::removeDisplay(const std::wstring& id)
{
    std::erase_if(displays_, [&](const Display& display) { return display.id == id; });
}

void FakeDesktopWallpaper::setWallpaperOf(const std::wstring& id, const std::wstring& wallpaper)
{
    if (Display* display = findDisplay(id))
        display->wallpaper = wallpaper;
}

void FakeDesktopWallpaper::setPosition(DESKTOP_WALLPAPER_POSITION position)
{
    position_ = position;
}
void FakeDesktopWallpaper::setBackgroundColor(COLORREF color)
{
    backgroundColor_ = color;
}
void FakeDesktopWallpaper::setEnabled(bool enabled)
{
    enabled_ = enabled;
}
void FakeDesktopWallpaper::failEmptyWallpaper(HRESULT hr)
{
    emptyWallpaperResult_ = hr;
}

void FakeDesktopWallpaper::setShellSlideshow(ComPtr<IShellItemArray> items, DESKTOP_SLIDESHOW_OPTIONS options,
                                             UINT tick)
{
    slideshowOptions_ = options;
    slideshowTick_ = tick;
    if (!items) {
        endSlideshow();
        return;
    }
    std::vector<std::wstring> paths = shellItemArrayPaths(items.Get());
    startSlideshow(std::move(items), std::move(paths));
}

FakeDesktopState FakeDesktopWallpaper::state() const
{
    FakeDesktopState state;
    for (const Display& display : displays_)
        state.displays.push_back({display.id, display.wallpaper});
    state.position = position_;
    state.backgroundColor = backgroundColor_;
    state.enabled = enabled_;
    state.slideshow = slideshow_ != nullptr;
    state.slideshowOptions = slideshowOptions_;
    state.slideshowTick = slideshowTick_;
    state.slideshowPaths = slideshowPaths_;
    return state;
}

std::wstring FakeDesktopWallpaper::wallpaperOf(const std::wstring& id) const
{
    const Display* display = findDisplay(id);
    return display ? display->wallpaper : std::wstring();
}

void FakeDesktopWallpaper::clearCalls()
{
    calls_.clear();
}

int FakeDesktopWallpaper::callCount(std::wstring_view method) const
{
    return static_cast<int>(std::count_if(calls_.begin(), calls_.end(),
                                          [&](const FakeDesktopCall& call) { return call.method == method; }));
}

std::wstring FakeDesktopWallpaper::callsText() const
{
    std::wstring out = L"IDesktopWallpaper calls (" + decimal(calls_.size()) + L"):\n";
    for (size_t i = 0; i < calls_.size(); ++i)
        out += L"  " + decimal(i + 1) + L". " + calls_[i].toString() + L"\n";
    return out;
}

void FakeDesktopWallpaper::failNthCallOf(std::wstring_view method, int n, HRESULT hr)
{
    injections_.push_back(Injection{std::wstring(method), n - 1, false, hr});
}

void FakeDesktopWallpaper::failEveryCallOf(std::wstring_view method, HRESULT hr)
{
    injections_.push_back(Injection{std::wstring(method), 0, true, hr});
}

void FakeDesktopWallpaper::failNthCall(int n, HRESULT hr)
{
    injections_.push_back(Injection{std::wstring(), n - 1, false, hr});
}

void FakeDesktopWallpaper::clearFailures()
{
    injections_.clear();
}

// ---------------------------------------------------------------------------------------------
// Internals

FakeDesktopWallpaper::Display* FakeDesktopWallpaper::findDisplay(std::wstring_view id)
{
    auto found = std::find_if(displays_.begin(), displays_.end(), [&](const Display& d) { return d.id == id; });
    return found == displays_.end() ? nullptr : &*found;
}

const FakeDesktopWallpaper::Display* FakeDesktopWallpaper::findDisplay(std::wstring_view id) const
{
    auto found = std::find_if(displays_.begin(), displays_.end(), [&](const Display& d) { return d.id == id; });
    return found == displays_.end() ? nullptr : &*found;
}

bool FakeDesktopWallpaper::takeInjectedFailure(std::wstring_view method, HRESULT& result)
{
    bool fired = false;
    for (auto it = injections_.begin(); it != injections_.end();) {
        if (!it->method.empty() && it->method != method) {
            ++it;
            continue;
        }
        if (it->every) {
            if (!fired)
                result = it->result;
            fired = true;
            ++it;
        } else if (it->remaining-- == 0) {
            if (!fired)
                result = it->result;
            fired = true;
            it = injections_.erase(it);
        } else {
            ++it;
        }
    }
    return fired;
}

HRESULT FakeDesktopWallpaper::record(const wchar_t* method, std::vector<std::wstring> arguments, HRESULT result)
{
    calls_.push_back(FakeDesktopCall{method, std::move(arguments), result});
    return result;
}

void FakeDesktopWallpaper::startSlideshow(ComPtr<IShellItemArray> items, std::vector<std::wstring> paths)
{
    // The shell shows the current slideshow picture on every display.
    if (!paths.empty()) {
        for (Display& display : displays_)
            display.wallpaper = paths.front();
    }
    slideshow_ = std::move(items);
    slideshowPaths_ = std::move(paths);
    enabled_ = true;
}

void FakeDesktopWallpaper::endSlideshow()
{
    slideshow_.Reset();
    slideshowPaths_.clear();
}

// ---------------------------------------------------------------------------------------------
// IDesktopWallpaper

HRESULT FakeDesktopWallpaper::SetWallpaper(LPCWSTR monitorID, LPCWSTR wallpaper) noexcept
{
    std::vector<std::wstring> arguments{text(monitorID), text(wallpaper)};
    HRESULT hr = S_OK;
    if (takeInjectedFailure(L"SetWallpaper", hr))
        return record(L"SetWallpaper", std::move(arguments), hr);

    Display* target = monitorID ? findDisplay(monitorID) : nullptr;
    if (!wallpaper)
        hr = E_INVALIDARG;
    else if (monitorID && !target)
        hr = kUnknownMonitorResult;
    else if (!*wallpaper && FAILED(emptyWallpaperResult_))
        hr = emptyWallpaperResult_;
    else {
        if (target)
            target->wallpaper = wallpaper;
        else
            for (Display& display : displays_)
                display.wallpaper = wallpaper;
        endSlideshow();
        if (*wallpaper)
            enabled_ = true;
    }
    return record(L"SetWallpaper", std::move(arguments), hr);
}

HRESULT FakeDesktopWallpaper::GetWallpaper(LPCWSTR monitorID, LPWSTR* wallpaper) noexcept
{
    std::vector<std::wstring> arguments{text(monitorID)};
    HRESULT hr = S_OK;
    const bool injected = takeInjectedFailure(L"GetWallpaper", hr);
    if (!wallpaper)
        return record(L"GetWallpaper", std::move(arguments), injected ? hr : E_POINTER);
    *wallpaper = nullptr;
    if (injected)
        return record(L"GetWallpaper", std::move(arguments), hr);

    std::wstring path;
    if (monitorID) {
        const Display* display = findDisplay(monitorID);
        if (!display)
            return record(L"GetWallpaper", std::move(arguments), kUnknownMonitorResult);
        path = display->wallpaper;
    } else {
        const bool allSame = std::all_of(displays_.begin(), displays_.end(), [&](const Display& display) {
            return display.wallpaper == displays_.front().wallpaper;
        });
        if (slideshow_ || !allSame)
            hr = S_FALSE;
        else if (!displays_.empty())
            path = displays_.front().wallpaper;
    }
    *wallpaper = taskCopy(path);
    if (!*wallpaper)
        hr = E_OUTOFMEMORY;
    return record(L"GetWallpaper", std::move(arguments), hr);
}

HRESULT FakeDesktopWallpaper::GetMonitorDevicePathAt(UINT monitorIndex, LPWSTR* monitorID) noexcept
{
    std::vector<std::wstring> arguments{decimal(monitorIndex)};
    HRESULT hr = S_OK;
    const bool injected = takeInjectedFailure(L"GetMonitorDevicePathAt", hr);
    if (!monitorID)
        return record(L"GetMonitorDevicePathAt", std::move(arguments), injected ? hr : E_POINTER);
    *monitorID = nullptr;
    if (injected)
        return record(L"GetMonitorDevicePathAt", std::move(arguments), hr);

    if (monitorIndex >= displays_.size())
        hr = E_INVALIDARG;
    else {
        *monitorID = taskCopy(displays_[monitorIndex].id);
        if (!*monitorID)
            hr = E_OUTOFMEMORY;
    }
    return record(L"GetMonitorDevicePathAt", std::move(arguments), hr);
}

HRESULT FakeDesktopWallpaper::GetMonitorDevicePathCount(UINT* count) noexcept
{
    HRESULT hr = S_OK;
    const bool injected = takeInjectedFailure(L"GetMonitorDevicePathCount", hr);
    if (!count)
        return record(L"GetMonitorDevicePathCount", {}, injected ? hr : E_POINTER);
    *count = 0;
    if (!injected)
        *count = static_cast<UINT>(displays_.size());
    return record(L"GetMonitorDevicePathCount", {}, hr);
}

HRESULT FakeDesktopWallpaper::GetMonitorRECT(LPCWSTR monitorID, RECT* displayRect) noexcept
{
    std::vector<std::wstring> arguments{text(monitorID)};
    HRESULT hr = S_OK;
    const bool injected = takeInjectedFailure(L"GetMonitorRECT", hr);
    if (!displayRect)
        return record(L"GetMonitorRECT", std::move(arguments), injected ? hr : E_POINTER);
    *displayRect = RECT{};
    if (injected)
        return record(L"GetMonitorRECT", std::move(arguments), hr);

    const Display* display = monitorID ? findDisplay(monitorID) : nullptr;
    if (!display)
        hr = kUnknownMonitorResult;
    else if (display->rectResult != S_OK)
        hr = display->rectResult;
    else
        *displayRect = display->rect;
    return record(L"GetMonitorRECT", std::move(arguments), hr);
}

HRESULT FakeDesktopWallpaper::SetBackgroundColor(COLORREF color) noexcept
{
    HRESULT hr = S_OK;
    if (!takeInjectedFailure(L"SetBackgroundColor", hr))
        backgroundColor_ = color;
    return record(L"SetBackgroundColor", {decimal(color)}, hr);
}

HRESULT FakeDesktopWallpaper::GetBackgroundColor(COLORREF* color) noexcept
{
    HRESULT hr = S_OK;
    const bool injected = takeInjectedFailure(L"GetBackgroundColor", hr);
    if (!color)
        return record(L"GetBackgroundColor", {}, injected ? hr : E_POINTER);
    *color = 0;
    if (!injected)
        *color = backgroundColor_;
    return record(L"GetBackgroundColor", {}, hr);
}

HRESULT FakeDesktopWallpaper::SetPosition(DESKTOP_WALLPAPER_POSITION position) noexcept
{
    std::vector<std::wstring> arguments{decimal(static_cast<unsigned>(position))};
    HRESULT hr = S_OK;
    if (!takeInjectedFailure(L"SetPosition", hr)) {
        if (const int value = static_cast<int>(position); value < DWPOS_CENTER || value > DWPOS_SPAN)
            hr = E_INVALIDARG;
        else
            position_ = position;
    }
    return record(L"SetPosition", std::move(arguments), hr);
}

HRESULT FakeDesktopWallpaper::GetPosition(DESKTOP_WALLPAPER_POSITION* position) noexcept
{
    HRESULT hr = S_OK;
    const bool injected = takeInjectedFailure(L"GetPosition", hr);
    if (!position)
        return record(L"GetPosition", {}, injected ? hr : E_POINTER);
    *position = DWPOS_CENTER;
    if (!injected)
        *position = position_;
    return record(L"GetPosition", {}, hr);
}

HRESULT FakeDesktopWallpaper::SetSlideshow(IShellItemArray* items) noexcept
{
    std::vector<std::wstring> paths = shellItemArrayPaths(items);
    std::vector<std::wstring> arguments{items ? joined(paths, L"|") : std::wstring(L"(null)")};
    HRESULT hr = S_OK;
    if (!takeInjectedFailure(L"SetSlideshow", hr)) {
        if (!items || paths.empty())
            hr = E_INVALIDARG;
        else
            startSlideshow(items, std::move(paths));
    }
    return record(L"SetSlideshow", std::move(arguments), hr);
}

HRESULT FakeDesktopWallpaper::GetSlideshow(IShellItemArray** items) noexcept
{
    HRESULT hr = S_OK;
    const bool injected = takeInjectedFailure(L"GetSlideshow", hr);
    if (!items)
        return record(L"GetSlideshow", {}, injected ? hr : E_POINTER);
    *items = nullptr;
    if (!injected && slideshow_)
        slideshow_.CopyTo(items);
    return record(L"GetSlideshow", {}, hr);
}

HRESULT FakeDesktopWallpaper::SetSlideshowOptions(DESKTOP_SLIDESHOW_OPTIONS options, UINT slideshowTick) noexcept
{
    HRESULT hr = S_OK;
    if (!takeInjectedFailure(L"SetSlideshowOptions", hr)) {
        slideshowOptions_ = options;
        slideshowTick_ = slideshowTick;
    }
    return record(L"SetSlideshowOptions", {decimal(static_cast<unsigned>(options)), decimal(slideshowTick)}, hr);
}

HRESULT FakeDesktopWallpaper::GetSlideshowOptions(DESKTOP_SLIDESHOW_OPTIONS* options, UINT* slideshowTick) noexcept
{
    HRESULT hr = S_OK;
    const bool injected = takeInjectedFailure(L"GetSlideshowOptions", hr);
    if (!options || !slideshowTick)
        return record(L"GetSlideshowOptions", {}, injected ? hr : E_POINTER);
    *options = static_cast<DESKTOP_SLIDESHOW_OPTIONS>(0);
    *slideshowTick = 0;
    if (!injected) {
        *options = slideshowOptions_;
        *slideshowTick = slideshowTick_;
    }
    return record(L"GetSlideshowOptions", {}, hr);
}

HRESULT FakeDesktopWallpaper::AdvanceSlideshow(LPCWSTR monitorID, DESKTOP_SLIDESHOW_DIRECTION direction) noexcept
{
    std::vector<std::wstring> arguments{text(monitorID), decimal(static_cast<unsigned>(direction))};
    HRESULT hr = S_OK;
    if (!takeInjectedFailure(L"AdvanceSlideshow", hr)) {
        if (monitorID && !findDisplay(monitorID))
            hr = kUnknownMonitorResult;
        else if (!slideshow_)
            hr = E_FAIL;
    }
    return record(L"AdvanceSlideshow", std::move(arguments), hr);
}

HRESULT FakeDesktopWallpaper::GetStatus(DESKTOP_SLIDESHOW_STATE* state) noexcept
{
    HRESULT hr = S_OK;
    const bool injected = takeInjectedFailure(L"GetStatus", hr);
    if (!state)
        return record(L"GetStatus", {}, injected ? hr : E_POINTER);
    *state = static_cast<DESKTOP_SLIDESHOW_STATE>(0);
    if (!injected) {
        int flags = 0;
        if (enabled_)
            flags |= DSS_ENABLED;
        if (slideshow_)
            flags |= DSS_SLIDESHOW;
        *state = static_cast<DESKTOP_SLIDESHOW_STATE>(flags);
    }
    return record(L"GetStatus", {}, hr);
}

HRESULT FakeDesktopWallpaper::Enable(BOOL enable) noexcept
{
    HRESULT hr = S_OK;
    if (!takeInjectedFailure(L"Enable", hr))
        enabled_ = enable != FALSE;
    return record(L"Enable", {enable ? std::wstring(L"1") : std::wstring(L"0")}, hr);
}
