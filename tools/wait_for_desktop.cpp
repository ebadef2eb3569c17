// Waits until the virtual desktop of the Wine session has its notification area, so that the
// first test program never races the desktop's start. Exit code 0 once it is there, 1 when it
// did not come within the time (seconds, the first argument; 30 by default).
//
// With --hold it then stays on the desktop until the session ends: Wine closes a virtual desktop
// one second after the last program on it ends, and a program that starts while it closes loses
// its windows (X's BadWindow). Between two test programs there is often more than a second.
#include <windows.h>

#include <cstdio>
#include <cwchar>

int wmain(int argc, wchar_t** argv)
{
    long seconds = 30;
    bool hold = false;
    for (int i = 1; i < argc; ++i) {
        if (std::wcscmp(argv[i], L"--hold") == 0)
            hold = true;
        else
            seconds = std::wcstol(argv[i], nullptr, 10);
    }
    const ULONGLONG deadline = GetTickCount64() + static_cast<ULONGLONG>(seconds > 0 ? seconds : 30) * 1000;
    while (!FindWindowW(L"Shell_TrayWnd", nullptr)) {
        if (GetTickCount64() >= deadline) {
            std::fwprintf(stderr, L"the desktop's notification area did not appear within %ld s\n", seconds);
            return 1;
        }
        Sleep(50);
    }
    if (!hold)
        return 0;
    // A message-only window of ours keeps this thread one of the desktop's users, and no test
    // that lists the windows on the desktop sees it.
    const HWND window = CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                        GetModuleHandleW(nullptr), nullptr);
    if (!window)
        return 1;
    MSG message{};
    while (GetMessageW(&message, nullptr, 0, 0) > 0)
        DispatchMessageW(&message);
    return 0;
}
