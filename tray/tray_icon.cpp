#include "app/application.h"
#include "resources/resource_ids.h"

#include <commctrl.h>

#include <cwchar>
#include <string>

namespace {

constexpr std::size_t kBalloonTextLimit = 255;

NOTIFYICONDATAW iconData(HWND controlWindow) noexcept
{
    NOTIFYICONDATAW data{};
    data.cbSize = sizeof(data);
    data.hWnd = controlWindow;
    data.uID = kTrayIconId;
    return data;
}

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

void Application::addTrayIcon() noexcept
{
    NOTIFYICONDATAW data = iconData(controlWindow);
    data.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP | NIF_SHOWTIP;
    data.uCallbackMessage = TrayCallbackMessage;
    if (!trayIcon)
        trayIcon = loadSmallIconMetric(instance);
    // The system icon stands in without being kept, so the next call tries ours again.
    data.hIcon = trayIcon ? trayIcon : LoadIconW(nullptr, IDI_APPLICATION);
    copyCut(data.szTip, kProductName);
    trayIconAdded = system->notifyIcon(NIM_ADD, data) != FALSE;
    if (trayIconAdded) {
        data.uVersion = NOTIFYICON_VERSION_4;
        system->notifyIcon(NIM_SETVERSION, data);
    }
}

void Application::removeTrayIcon() noexcept
{
    if (!trayIconAdded)
        return;
    NOTIFYICONDATAW data = iconData(controlWindow);
    system->notifyIcon(NIM_DELETE, data);
    trayIconAdded = false;
}

// The one way every result and failure reaches the user.
void Application::showNotification(const std::wstring& message, HRESULT code) noexcept
{
    setWidgetTooltip(message);

    wchar_t number[16] = {};
    swprintf(number, 16, L"%lu", static_cast<unsigned long>(static_cast<std::uint32_t>(code)));
    system->debugOutput(std::wstring(L"Peltorine: ") + message + L" [" + number + L"]\n");

    if (!trayIconAdded)
        return;
    NOTIFYICONDATAW data = iconData(controlWindow);
    data.uFlags = NIF_INFO;
    data.dwInfoFlags = code < 0 ? NIIF_WARNING : NIIF_INFO;
    copyCut(data.szInfoTitle, kProductName);
    copyCut(data.szInfo, message.substr(0, kBalloonTextLimit));
    system->notifyIcon(NIM_MODIFY, data);

    if (code < 0 && widgetWindow) {
        widgetErrorFlash = true;
        redrawWidget();
        system->setTimer(controlWindow, ErrorFlashTimer, kErrorFlashMs);
    }
}
