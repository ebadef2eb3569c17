#pragma once
// Move-only owners for every kind of handle the program and its tools keep, in one place.
#include <windows.h>
#include <objbase.h>
#include <oleauto.h>
#include <ole2.h>
#include <wrl/client.h>

#include <utility>

// What an empty owner holds: null for most handles, INVALID_HANDLE_VALUE for files.
template <typename Handle>
struct NullIsEmpty {
    static Handle empty() noexcept { return Handle{}; }
    static bool valid(Handle handle) noexcept { return handle != Handle{}; }
};
struct InvalidHandleIsEmpty {
    static HANDLE empty() noexcept { return INVALID_HANDLE_VALUE; }
    static bool valid(HANDLE handle) noexcept { return handle != INVALID_HANDLE_VALUE && handle != nullptr; }
};

template <typename Handle, auto Close, typename Empty = NullIsEmpty<Handle>>
class UniqueHandle {
public:
    UniqueHandle() noexcept = default;
    explicit UniqueHandle(Handle handle) noexcept : handle_(handle) {}
    ~UniqueHandle() { reset(); }
    UniqueHandle(const UniqueHandle&) = delete;
    UniqueHandle& operator=(const UniqueHandle&) = delete;
    UniqueHandle(UniqueHandle&& other) noexcept : handle_(std::exchange(other.handle_, Empty::empty())) {}
    UniqueHandle& operator=(UniqueHandle&& other) noexcept
    {
        if (this != &other)
            reset(std::exchange(other.handle_, Empty::empty()));
        return *this;
    }

    [[nodiscard]] Handle get() const noexcept { return handle_; }
    explicit operator bool() const noexcept { return Empty::valid(handle_); }
    void reset(Handle handle = Empty::empty()) noexcept
    {
        if (Empty::valid(handle_))
            Close(handle_);
        handle_ = handle;
    }
    [[nodiscard]] Handle release() noexcept { return std::exchange(handle_, Empty::empty()); }
    // For calls that hand back a new handle through a pointer; what was held goes first.
    [[nodiscard]] Handle* put() noexcept
    {
        reset();
        return &handle_;
    }

private:
    Handle handle_ = Empty::empty();
};

using UniqueKernelHandle = UniqueHandle<HANDLE, &CloseHandle>;               // mutexes, events, threads
using UniqueFile = UniqueHandle<HANDLE, &CloseHandle, InvalidHandleIsEmpty>; // from CreateFileW
using UniqueBitmap = UniqueHandle<HBITMAP, &DeleteObject>;
using UniqueRegion = UniqueHandle<HRGN, &DeleteObject>;
using UniqueMemoryDc = UniqueHandle<HDC, &DeleteDC>; // from CreateCompatibleDC
using UniqueIcon = UniqueHandle<HICON, &DestroyIcon>;
using UniqueMenu = UniqueHandle<HMENU, &DestroyMenu>; // takes its submenus with it
using UniqueWindow = UniqueHandle<HWND, &DestroyWindow>;
using UniqueWinEventHook = UniqueHandle<HWINEVENTHOOK, &UnhookWinEvent>;
using UniqueTaskString = UniqueHandle<wchar_t*, &CoTaskMemFree>; // a string from CoTaskMemAlloc
using UniqueBstr = UniqueHandle<BSTR, &SysFreeString>;

// A window's DC from GetDC, released to that window.
class UniqueWindowDc {
public:
    explicit UniqueWindowDc(HWND window) noexcept : window_(window), dc_(GetDC(window)) {}
    ~UniqueWindowDc()
    {
        if (dc_)
            ReleaseDC(window_, dc_);
    }
    UniqueWindowDc(const UniqueWindowDc&) = delete;
    UniqueWindowDc& operator=(const UniqueWindowDc&) = delete;

    [[nodiscard]] HDC get() const noexcept { return dc_; }
    explicit operator bool() const noexcept { return dc_ != nullptr; }

private:
    HWND window_;
    HDC dc_;
};

// A storage medium filled by IDataObject::GetData, released with ReleaseStgMedium (which frees
// what it holds, or hands it back to pUnkForRelease).
class UniqueStgMedium {
public:
    UniqueStgMedium() noexcept = default;
    ~UniqueStgMedium() { reset(); }
    UniqueStgMedium(const UniqueStgMedium&) = delete;
    UniqueStgMedium& operator=(const UniqueStgMedium&) = delete;
    UniqueStgMedium(UniqueStgMedium&& other) noexcept : medium_(std::exchange(other.medium_, STGMEDIUM{})) {}
    UniqueStgMedium& operator=(UniqueStgMedium&& other) noexcept
    {
        if (this != &other) {
            reset();
            medium_ = std::exchange(other.medium_, STGMEDIUM{});
        }
        return *this;
    }

    [[nodiscard]] const STGMEDIUM& get() const noexcept { return medium_; }
    explicit operator bool() const noexcept { return medium_.tymed != TYMED_NULL || medium_.pUnkForRelease; }
    void reset() noexcept
    {
        if (*this)
            ReleaseStgMedium(&medium_);
        medium_ = STGMEDIUM{};
    }
    // For GetData; what was held goes first.
    [[nodiscard]] STGMEDIUM* put() noexcept
    {
        reset();
        return &medium_;
    }

private:
    STGMEDIUM medium_{};
};

// Selects an object into a DC for as long as it lives.
class ScopedSelection {
public:
    ScopedSelection(HDC dc, HGDIOBJ object) noexcept : dc_(dc), old_(dc ? SelectObject(dc, object) : nullptr) {}
    ~ScopedSelection()
    {
        if (dc_ && old_)
            SelectObject(dc_, old_);
    }
    ScopedSelection(const ScopedSelection&) = delete;
    ScopedSelection& operator=(const ScopedSelection&) = delete;

private:
    HDC dc_;
    HGDIOBJ old_;
};

// OLE for the calling thread while it lives; undone only when it was started.
class OleScope {
public:
    OleScope() noexcept : result_(OleInitialize(nullptr)) {}
    ~OleScope()
    {
        if (SUCCEEDED(result_))
            OleUninitialize();
    }
    OleScope(const OleScope&) = delete;
    OleScope& operator=(const OleScope&) = delete;

    [[nodiscard]] HRESULT result() const noexcept { return result_; }
    [[nodiscard]] bool started() const noexcept { return SUCCEEDED(result_); }

private:
    HRESULT result_;
};

// Takes over the one reference an object starts with (a freshly made COM object, or a pointer
// handed out by an out-parameter). mingw-w64's ComPtr::Attach adds a reference of its own where
// the SDK's does not, so Attach would leak one reference there.
template <typename T>
[[nodiscard]] Microsoft::WRL::ComPtr<T> adoptReference(T* object) noexcept
{
    Microsoft::WRL::ComPtr<T> owner;
    *owner.GetAddressOf() = object;
    return owner;
}
