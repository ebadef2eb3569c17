#include "tests/support/process.h"

#include <vector>

std::wstring windowsPathOf(const char* buildPath)
{
    std::wstring path;
    for (const char* c = buildPath; *c; ++c)
        path.push_back(*c == '/' ? L'\\' : static_cast<wchar_t>(static_cast<unsigned char>(*c)));
    if (!path.empty() && path[0] == L'\\')
        path.insert(0, L"Z:");
    return path;
}

ChildProcess::ChildProcess(const std::wstring& executable)
{
    std::wstring commandLine = L"\"" + executable + L"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION info{};
    if (CreateProcessW(executable.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                       &info)) {
        CloseHandle(info.hThread);
        process_ = info.hProcess;
        id_ = info.dwProcessId;
    }
}

ChildProcess::~ChildProcess()
{
    if (!process_)
        return;
    if (WaitForSingleObject(process_, 0) == WAIT_TIMEOUT) {
        TerminateProcess(process_, 99);
        WaitForSingleObject(process_, 5000);
    }
    CloseHandle(process_);
}

DWORD ChildProcess::waitForExit(DWORD milliseconds)
{
    if (!process_ || WaitForSingleObject(process_, milliseconds) != WAIT_OBJECT_0)
        return STILL_ACTIVE;
    DWORD code = STILL_ACTIVE;
    GetExitCodeProcess(process_, &code);
    return code;
}

namespace {

struct WindowSearch {
    DWORD processId;
    const wchar_t* className;
    const wchar_t* title;
    HWND found;
};

BOOL CALLBACK matchWindow(HWND window, LPARAM context)
{
    auto& search = *reinterpret_cast<WindowSearch*>(context);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (owner != search.processId)
        return TRUE;
    wchar_t name[256] = {};
    GetClassNameW(window, name, 256);
    if (wcscmp(name, search.className) != 0)
        return TRUE;
    if (search.title && windowText(window) != search.title)
        return TRUE;
    search.found = window;
    return FALSE;
}

} // namespace

HWND waitForWindow(DWORD processId, const wchar_t* className, const wchar_t* title, DWORD milliseconds)
{
    const ULONGLONG deadline = GetTickCount64() + milliseconds;
    do {
        WindowSearch search{processId, className, title, nullptr};
        EnumWindows(matchWindow, reinterpret_cast<LPARAM>(&search));
        if (search.found)
            return search.found;
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE))
            DispatchMessageW(&message);
        Sleep(20);
    } while (GetTickCount64() < deadline);
    return nullptr;
}

std::wstring windowText(HWND window)
{
    DWORD_PTR length = 0;
    SendMessageTimeoutW(window, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, 2000, &length);
    std::vector<wchar_t> buffer(length + 1);
    DWORD_PTR copied = 0;
    SendMessageTimeoutW(window, WM_GETTEXT, buffer.size(), reinterpret_cast<LPARAM>(buffer.data()), SMTO_ABORTIFHUNG,
                        2000, &copied);
    return std::wstring(buffer.data(), copied);
}
