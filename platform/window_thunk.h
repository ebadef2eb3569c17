#pragma once
// The one window procedure of every window class we register. It binds the object passed
// as the creation parameter on WM_NCCREATE through GWLP_USERDATA and forwards each message
// to a member handler; messages before the binding, or of a window created without an
// object, go to DefWindowProcW. The binding is cleared on WM_NCDESTROY, so that no message
// after the window's end reaches an object that may be gone.
//
//     WindowClass<Widget> widgetClass;                      // window_class.h; Widget::handleMessage
//     WindowClass<Application, &Application::handleMessage> controlClass;
//     CreateWindowExW(..., instance, this);
#include <windows.h>

template <typename Owner>
using WindowHandler = LRESULT (Owner::*)(HWND, UINT, WPARAM, LPARAM) noexcept;

template <typename Owner, WindowHandler<Owner> Handler = &Owner::handleMessage>
LRESULT CALLBACK windowThunk(HWND window, UINT message, WPARAM wParam, LPARAM lParam) noexcept
{
    if (message == WM_NCCREATE) {
        const auto* creation = reinterpret_cast<const CREATESTRUCTW*>(lParam);
        SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(creation->lpCreateParams));
    }
    auto* owner = reinterpret_cast<Owner*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (!owner)
        return DefWindowProcW(window, message, wParam, lParam);
    if (message == WM_NCDESTROY)
        SetWindowLongPtrW(window, GWLP_USERDATA, 0);
    return (owner->*Handler)(window, message, wParam, lParam);
}
