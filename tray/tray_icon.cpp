#include "tray/tray_icon.h"

#include <commctrl.h>

#include <cwchar>

#include "resources/resource_ids.h"
#include "common/strings.h"

namespace {

constexpr std::size_t kBalloonTextLimit = 255;

// LoadIconMetric lives in the common controls 6 (ordinal 380); looking it up keeps the
// program loadable where only the older library is present.
HICON loadSmallIconMetric(HINSTANCE instance) noexcept
{
    using LoadIconMetricFunction = HRESULT(WINAPI*)(HINSTANCE, PCWSTR, int, HICON*);
    const HMODULE controls = GetModuleHandleW(L"comctl32.dll");
    if (!controls)
        return nullptr;
    const auto loadIconMetric = reinterpret_cast<LoadIconMetricFunction>(
        reinterpret_cast<void*>(GetProcAddress(controls, MAKEINTRESOURCEA(380))));
    if (!loadIconMetric)
        return nullptr;
    HICON icon = nullptr;
    loadIconMetric(instance, MAKEINTRESOURCEW(kIconResourceId), LIM_SMALL, &icon);
    return icon;
}

template <std::size_t N>
void copyCut(wchar_t (&field)[N], const std::wstring& text) noexcept
{
    wcsncpy(field, text.c_str(), N - 1);
    field[N - 1] = L'\0';
}

} // namespace

NOTIFYICONDATAW TrayIcon::iconData() const noexcept
{
    NOTIFYICONDATAW data{};
    data.cbSize = sizeof(data);
    data.hWnd = window_;
    data.uID = kTrayIconId;
    return data;
}

void TrayIcon::add(HWND window, UINT callbackMessage) noexcept
{
    window_ = window;
    callbackMessage_ = callbackMessage;
    if (taskbarCreatedMessage_ == 0)
        taskbarCreatedMessage_ = RegisterWindowMessageW(L"TaskbarCreated");

    NOTIFYICONDATAW data = iconData();
    data.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP | NIF_SHOWTIP;
    data.uCallbackMessage = callbackMessage_;
    if (!icon_)
        icon_.reset(loadSmallIconMetric(instance_));
    // The system icon stands in without being kept, so the next call tries ours again.
    data.hIcon = icon_ ? icon_.get() : LoadIconW(nullptr, IDI_APPLICATION);
    copyCut(data.szTip, kProductName);
    added_ = system_->notifyIcon(NIM_ADD, data) != FALSE;
    if (added_) {
        data.uVersion = NOTIFYICON_VERSION_4;
        system_->notifyIcon(NIM_SETVERSION, data);
    }
}

void TrayIcon::remove() noexcept
{
    if (!added_)
        return;
    NOTIFYICONDATAW data = iconData();
    system_->notifyIcon(NIM_DELETE, data);
    added_ = false;
}

bool TrayIcon::handleTaskbarCreated(UINT message) noexcept
{
    if (taskbarCreatedMessage_ == 0 || message != taskbarCreatedMessage_ || !window_)
        return false;
    // The taskbar restarted and forgot the icon.
    add(window_, callbackMessage_);
    return true;
}

void TrayIcon::showBalloon(const std::wstring& text, HRESULT code) noexcept
{
    if (!added_)
        return;
    NOTIFYICONDATAW data = iconData();
    data.uFlags = NIF_INFO;
    data.dwInfoFlags = code < 0 ? NIIF_WARNING : NIIF_INFO;
    copyCut(data.szInfoTitle, kProductName);
    copyCut(data.szInfo, text.substr(0, kBalloonTextLimit));
    system_->notifyIcon(NIM_MODIFY, data);
}
