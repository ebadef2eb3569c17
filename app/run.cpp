#include "app/application.h"
#include "app/command_client.h"
#include "platform/unique_handle.h"

#include <shellapi.h>

#include <cwchar>
#include <string>
#include <vector>

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

// The arguments after the program's name.
std::vector<std::wstring> commandLineArguments()
{
    std::vector<std::wstring> arguments;
    int count = 0;
    LPWSTR* list = CommandLineToArgvW(GetCommandLineW(), &count);
    if (!list)
        return arguments;
    for (int i = 1; i < count; ++i)
        arguments.emplace_back(list[i]);
    LocalFree(list);
    return arguments;
}

int runProgram(HINSTANCE instance) noexcept;

} // namespace

std::wstring startFailureMessage(std::uint32_t language, HRESULT hr)
{
    wchar_t message[128] = {};
    swprintf(message, 128, pick(kStartFailedFormat, language), static_cast<unsigned long>(hr));
    return message;
}

int runPeltorine(HINSTANCE instance) noexcept
{
    ParsedCommandLine parsed;
    try {
        parsed = parseCommandLine(commandLineArguments());
    } catch (...) {
        return kCommandRefused;
    }
    if (!parsed.request) {
        writeToConsole(STD_ERROR_HANDLE, parsed.usageError + L"\n\n" + commandLineHelp(userLanguage()));
        return kCommandUsageError;
    }
    switch (parsed.request->kind) {
    case CommandKind::Run:
        return runProgram(instance);
    case CommandKind::Help:
        writeToConsole(STD_OUTPUT_HANDLE, commandLineHelp(userLanguage()));
        return kCommandSucceeded;
    default:
        return forwardCommand(instance, *parsed.request);
    }
}

namespace {

int runProgram(HINSTANCE instance) noexcept
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

} // namespace
