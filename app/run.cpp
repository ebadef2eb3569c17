#include "app/application.h"

#include <cwchar>

namespace {

// Owns the single-instance mutex for the life of the process.
class MutexHandle {
public:
    explicit MutexHandle(HANDLE handle) noexcept : handle_(handle) {}
    ~MutexHandle()
    {
        if (handle_)
            CloseHandle(handle_);
    }
    MutexHandle(const MutexHandle&) = delete;
    MutexHandle& operator=(const MutexHandle&) = delete;
    explicit operator bool() const noexcept { return handle_ != nullptr; }

private:
    HANDLE handle_;
};

class OleSession {
public:
    OleSession() noexcept : result_(OleInitialize(nullptr)) {}
    ~OleSession()
    {
        if (SUCCEEDED(result_))
            OleUninitialize();
    }
    OleSession(const OleSession&) = delete;
    OleSession& operator=(const OleSession&) = delete;
    [[nodiscard]] bool started() const noexcept { return SUCCEEDED(result_); }

private:
    HRESULT result_;
};

void showStartFailure(std::uint32_t language, HRESULT hr) noexcept
{
    MessageBoxW(nullptr, startFailureMessage(language, hr).c_str(), kProductName, MB_ICONERROR);
}

int runMessageLoop() noexcept
{
    MSG message{};
    for (;;) {
        const BOOL result = GetMessageW(&message, nullptr, 0, 0);
        if (result == 0)
            return static_cast<int>(static_cast<std::uint32_t>(message.wParam));
        if (result == -1)
            return 1;
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
}

} // namespace

std::wstring startFailureMessage(std::uint32_t language, HRESULT hr)
{
    wchar_t message[128] = {};
    swprintf(message, 128, pick(kStartFailedFormat, language), static_cast<unsigned long>(hr));
    return message;
}

int runPeltorine(HINSTANCE instance) noexcept
{
    const MutexHandle mutex(CreateMutexW(nullptr, FALSE, kSingleInstanceMutex));
    if (!mutex)
        return 1;
    if (GetLastError() == ERROR_ALREADY_EXISTS)
        return 0;

    const OleSession ole;
    if (!ole.started())
        return 1;

    int exitCode = 1;
    {
        Application app(instance);
        HRESULT hr = app.createComObjects();
        if (SUCCEEDED(hr))
            hr = app.loadSettings();
        if (SUCCEEDED(hr))
            hr = app.initializeWindows();
        if (FAILED(hr))
            showStartFailure(app.language, hr);
        else
            exitCode = runMessageLoop();
        app.shutdown();
    } // the Application releases its COM objects here, before OLE goes
    return exitCode;
}
