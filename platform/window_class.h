#pragma once
// A window class registered with the one window procedure (windowThunk, window_thunk.h) for as
// long as its owner holds it, so that a later start in the same process can register it again.
//
//     WindowClass<Widget> windowClass_;                                     // a member of the owner
//     windowClass_.registerClass(instance, {L"Peltorine.Widget", CS_DBLCLKS, LoadCursorW(nullptr, IDC_HAND)});
//     CreateWindowExW(..., windowClass_.name(), ..., instance, this);
//
// Several owners may hold one class at once (two videos, each with its windows): the class is
// registered for the first and unregistered when the last lets go. A class of that name with
// another window procedure is refused with ERROR_CLASS_ALREADY_EXISTS.
#include <windows.h>

#include <utility>

#include "platform/window_thunk.h"

struct WindowClassDescription {
    const wchar_t* name = nullptr; // outlives the registration: a constant
    UINT style = 0;
    HCURSOR cursor = nullptr;
};

// The shared registrations behind WindowClass; any thread.
[[nodiscard]] HRESULT acquireWindowClass(HINSTANCE instance, const WindowClassDescription& description,
                                         WNDPROC procedure) noexcept;
void releaseWindowClass(HINSTANCE instance, const wchar_t* name) noexcept;

template <typename Owner, WindowHandler<Owner> Handler = &Owner::handleMessage>
class WindowClass {
public:
    WindowClass() noexcept = default;
    ~WindowClass() { unregisterClass(); }
    WindowClass(const WindowClass&) = delete;
    WindowClass& operator=(const WindowClass&) = delete;
    WindowClass(WindowClass&& other) noexcept
        : instance_(std::exchange(other.instance_, nullptr)), name_(std::exchange(other.name_, nullptr))
    {
    }
    WindowClass& operator=(WindowClass&& other) noexcept
    {
        if (this != &other) {
            unregisterClass();
            instance_ = std::exchange(other.instance_, nullptr);
            name_ = std::exchange(other.name_, nullptr);
        }
        return *this;
    }

    // S_OK once the class is registered for this owner; a second call with the class held
    // changes nothing.
    [[nodiscard]] HRESULT registerClass(HINSTANCE instance, const WindowClassDescription& description) noexcept
    {
        if (name_)
            return S_OK;
        if (const HRESULT hr = acquireWindowClass(instance, description, windowThunk<Owner, Handler>); FAILED(hr))
            return hr;
        instance_ = instance;
        name_ = description.name;
        return S_OK;
    }
    void unregisterClass() noexcept
    {
        if (name_)
            releaseWindowClass(instance_, std::exchange(name_, nullptr));
        instance_ = nullptr;
    }

    [[nodiscard]] bool registered() const noexcept { return name_ != nullptr; }
    // The class name while registered; null otherwise.
    [[nodiscard]] const wchar_t* name() const noexcept { return name_; }

private:
    HINSTANCE instance_ = nullptr;
    const wchar_t* name_ = nullptr;
};
