#include "app/application.h"
#include "platform/unique_handle.h"

#include <cwchar>

namespace {

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
    const UniqueKernelHandle mutex(CreateMutexW(nullptr, FALSE, kSingleInstanceMutex));
    if (!mutex)
        return 1;
    if (GetLastError() == ERROR_ALREADY_EXISTS)
        return 0;

    const OleScope ole;
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
            showStartFailure(app.settings().language(), hr);
        else
            exitCode = runMessageLoop();
        app.shutdown();
    } // the Application releases its COM objects here, before OLE goes
    return exitCode;
}
