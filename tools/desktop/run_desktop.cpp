#include "tools/desktop/run_desktop.h"

#include <objbase.h>

#include <atomic>
#include <cwchar>

int runDesktop(HINSTANCE instance, DesktopLayout layout, bool prepareWorker) noexcept
{
    const HANDLE single = CreateMutexW(nullptr, FALSE, L"Local\\PeltorineDevDesktop.Desktop");
    if (single && GetLastError() == ERROR_ALREADY_EXISTS) {
        sayLine(L"a development desktop already runs in this prefix");
        CloseHandle(single);
        return 3;
    }
    int exitCode = 1;
    {
        DevDesktop desktop(layout);
        if (const HRESULT hr = desktop.create(instance); FAILED(hr)) {
            sayLine(L"cannot create the desktop (0x%08lX)", static_cast<unsigned long>(hr));
        } else {
            // Inside the program the worker is made at once, so that it is mapped and settled
            // behind "Progman" before the first video looks for it.
            if (prepareWorker)
                PostMessageW(FindWindowW(L"Progman", nullptr), 0x052C, 0x0D, 1);
            MSG message{};
            while (GetMessageW(&message, nullptr, 0, 0) > 0) {
                TranslateMessage(&message);
                DispatchMessageW(&message);
            }
            exitCode = 0;
        }
    }
    if (single)
        CloseHandle(single);
    return exitCode;
}

namespace {

struct DesktopThreadStart {
    HINSTANCE instance;
    DesktopLayout layout;
};

DWORD WINAPI desktopThread(void* parameter) noexcept
{
    const DesktopThreadStart start = *static_cast<DesktopThreadStart*>(parameter);
    delete static_cast<DesktopThreadStart*>(parameter);
    const HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    const int exitCode = runDesktop(start.instance, start.layout, true);
    if (SUCCEEDED(com))
        CoUninitialize();
    return static_cast<DWORD>(exitCode);
}

} // namespace

void startInProcessDesktopIfAsked(HINSTANCE instance) noexcept
{
    static std::atomic<bool> started{false};
    wchar_t value[16] = {};
    const DWORD length = GetEnvironmentVariableW(L"PELTORINE_DEVDESKTOP_IN_PROCESS", value, 16);
    if (length == 0 || length >= 16)
        return;
    DesktopLayout layout = DesktopLayout::Windows10;
    if (std::wcscmp(value, L"win11") == 0)
        layout = DesktopLayout::Windows11;
    else if (std::wcscmp(value, L"win10") != 0)
        return;
    if (started.exchange(true))
        return;
    auto* start = new (std::nothrow) DesktopThreadStart{instance, layout};
    if (!start)
        return;
    const HANDLE thread = CreateThread(nullptr, 0, desktopThread, start, 0, nullptr);
    if (!thread) {
        delete start;
        return;
    }
    CloseHandle(thread);
    // The desktop's windows exist before the caller goes on to look for them.
    for (int i = 0; i < 200 && !FindWindowW(L"Progman", nullptr); ++i)
        Sleep(10);
}
