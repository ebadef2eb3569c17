#include "platform/desktop_host.h"

#include <cwchar>

namespace {

constexpr wchar_t kProgmanClass[] = L"Progman";
constexpr wchar_t kIconViewClass[] = L"SHELLDLL_DefView";
constexpr wchar_t kWorkerClass[] = L"WorkerW";

// The shell's private request to split off its wallpaper-layer worker.
constexpr UINT kPrepareWorkerMessage = 0x052C;
constexpr WPARAM kPrepareWorkerCode = 0x0D;
constexpr UINT kShellAnswerTimeoutMs = 500;

bool hasClass(HWND window, const wchar_t* className) noexcept
{
    wchar_t name[32] = {};
    const int length = GetClassNameW(window, name, 32);
    return length > 0 && std::wcscmp(name, className) == 0;
}

HWND iconViewIn(HWND window) noexcept
{
    return FindWindowExW(window, nullptr, kIconViewClass, nullptr);
}

BOOL CALLBACK findFirstIconHost(HWND window, LPARAM result) noexcept
{
    const HWND iconView = iconViewIn(window);
    if (!iconView)
        return TRUE;
    *reinterpret_cast<DesktopHost*>(result) = DesktopHost{window, iconView, false};
    return FALSE;
}

// The next top-level "WorkerW" below `window` in z-order. Walked by hand because some
// FindWindowExW implementations (Wine's) skip the start window when it is of another class.
HWND nextWorkerAfter(HWND window) noexcept
{
    for (HWND next = GetWindow(window, GW_HWNDNEXT); next; next = GetWindow(next, GW_HWNDNEXT)) {
        if (hasClass(next, kWorkerClass))
            return next;
    }
    return nullptr;
}

} // namespace

DesktopHost findIconViewHost() noexcept
{
    if (const HWND progman = FindWindowW(kProgmanClass, nullptr)) {
        if (const HWND iconView = iconViewIn(progman)) {
            const LONG_PTR exStyle = GetWindowLongPtrW(progman, GWL_EXSTYLE);
            return DesktopHost{progman, iconView, (exStyle & WS_EX_NOREDIRECTIONBITMAP) != 0};
        }
    }
    // The shell has moved the icon view out of "Progman"; the topmost holder wins.
    DesktopHost host;
    EnumWindows(findFirstIconHost, reinterpret_cast<LPARAM>(&host));
    return host;
}

DesktopHost findDesktopHost(bool prepareWorker) noexcept
{
    if (!prepareWorker)
        return findIconViewHost();

    const HWND progman = FindWindowW(kProgmanClass, nullptr);
    if (!progman)
        return {};
    // A hung or slow shell only delays the lookup.
    SendMessageTimeoutW(progman, kPrepareWorkerMessage, kPrepareWorkerCode, 0, SMTO_ABORTIFHUNG, kShellAnswerTimeoutMs,
                        nullptr);
    SendMessageTimeoutW(progman, kPrepareWorkerMessage, kPrepareWorkerCode, 1, SMTO_ABORTIFHUNG, kShellAnswerTimeoutMs,
                        nullptr);

    const DesktopHost iconHost = findIconViewHost();
    if (iconHost.noRedirectionBitmap)
        return iconHost;
    if (!iconHost.hostWindow)
        return {};
    if (const HWND worker = nextWorkerAfter(iconHost.hostWindow))
        return DesktopHost{worker, nullptr, false};
    return {};
}
