#pragma once
// An in-process stand-in for the shell's desktop-wallpaper object, which Wine lacks.
//
//     auto fake = FakeDesktopWallpaper::create();
//     fake->addDisplay(L"\\\\?\\DISPLAY#A", {0, 0, 1920, 1080}, L"C:\\old.jpg");
//     const FakeDesktopState before = fake->state();
//     fake->failNthCallOf(L"SetWallpaper", 1, E_ACCESSDENIED);
//     ... hand fake.Get() (an IDesktopWallpaper*) to the code under test ...
//     EXPECT_EQ(fake->state(), before) << fake->callsText();
//
// Model of the shell (what the fake does with each call):
// - Displays are listed in the order they were added; ids are compared exactly.
//   GetMonitorRECT, GetWallpaper, SetWallpaper and AdvanceSlideshow with an id that is
//   not listed (never added, or removed) fail with kUnknownMonitorResult (E_INVALIDARG).
//   Null out-pointers give E_POINTER; an index past the list gives E_INVALIDARG.
// - One position, background colour and enabled flag for the whole desktop. Defaults:
//   Fill, black (0), enabled, no slideshow, slideshow options 0 and tick 0.
// - SetWallpaper(null, path) sets every listed display; SetWallpaper(id, path) sets one.
//   Either ends the shell slideshow; a non-empty path also enables the wallpaper.
//   An empty path is accepted and stored as "no wallpaper" (see failEmptyWallpaper).
// - GetWallpaper(null) gives the common path with S_OK when every display shows the same
//   one, otherwise (displays differ, or a shell slideshow runs) S_FALSE and an empty
//   string, as the shell documents. Returned strings are CoTaskMemAlloc'd; a failing
//   GetWallpaper or GetMonitorDevicePathAt leaves null.
// - SetSlideshow(items) starts the shell slideshow: every display shows the first item
//   and the wallpaper is enabled. GetSlideshow without a slideshow gives S_OK and null.
//   Slideshow options and tick are kept whether or not a slideshow runs.
// - GetStatus: DSS_ENABLED while enabled, DSS_SLIDESHOW while a shell slideshow is set.
// - Enable(FALSE) clears DSS_ENABLED; the wallpapers are kept.
//
// Every IDesktopWallpaper call is logged, including failed and injected ones. The
// configuration methods below (addDisplay, setPosition, ...) are not logged and ignore
// injected failures. The object is meant for one thread (the test's UI thread); only
// the reference count is thread-safe.

#include <windows.h>
#include <objbase.h>
#include <shobjidl.h>
#include <wrl/client.h>

#include <iosfwd>
#include <string>
#include <string_view>
#include <vector>

#include "platform/com_object.h"

// One IDesktopWallpaper call: the method name (L"SetWallpaper"), its input arguments
// rendered as text (a null string is L"(null)", numbers in decimal, BOOL as 0/1, a shell
// item array as its paths joined by L"|") and what the fake returned.
struct FakeDesktopCall {
    std::wstring method;
    std::vector<std::wstring> arguments;
    HRESULT result = S_OK;

    bool operator==(const FakeDesktopCall&) const = default;
    // L"SetWallpaper(\\?\DISPLAY#A, C:\a.jpg) -> 0x00000000"
    std::wstring toString() const;
};

// Everything the desktop shows, for one-line "the desktop is what it was" checks.
struct FakeDesktopState {
    struct Display {
        std::wstring id;
        std::wstring wallpaper;
        bool operator==(const Display&) const = default;
    };
    std::vector<Display> displays; // listed displays, in order
    DESKTOP_WALLPAPER_POSITION position = DWPOS_FILL;
    COLORREF backgroundColor = 0;
    bool enabled = true;
    bool slideshow = false;
    DESKTOP_SLIDESHOW_OPTIONS slideshowOptions = static_cast<DESKTOP_SLIDESHOW_OPTIONS>(0);
    UINT slideshowTick = 0;
    std::vector<std::wstring> slideshowPaths; // file paths of the slideshow items

    bool operator==(const FakeDesktopState&) const = default;
    std::wstring toString() const;
};
// Lets GoogleTest print a state or a call in failure messages (as UTF-8).
void PrintTo(const FakeDesktopState& state, std::ostream* out);
void PrintTo(const FakeDesktopCall& call, std::ostream* out);

// A shell item array over file paths (the files should exist), as the shell slideshow
// holds; null when the shell cannot make one.
Microsoft::WRL::ComPtr<IShellItemArray> makeShellItemArray(const std::vector<std::wstring>& paths);
// The file-system paths of the items of an array, in order (empty for null).
std::vector<std::wstring> shellItemArrayPaths(IShellItemArray* items);

// Keeps CoCreateInstance(CLSID_DesktopWallpaper, ...) in the registering apartment
// returning the fake while it lives. Move-only; revokes on destruction.
class DesktopWallpaperRegistration {
public:
    DesktopWallpaperRegistration() = default;
    DesktopWallpaperRegistration(HRESULT result, DWORD cookie) : result_(result), cookie_(cookie) {}
    DesktopWallpaperRegistration(DesktopWallpaperRegistration&& other) noexcept;
    DesktopWallpaperRegistration& operator=(DesktopWallpaperRegistration&& other) noexcept;
    DesktopWallpaperRegistration(const DesktopWallpaperRegistration&) = delete;
    DesktopWallpaperRegistration& operator=(const DesktopWallpaperRegistration&) = delete;
    ~DesktopWallpaperRegistration();

    // The result of CoRegisterClassObject (S_OK when the registration is active).
    HRESULT result() const { return result_; }

private:
    HRESULT result_ = E_UNEXPECTED;
    DWORD cookie_ = 0;
};

class FakeDesktopWallpaper final : public ComObject<IDesktopWallpaper> {
public:
    // The shell's documented GetMonitorRECT answers: E_INVALIDARG for an id it cannot find
    // (the fake's answer for an id that is not listed: never added, or removed), S_FALSE for
    // a display it lists but that is not attached (pass it to failMonitorRect).
    static constexpr HRESULT kUnknownMonitorResult = E_INVALIDARG;
    static constexpr HRESULT kDetachedMonitorResult = S_FALSE;

    // A new fake with no displays and the defaults described above.
    static Microsoft::WRL::ComPtr<FakeDesktopWallpaper> create();

    // --- Configuration (not logged) ---
    // Adds a listed display at the end of the order. Any id (non-ASCII too) and any rectangle.
    void addDisplay(const std::wstring& id, RECT rect, const std::wstring& wallpaper = L"");
    // The display stays listed and usable for Get/SetWallpaper, but GetMonitorRECT answers hr
    // (kDetachedMonitorResult as the shell does for a listed display that is unplugged, or
    // any error) and gives an empty rectangle.
    void failMonitorRect(const std::wstring& id, HRESULT hr);
    // Unplugs a display: no longer listed; calls naming it fail with kUnknownMonitorResult.
    void removeDisplay(const std::wstring& id);
    void setWallpaperOf(const std::wstring& id, const std::wstring& wallpaper);
    void setPosition(DESKTOP_WALLPAPER_POSITION position);
    void setBackgroundColor(COLORREF color);
    void setEnabled(bool enabled);
    // Starts a shell slideshow as SetSlideshow + SetSlideshowOptions would; null items end it.
    void setShellSlideshow(Microsoft::WRL::ComPtr<IShellItemArray> items,
                           DESKTOP_SLIDESHOW_OPTIONS options = static_cast<DESKTOP_SLIDESHOW_OPTIONS>(0),
                           UINT tick = 0);
    // Makes SetWallpaper with an empty path fail with hr (S_OK: accept it again, the default).
    void failEmptyWallpaper(HRESULT hr);

    // --- Observation ---
    FakeDesktopState state() const;
    // The wallpaper a listed display shows (empty for none or for an id that is not listed).
    std::wstring wallpaperOf(const std::wstring& id) const;

    // --- Call log ---
    const std::vector<FakeDesktopCall>& calls() const { return calls_; }
    void clearCalls();
    // Calls of one method since the last clearCalls().
    int callCount(std::wstring_view method) const;
    // Every call since the last clearCalls() (the size of the log).
    int totalCalls() const { return static_cast<int>(calls_.size()); }
    // The log, one call per line, for failure messages: EXPECT_...(...) << fake->callsText().
    std::wstring callsText() const;

    // --- Failure injection (an injected failure changes no state and nulls out-params) ---
    // The nth call (1-based, counted from now) of a method fails with hr, once.
    void failNthCallOf(std::wstring_view method, int n, HRESULT hr);
    // Every call of a method fails with hr until clearFailures().
    void failEveryCallOf(std::wstring_view method, HRESULT hr);
    // The nth IDesktopWallpaper call of any method (1-based, counted from now) fails with hr,
    // once. Failing each call of an operation in turn:
    //     fake->clearCalls(); run(); const int n = fake->totalCalls();
    //     for (int i = 1; i <= n; ++i) { fresh fake; fake->failNthCall(i, E_FAIL); run(); check; }
    void failNthCall(int n, HRESULT hr);
    // Drops every pending injected failure (not failMonitorRect / failEmptyWallpaper).
    void clearFailures();

    // --- COM registration ---
    // CoCreateInstance(CLSID_DesktopWallpaper, ..., CLSCTX_ALL, IID_IDesktopWallpaper, ...)
    // returns this very object while the result lives, when called in the apartment that
    // registered it (initialise COM first: OleInitialize, as the program does). From another
    // apartment Wine answers E_NOINTERFACE: there is no proxy for IDesktopWallpaper.
    [[nodiscard]] DesktopWallpaperRegistration registerAsDesktopWallpaperClass();

    // --- IDesktopWallpaper ---
    HRESULT STDMETHODCALLTYPE SetWallpaper(LPCWSTR monitorID, LPCWSTR wallpaper) noexcept override;
    HRESULT STDMETHODCALLTYPE GetWallpaper(LPCWSTR monitorID, LPWSTR* wallpaper) noexcept override;
    HRESULT STDMETHODCALLTYPE GetMonitorDevicePathAt(UINT monitorIndex, LPWSTR* monitorID) noexcept override;
    HRESULT STDMETHODCALLTYPE GetMonitorDevicePathCount(UINT* count) noexcept override;
    HRESULT STDMETHODCALLTYPE GetMonitorRECT(LPCWSTR monitorID, RECT* displayRect) noexcept override;
    HRESULT STDMETHODCALLTYPE SetBackgroundColor(COLORREF color) noexcept override;
    HRESULT STDMETHODCALLTYPE GetBackgroundColor(COLORREF* color) noexcept override;
    HRESULT STDMETHODCALLTYPE SetPosition(DESKTOP_WALLPAPER_POSITION position) noexcept override;
    HRESULT STDMETHODCALLTYPE GetPosition(DESKTOP_WALLPAPER_POSITION* position) noexcept override;
    HRESULT STDMETHODCALLTYPE SetSlideshow(IShellItemArray* items) noexcept override;
    HRESULT STDMETHODCALLTYPE GetSlideshow(IShellItemArray** items) noexcept override;
    HRESULT STDMETHODCALLTYPE SetSlideshowOptions(DESKTOP_SLIDESHOW_OPTIONS options,
                                                  UINT slideshowTick) noexcept override;
    HRESULT STDMETHODCALLTYPE GetSlideshowOptions(DESKTOP_SLIDESHOW_OPTIONS* options,
                                                  UINT* slideshowTick) noexcept override;
    HRESULT STDMETHODCALLTYPE AdvanceSlideshow(LPCWSTR monitorID,
                                               DESKTOP_SLIDESHOW_DIRECTION direction) noexcept override;
    HRESULT STDMETHODCALLTYPE GetStatus(DESKTOP_SLIDESHOW_STATE* state) noexcept override;
    HRESULT STDMETHODCALLTYPE Enable(BOOL enable) noexcept override;

private:
    FakeDesktopWallpaper() = default;
    ~FakeDesktopWallpaper() override = default;

    struct Display {
        std::wstring id;
        RECT rect{};
        std::wstring wallpaper;
        HRESULT rectResult = S_OK;
    };
    struct Injection {
        std::wstring method; // empty: any method
        int remaining = 0;   // calls left before the failing one; ignored when every
        bool every = false;
        HRESULT result = S_OK;
    };

    Display* findDisplay(std::wstring_view id);
    const Display* findDisplay(std::wstring_view id) const;
    // Counts the call against every pending injection; true (with its result) when one fires.
    bool takeInjectedFailure(std::wstring_view method, HRESULT& result);
    HRESULT record(const wchar_t* method, std::vector<std::wstring> arguments, HRESULT result);
    void startSlideshow(Microsoft::WRL::ComPtr<IShellItemArray> items, std::vector<std::wstring> paths);
    void endSlideshow();

    std::vector<Display> displays_;
    DESKTOP_WALLPAPER_POSITION position_ = DWPOS_FILL;
    COLORREF backgroundColor_ = 0;
    bool enabled_ = true;
    Microsoft::WRL::ComPtr<IShellItemArray> slideshow_;
    std::vector<std::wstring> slideshowPaths_;
    DESKTOP_SLIDESHOW_OPTIONS slideshowOptions_ = static_cast<DESKTOP_SLIDESHOW_OPTIONS>(0);
    UINT slideshowTick_ = 0;
    HRESULT emptyWallpaperResult_ = S_OK;
    std::vector<FakeDesktopCall> calls_;
    std::vector<Injection> injections_;
};
