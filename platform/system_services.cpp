#include "platform/system_services.h"

#include "platform/top_windows.h"

namespace {

// wtsapi32.dll is not one of Windows' known DLLs: it is loaded from the system folder on first
// use rather than imported, so that a DLL of that name beside the program is never picked up.
struct SessionNotifications {
    using Register = BOOL(WINAPI*)(HWND, DWORD);
    using Unregister = BOOL(WINAPI*)(HWND);
    Register registerWindow = nullptr;
    Unregister unregisterWindow = nullptr;
};

const SessionNotifications& sessionNotifications() noexcept
{
    static const SessionNotifications functions = [] {
        SessionNotifications loaded;
        if (const HMODULE library = LoadLibraryExW(L"wtsapi32.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32)) {
            loaded.registerWindow = reinterpret_cast<SessionNotifications::Register>(
                reinterpret_cast<void*>(GetProcAddress(library, "WTSRegisterSessionNotification")));
            loaded.unregisterWindow = reinterpret_cast<SessionNotifications::Unregister>(
                reinterpret_cast<void*>(GetProcAddress(library, "WTSUnRegisterSessionNotification")));
        }
        return loaded;
    }();
    return functions;
}

constexpr DWORD kNotifyForThisSession = 0; // NOTIFY_FOR_THIS_SESSION

} // namespace

bool SystemServices::registerSessionNotification(HWND window) noexcept
{
    const SessionNotifications& functions = sessionNotifications();
    return functions.registerWindow && functions.registerWindow(window, kNotifyForThisSession);
}

void SystemServices::unregisterSessionNotification(HWND window) noexcept
{
    const SessionNotifications& functions = sessionNotifications();
    if (functions.unregisterWindow)
        functions.unregisterWindow(window);
}

std::vector<RECT> SystemServices::windowsAboveDesktop(HWND desktopLayer) noexcept
{
    return topWindowsAboveDesktop(desktopLayer);
}

SystemServices& SystemServices::standard() noexcept
{
    static SystemServices services;
    return services;
}
