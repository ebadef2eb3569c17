#pragma once
#include <windows.h>

#include <string>

// A Windows path for a path the build system gave in Unix form ("/work/..." becomes
// "Z:\work\..." under Wine; a Windows path is returned unchanged).
std::wstring windowsPathOf(const char* buildPath);

// A child process started by a test; killed on destruction if still running.
class ChildProcess {
public:
    explicit ChildProcess(const std::wstring& executable);
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    bool started() const { return process_ != nullptr; }
    DWORD id() const { return id_; }
    // The exit code, or STILL_ACTIVE when it has not ended within the time.
    DWORD waitForExit(DWORD milliseconds);

private:
    HANDLE process_ = nullptr;
    DWORD id_ = 0;
};

// Polls for a top-level window of a class (and optionally a title) that belongs to a
// process, pumping this thread's messages meanwhile. Null when none came within the time.
HWND waitForWindow(DWORD processId, const wchar_t* className, const wchar_t* title, DWORD milliseconds);

// The text of a window, as WM_GETTEXT reads it from any process.
std::wstring windowText(HWND window);
