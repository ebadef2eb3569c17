#include "app/command_client.h"

#include <optional>
#include <string>
#include <vector>

#include "app/application.h"
#include "platform/known_folder.h"
#include "platform/unique_handle.h"
#include "platform/window_thunk.h"

namespace {

constexpr const wchar_t* kReplyWindowClass = L"Peltorine.CommandReply";
// A copy just started has its control window within a few seconds; a video may take the 12 s
// of its opening, and a long list of pictures its check, before the answer comes.
constexpr DWORD kStartTimeoutMs = 20000;
constexpr DWORD kRequestTimeoutMs = 10000;
constexpr DWORD kAnswerTimeoutMs = 120000;

bool consoleAttached = false;

HANDLE outputHandle(DWORD standardHandle) noexcept
{
    HANDLE handle = GetStdHandle(standardHandle);
    if ((handle == nullptr || handle == INVALID_HANDLE_VALUE) && !consoleAttached) {
        // A GUI program has no console of its own: the one it was started from, if any.
        consoleAttached = AttachConsole(ATTACH_PARENT_PROCESS) != FALSE;
        handle = GetStdHandle(standardHandle);
    }
    return handle;
}

// The window the running copy answers to; it lives only for one command.
class ReplyWindow {
public:
    explicit ReplyWindow(HINSTANCE instance) noexcept : instance_(instance)
    {
        WNDCLASSW windowClass{};
        windowClass.lpfnWndProc = windowThunk<ReplyWindow>;
        windowClass.hInstance = instance;
        windowClass.lpszClassName = kReplyWindowClass;
        registered_ = RegisterClassW(&windowClass) != 0;
        window_.reset(CreateWindowExW(0, kReplyWindowClass, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, instance, this));
    }
    ~ReplyWindow()
    {
        window_.reset();
        if (registered_)
            UnregisterClassW(kReplyWindowClass, instance_);
    }
    ReplyWindow(const ReplyWindow&) = delete;
    ReplyWindow& operator=(const ReplyWindow&) = delete;

    [[nodiscard]] HWND get() const noexcept { return window_.get(); }
    [[nodiscard]] const std::optional<CommandReply>& reply() const noexcept { return reply_; }

    LRESULT handleMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) noexcept
    {
        if (message != WM_COPYDATA)
            return DefWindowProcW(window, message, wParam, lParam);
        const auto* data = reinterpret_cast<const COPYDATASTRUCT*>(lParam);
        if (!data || data->dwData != kCommandReplyTag || reinterpret_cast<HWND>(wParam) != expectedSender_)
            return FALSE;
        try {
            reply_ = decodeCommandReply(data->lpData, data->cbData);
        } catch (...) {
            reply_.reset();
        }
        return reply_ ? TRUE : FALSE;
    }

    void expectFrom(HWND sender) noexcept { expectedSender_ = sender; }

private:
    HINSTANCE instance_;
    bool registered_ = false;
    UniqueWindow window_;
    HWND expectedSender_ = nullptr;
    std::optional<CommandReply> reply_;
};

std::wstring executablePath()
{
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (length == 0)
            return {};
        if (length < path.size()) {
            path.resize(length);
            return path;
        }
        path.resize(path.size() * 2);
    }
}

// The running copy's control window; a copy is started first when none runs and start is true.
HWND findRunningCopy(bool start) noexcept
{
    if (const HWND control = FindWindowW(kControlWindowClass, nullptr))
        return control;
    if (!start)
        return nullptr;
    try {
        const std::wstring program = executablePath();
        std::wstring commandLine = L"\"" + program + L"\"";
        STARTUPINFOW startup{};
        startup.cb = sizeof(startup);
        PROCESS_INFORMATION process{};
        if (!CreateProcessW(program.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                            &startup, &process))
            return nullptr;
        const UniqueKernelHandle processHandle(process.hProcess);
        const UniqueKernelHandle threadHandle(process.hThread);
        const ULONGLONG deadline = GetTickCount64() + kStartTimeoutMs;
        while (GetTickCount64() < deadline) {
            if (const HWND control = FindWindowW(kControlWindowClass, nullptr))
                return control;
            // A copy that ended (its start failed) has no window to wait for.
            if (WaitForSingleObject(processHandle.get(), 50) == WAIT_OBJECT_0)
                return nullptr;
        }
    } catch (...) {
    }
    return nullptr;
}

// Pumps this thread's messages until the answer is in or the time is up.
void waitForReply(const ReplyWindow& window, HWND control) noexcept
{
    const ULONGLONG deadline = GetTickCount64() + kAnswerTimeoutMs;
    while (!window.reply() && IsWindow(control)) {
        const ULONGLONG now = GetTickCount64();
        if (now >= deadline)
            return;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, static_cast<DWORD>(std::min<ULONGLONG>(deadline - now, 250)),
                                  QS_ALLINPUT);
        MSG message{};
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE))
            DispatchMessageW(&message);
    }
}

// Relative file names mean the folder the command was started in, not the running copy's.
std::vector<std::wstring> absolutePaths(const std::vector<std::wstring>& files)
{
    std::vector<std::wstring> paths;
    for (const std::wstring& file : files) {
        const DWORD length = GetFullPathNameW(file.c_str(), 0, nullptr, nullptr);
        std::wstring full(length, L'\0');
        if (length == 0 || GetFullPathNameW(file.c_str(), length, full.data(), nullptr) == 0) {
            paths.push_back(file);
            continue;
        }
        full.resize(wcslen(full.c_str()));
        paths.push_back(std::move(full));
    }
    return paths;
}

// A refusal of this side, in the language Peltorine speaks; read only when it is needed.
int noAnswer() noexcept
{
    writeToConsole(STD_ERROR_HANDLE, std::wstring(pick(kNoAnswer, userLanguage())) + L"\n");
    return kCommandRefused;
}

int finish(const CommandReply& reply) noexcept
{
    if (!reply.text.empty())
        writeToConsole(reply.exitCode == kCommandSucceeded ? STD_OUTPUT_HANDLE : STD_ERROR_HANDLE, reply.text + L"\n");
    return reply.exitCode;
}

} // namespace

std::uint32_t userLanguage() noexcept
{
    std::wstring localAppData;
    return SUCCEEDED(knownFolderPath(FOLDERID_LocalAppData, localAppData)) ? storedLanguage(localAppData) : kEnglish;
}

void writeToConsole(DWORD standardHandle, const std::wstring& text) noexcept
{
    const HANDLE handle = outputHandle(standardHandle);
    if (handle == nullptr || handle == INVALID_HANDLE_VALUE || text.empty())
        return;
    DWORD mode = 0;
    DWORD written = 0;
    if (GetConsoleMode(handle, &mode)) {
        WriteConsoleW(handle, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
        return;
    }
    // Redirected to a file or a pipe: UTF-8.
    const int size = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0,
                                         nullptr, nullptr);
    if (size <= 0)
        return;
    std::string bytes(static_cast<std::size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), bytes.data(), size, nullptr, nullptr);
    WriteFile(handle, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
}

int forwardCommand(HINSTANCE instance, const CommandRequest& request) noexcept
{
    try {
        CommandRequest forwarded = request;
        forwarded.files = absolutePaths(request.files);
        const std::vector<std::uint8_t> bytes = encodeCommandRequest(forwarded);

        // Exit needs no copy started to end it.
        const HWND control = findRunningCopy(request.kind != CommandKind::Exit);
        if (!control)
            return request.kind == CommandKind::Exit ? kCommandSucceeded : noAnswer();

        ReplyWindow window(instance);
        if (!window.get())
            return noAnswer();
        window.expectFrom(control);
        COPYDATASTRUCT data{kCommandRequestTag, static_cast<DWORD>(bytes.size()),
                            const_cast<std::uint8_t*>(bytes.data())};
        DWORD_PTR accepted = FALSE;
        if (!SendMessageTimeoutW(control, WM_COPYDATA, reinterpret_cast<WPARAM>(window.get()),
                                 reinterpret_cast<LPARAM>(&data), SMTO_ABORTIFHUNG, kRequestTimeoutMs, &accepted) ||
            !accepted)
            return noAnswer();
        waitForReply(window, control);
        if (!window.reply())
            return noAnswer();
        return finish(*window.reply());
    } catch (...) {
        return noAnswer();
    }
}
