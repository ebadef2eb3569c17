// Waits until the virtual desktop of the Wine session has its notification area, so that the
// first test program never races the desktop's start. Exit code 0 once it is there, 1 when it
// did not come within the time (seconds, the first argument; 30 by default).
#include <windows.h>

#include <cstdio>
#include <cwchar>

int wmain(int argc, wchar_t** argv)
{
    const long seconds = argc > 1 ? std::wcstol(argv[1], nullptr, 10) : 30;
    const ULONGLONG deadline = GetTickCount64() + static_cast<ULONGLONG>(seconds > 0 ? seconds : 30) * 1000;
    while (GetTickCount64() < deadline) {
        if (FindWindowW(L"Shell_TrayWnd", nullptr))
            return 0;
        Sleep(50);
    }
    std::fwprintf(stderr, L"the desktop's notification area did not appear within %ld s\n", seconds);
    return 1;
}
