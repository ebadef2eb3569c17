#pragma once
// Move-only owners for the few kinds of handle the development desktop keeps.
#include <windows.h>

#include <utility>

template <typename Handle, auto Close, Handle Invalid = Handle{}>
class UniqueHandle {
public:
    UniqueHandle() noexcept = default;
    explicit UniqueHandle(Handle handle) noexcept : handle_(handle) {}
    ~UniqueHandle() { reset(); }
    UniqueHandle(const UniqueHandle&) = delete;
    UniqueHandle& operator=(const UniqueHandle&) = delete;
    UniqueHandle(UniqueHandle&& other) noexcept : handle_(std::exchange(other.handle_, Invalid)) {}
    UniqueHandle& operator=(UniqueHandle&& other) noexcept
    {
        if (this != &other)
            reset(std::exchange(other.handle_, Invalid));
        return *this;
    }

    Handle get() const noexcept { return handle_; }
    explicit operator bool() const noexcept { return handle_ != Invalid; }
    void reset(Handle handle = Invalid) noexcept
    {
        if (handle_ != Invalid)
            Close(handle_);
        handle_ = handle;
    }

private:
    Handle handle_ = Invalid;
};

inline void closeKernelHandle(HANDLE handle) noexcept
{
    CloseHandle(handle);
}
inline void deleteGdiObject(HGDIOBJ object) noexcept
{
    DeleteObject(object);
}
inline void deleteMemoryDc(HDC dc) noexcept
{
    DeleteDC(dc);
}

using UniqueKernelHandle = UniqueHandle<HANDLE, closeKernelHandle>;
using UniqueBitmap = UniqueHandle<HBITMAP, deleteGdiObject>;
using UniqueRegion = UniqueHandle<HRGN, deleteGdiObject>;
using UniqueMemoryDc = UniqueHandle<HDC, deleteMemoryDc>;

// Selects an object into a DC for as long as it lives.
class ScopedSelection {
public:
    ScopedSelection(HDC dc, HGDIOBJ object) noexcept : dc_(dc), old_(SelectObject(dc, object)) {}
    ~ScopedSelection() { SelectObject(dc_, old_); }
    ScopedSelection(const ScopedSelection&) = delete;
    ScopedSelection& operator=(const ScopedSelection&) = delete;

private:
    HDC dc_;
    HGDIOBJ old_;
};
