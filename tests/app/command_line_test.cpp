// The command line: what it accepts, the private message between the two copies, the running
// copy's answers, and a command and a running copy as two real processes.
#include <gtest/gtest.h>

#include <windows.h>
#include <objbase.h>
#include <shobjidl.h>
#include <wrl/client.h>

#include <algorithm>
#include <cwctype>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "app/command_line.h"
#include "platform/unique_handle.h"
#include "platform/window_thunk.h"
#include "tests/support/command_sender.h"
#include "tests/support/desktop_object.h"
#include "tests/support/process.h"
#include "tests/support/temp_folder.h"
#include "tests/support/wallpaper_world.h"
#include "tests/support/windowed_world.h"
#include "tools/desktop_wallpaper/registration.h"

using Microsoft::WRL::ComPtr;

namespace {

CommandRequest request(CommandKind kind, std::vector<std::wstring> files = {}, std::optional<FitMode> fit = {},
                       std::optional<std::uint32_t> display = {})
{
    return CommandRequest{kind, std::move(files), fit, display};
}

TEST(CommandLine, ParsesEveryCommandAndItsOptions)
{
    const struct {
        std::vector<std::wstring> arguments;
        CommandRequest expected;
    } cases[] = {
        {{}, request(CommandKind::Run)},
        {{L"--help"}, request(CommandKind::Help)},
        {{L"-h"}, request(CommandKind::Help)},
        {{L"/?"}, request(CommandKind::Help)},
        {{L"next"}, request(CommandKind::Next)},
        {{L"UNDO"}, request(CommandKind::Undo)},
        {{L"restore-default"}, request(CommandKind::RestoreDefault)},
        {{L"pause"}, request(CommandKind::Pause)},
        {{L"play"}, request(CommandKind::Play)},
        {{L"exit"}, request(CommandKind::Exit)},
        {{L"status"}, request(CommandKind::Status)},
        {{L"set", L"a.png"}, request(CommandKind::Set, {L"a.png"})},
        {{L"set", L"a.png", L"C:\\Ảnh\\b 2.jpg"}, request(CommandKind::Set, {L"a.png", L"C:\\Ảnh\\b 2.jpg"})},
        {{L"set", L"--fit", L"span", L"a.png"}, request(CommandKind::Set, {L"a.png"}, FitSpan)},
        {{L"set", L"--fit=Center", L"a.png"}, request(CommandKind::Set, {L"a.png"}, FitCenter)},
        {{L"set", L"a.png", L"--display", L"2"}, request(CommandKind::Set, {L"a.png"}, std::nullopt, 2u)},
        {{L"set", L"--display=all", L"--fit", L"tile", L"a.mp4"}, request(CommandKind::Set, {L"a.mp4"}, FitTile, 0u)},
        {{L"set", L"--", L"--fit"}, request(CommandKind::Set, {L"--fit"})},
    };
    for (const auto& test : cases) {
        const ParsedCommandLine parsed = parseCommandLine(test.arguments);
        ASSERT_TRUE(parsed.request.has_value()) << utf8(parsed.usageError);
        EXPECT_EQ(test.expected, *parsed.request) << (test.arguments.empty() ? "" : utf8(test.arguments[0]));
    }
}

TEST(CommandLine, RefusesWhatItCannotTakeWithAUsageError)
{
    const std::vector<std::vector<std::wstring>> cases = {
        {L"bogus"},
        {L"set"},
        {L"set", L"--fit", L"a.png"},
        {L"set", L"--fit", L"zoom", L"a.png"},
        {L"set", L"--display", L"0", L"a.png"},
        {L"set", L"--display", L"first", L"a.png"},
        {L"set", L"--display"},
        {L"set", L"--colour", L"red", L"a.png"},
        {L"next", L"now"},
        {L"--help", L"set"},
    };
    for (const auto& arguments : cases) {
        const ParsedCommandLine parsed = parseCommandLine(arguments);
        EXPECT_FALSE(parsed.request.has_value()) << utf8(arguments.back());
        EXPECT_FALSE(parsed.usageError.empty()) << utf8(arguments.back());
    }
}

TEST(CommandLine, HelpNamesEveryCommandInBothLanguages)
{
    for (const std::uint32_t language : {kEnglish, kVietnamese}) {
        const std::wstring help = commandLineHelp(language);
        for (const wchar_t* command : {L"set", L"--fit", L"--display", L"next", L"undo", L"restore-default", L"pause",
                                       L"play", L"status", L"exit"})
            EXPECT_NE(std::wstring::npos, help.find(command)) << utf8(command);
    }
    EXPECT_NE(commandLineHelp(kEnglish), commandLineHelp(kVietnamese));
}

TEST(CommandMessage, RequestsAndRepliesComeThroughWhole)
{
    for (const CommandRequest& sent :
         {request(CommandKind::Status), request(CommandKind::Set, {L"C:\\a b\\Ảnh #1.png", L"D:\\x.jpg"}, FitFit, 3u)}) {
        const std::vector<std::uint8_t> bytes = encodeCommandRequest(sent);
        EXPECT_EQ(sent, decodeCommandRequest(bytes.data(), bytes.size()));
    }
    const CommandReply reply{kCommandRefused, L"Couldn't open image bad.png"};
    const std::vector<std::uint8_t> bytes = encodeCommandReply(reply);
    EXPECT_EQ(reply, decodeCommandReply(bytes.data(), bytes.size()));
}

std::vector<std::uint8_t> fields(const std::vector<std::wstring>& list)
{
    std::vector<std::uint8_t> bytes;
    for (const std::wstring& field : list) {
        for (const wchar_t c : field) {
            bytes.push_back(static_cast<std::uint8_t>(c & 0xFF));
            bytes.push_back(static_cast<std::uint8_t>(c >> 8));
        }
        bytes.push_back(0);
        bytes.push_back(0);
    }
    return bytes;
}

TEST(CommandMessage, MalformedRequestsAreRefused)
{
    const std::vector<std::uint8_t> good = fields({L"Peltorine", L"1", L"set", L"", L"", L"1", L"C:\\a.png"});
    ASSERT_TRUE(decodeCommandRequest(good.data(), good.size()));

    std::vector<std::vector<std::uint8_t>> cases = {
        {},
        fields({L"Peltorine", L"2", L"status", L"", L"", L"0"}),
        fields({L"Someone", L"1", L"status", L"", L"", L"0"}),
        fields({L"Peltorine", L"1", L"format-disk", L"", L"", L"0"}),
        fields({L"Peltorine", L"1", L"set", L"", L"", L"2", L"C:\\a.png"}),
        fields({L"Peltorine", L"1", L"set", L"", L"", L"0"}),
        fields({L"Peltorine", L"1", L"set", L"9", L"", L"1", L"C:\\a.png"}),
        fields({L"Peltorine", L"1", L"set", L"", L"-1", L"1", L"C:\\a.png"}),
        fields({L"Peltorine", L"1", L"status", L"", L"", L"1", L"C:\\a.png"}),
        fields({L"Peltorine", L"1", L"set", L"", L"", L"1", L""}),
        fields({L"Peltorine", L"1", L"status"}),
        std::vector<std::uint8_t>(good.begin(), good.end() - 2), // the last field not ended
        std::vector<std::uint8_t>(good.begin(), good.end() - 1), // an odd size
    };
    for (std::size_t i = 0; i < cases.size(); ++i)
        EXPECT_FALSE(decodeCommandRequest(cases[i].data(), cases[i].size())) << "case " << i;
    EXPECT_FALSE(decodeCommandRequest(nullptr, 8));
    const std::vector<std::uint8_t> huge(kMaxCommandMessageBytes + 2, 0x41);
    EXPECT_FALSE(decodeCommandRequest(huge.data(), huge.size()));
}

TEST(CommandMessage, JsonStringsAreEscaped)
{
    EXPECT_EQ(L"\"C:\\\\Ảnh \\\"1\\\"\\n\\u0001\"", jsonString(L"C:\\Ảnh \"1\"\n\x01"));
}

class RunningCopyTest : public ::testing::Test {
protected:
    RunningCopyTest() { world.fake->addDisplay(kDisplay2, kRect2, L"C:\\old.jpg"); }
    void SetUp() override { ASSERT_EQ(S_OK, world.start()); }

    HWND control() const { return world.app.controlWindow(); }

    PictureFolder pictures;
    WindowedWorld world{false};
    CommandSender sender;
};

TEST_F(RunningCopyTest, SetShowsThePicturesAsADropWouldAndRemembersTheOptions)
{
    const std::wstring a = pictures.png(L"a 10.png");
    const std::wstring b = pictures.png(L"a 2.png");

    ASSERT_EQ(TRUE, sender.send(control(), request(CommandKind::Set, {a, b}, FitTile, 2u)));

    ASSERT_TRUE(sender.reply);
    EXPECT_EQ((CommandReply{kCommandSucceeded, L""}), *sender.reply);
    EXPECT_EQ(b, world.fake->wallpaperOf(kDisplay2));
    EXPECT_EQ(L"C:\\old.jpg", world.fake->wallpaperOf(L"\\\\?\\DISPLAY#1"));
    EXPECT_EQ(ModeSlideshow, world.app.wallpaper().currentState().mode);
    EXPECT_EQ(L"1", world.setting(L"Fit"));
    EXPECT_EQ(kDisplay2, world.setting(L"Monitor"));
}

TEST_F(RunningCopyTest, ARefusedFileAnswersWithTheNotificationsTextAndChangesNothing)
{
    const FakeDesktopState before = world.fake->state();
    const std::wstring bad = pictures.garbage(L"bad.png");

    ASSERT_EQ(TRUE, sender.send(control(), request(CommandKind::Set, {bad})));

    ASSERT_TRUE(sender.reply);
    EXPECT_EQ(kCommandRefused, sender.reply->exitCode);
    EXPECT_EQ(L"Couldn't open image bad.png", sender.reply->text);
    EXPECT_EQ(before, world.fake->state());
}

TEST_F(RunningCopyTest, CommandsWithNothingToWorkOnAreRefusedWithAReason)
{
    const struct {
        CommandRequest request;
        const wchar_t* answer;
    } cases[] = {
        {request(CommandKind::Next), L"No slideshow is running."},
        {request(CommandKind::Undo), L"There is nothing to undo."},
        {request(CommandKind::RestoreDefault), L"No default wallpaper is chosen yet."},
        {request(CommandKind::Pause), L"No video wallpaper is showing."},
        {request(CommandKind::Play), L"No video wallpaper is showing."},
        {request(CommandKind::Set, {L"C:\\a.png"}, std::nullopt, 7u), L"There is no such display."},
        {request(CommandKind::Set, {L"C:\\a.png"}, FitSpan, 1u), L"Span covers all displays; it cannot go to one display."},
    };
    const FakeDesktopState before = world.fake->state();
    for (const auto& test : cases) {
        ASSERT_EQ(TRUE, sender.send(control(), test.request));
        ASSERT_TRUE(sender.reply);
        EXPECT_EQ((CommandReply{kCommandRefused, test.answer}), *sender.reply);
    }
    EXPECT_EQ(before, world.fake->state());
    EXPECT_FALSE(world.setting(L"Fit").has_value());
}

TEST_F(RunningCopyTest, UndoAndNextFollowTheState)
{
    const std::wstring a = pictures.png(L"a.png");
    const std::wstring b = pictures.png(L"b.png");
    ASSERT_EQ(TRUE, sender.send(control(), request(CommandKind::Set, {a, b})));
    ASSERT_EQ(a, world.fake->wallpaperOf(kDisplay2));

    ASSERT_EQ(TRUE, sender.send(control(), request(CommandKind::Next)));
    EXPECT_EQ((CommandReply{kCommandSucceeded, L""}), sender.reply);
    EXPECT_EQ(b, world.fake->wallpaperOf(kDisplay2));

    ASSERT_EQ(TRUE, sender.send(control(), request(CommandKind::Undo)));
    EXPECT_EQ((CommandReply{kCommandSucceeded, L""}), sender.reply);
    EXPECT_EQ(L"C:\\old.jpg", world.fake->wallpaperOf(kDisplay2));
}

TEST_F(RunningCopyTest, StatusDescribesTheStateAsJson)
{
    const std::wstring a = pictures.png(L"a.png");
    ASSERT_EQ(TRUE, sender.send(control(), request(CommandKind::Set, {a}, FitCenter)));

    ASSERT_EQ(TRUE, sender.send(control(), request(CommandKind::Status)));

    ASSERT_TRUE(sender.reply);
    EXPECT_EQ(kCommandSucceeded, sender.reply->exitCode);
    const std::wstring& json = sender.reply->text;
    const std::string version = PELTORINE_VERSION;
    EXPECT_EQ(L'{', json.front());
    EXPECT_EQ(L'}', json.back());
    for (const std::wstring& part :
         {L"\"version\": \"" + std::wstring(version.begin(), version.end()) + L"\"", std::wstring(L"\"mode\": \"still\""),
          L"\"files\": [" + jsonString(a) + L"]", std::wstring(L"\"fit\": \"center\""),
          std::wstring(L"\"display\": \"all\""), std::wstring(L"\"interval\": 10"),
          std::wstring(L"\"video\": {\"shown\": false, \"opening\": false, \"playing\": false, \"pausedBecause\": null, \"pauseReasons\": []}"),
          std::wstring(L"\"widgetShown\": false")})
        EXPECT_NE(std::wstring::npos, json.find(part)) << utf8(part) << "\nin " << utf8(json);
}

TEST_F(RunningCopyTest, MalformedOrForeignMessagesAreRefusedAndDoNothing)
{
    const FakeDesktopState before = world.fake->state();
    const std::vector<std::uint8_t> good = encodeCommandRequest(request(CommandKind::Exit));

    EXPECT_EQ(FALSE, sender.send(control(), fields({L"Peltorine", L"1", L"exit", L"", L"", L"3"})));
    EXPECT_EQ(FALSE, sender.send(control(), good, kCommandReplyTag));
    EXPECT_EQ(FALSE, sender.send(control(), encodeCommandRequest(request(CommandKind::Run))));

    EXPECT_FALSE(sender.reply.has_value());
    EXPECT_EQ(before, world.fake->state());
    MSG quit{};
    EXPECT_FALSE(PeekMessageW(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
}

// --- A command and a running copy, two real processes ---

struct CommandRun {
    DWORD exitCode = STILL_ACTIVE;
    std::string output;
    std::string errors;
};

std::string drain(HANDLE pipe)
{
    std::string text;
    DWORD available = 0;
    while (PeekNamedPipe(pipe, nullptr, 0, nullptr, &available, nullptr) && available > 0) {
        std::string chunk(available, '\0');
        DWORD read = 0;
        if (!ReadFile(pipe, chunk.data(), available, &read, nullptr))
            break;
        text.append(chunk, 0, read);
    }
    return text;
}

// Runs peltorine.exe with arguments, its standard output and error into pipes, to its end.
CommandRun runPeltorine(const std::wstring& arguments)
{
    SECURITY_ATTRIBUTES inherit{sizeof(inherit), nullptr, TRUE};
    HANDLE outRead = nullptr, outWrite = nullptr, errRead = nullptr, errWrite = nullptr;
    CreatePipe(&outRead, &outWrite, &inherit, 1 << 16);
    CreatePipe(&errRead, &errWrite, &inherit, 1 << 16);
    SetHandleInformation(outRead, HANDLE_FLAG_INHERIT, 0);
    SetHandleInformation(errRead, HANDLE_FLAG_INHERIT, 0);
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = outWrite;
    startup.hStdError = errWrite;
    std::wstring commandLine = L"\"" + windowsPathOf(PELTORINE_EXE_PATH) + L"\" " + arguments;
    PROCESS_INFORMATION process{};
    CommandRun run;
    if (CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup, &process)) {
        const ULONGLONG deadline = GetTickCount64() + 60000;
        while (WaitForSingleObject(process.hProcess, 50) == WAIT_TIMEOUT && GetTickCount64() < deadline) {
            run.output += drain(outRead);
            run.errors += drain(errRead);
        }
        GetExitCodeProcess(process.hProcess, &run.exitCode);
        if (run.exitCode == STILL_ACTIVE)
            TerminateProcess(process.hProcess, 99);
        CloseHandle(process.hThread);
        CloseHandle(process.hProcess);
    }
    CloseHandle(outWrite);
    CloseHandle(errWrite);
    run.output += drain(outRead);
    run.errors += drain(errRead);
    CloseHandle(outRead);
    CloseHandle(errRead);
    return run;
}

std::wstring quoted(const std::wstring& path)
{
    return L"\"" + path + L"\"";
}

class CommandLineProcesses : public ::testing::Test {
protected:
    void SetUp() override
    {
        SetEnvironmentVariableW(L"PELTORINE_DEVDESKTOP_STATE", (folder.path() + L"\\state.ini").c_str());
        const auto dll = std::filesystem::path(PELTORINE_EXE_PATH).parent_path() / "peltorine_devdesktop_wallpaper.dll";
        ASSERT_EQ(S_OK, registerDevDesktopWallpaper(windowsPathOf(dll.string().c_str())));
        ASSERT_EQ(nullptr, FindWindowW(L"Peltorine.Control", nullptr)) << "a copy runs already";
    }
    void TearDown() override
    {
        if (const HWND control = FindWindowW(L"Peltorine.Control", nullptr)) {
            DWORD processId = 0;
            GetWindowThreadProcessId(control, &processId);
            const UniqueKernelHandle process(OpenProcess(SYNCHRONIZE | PROCESS_TERMINATE, FALSE, processId));
            PostMessageW(control, WM_CLOSE, 0, 0);
            if (process && WaitForSingleObject(process.get(), 10000) != WAIT_OBJECT_0)
                TerminateProcess(process.get(), 1);
        }
        (void)unregisterDevDesktopWallpaper();
        SetEnvironmentVariableW(L"PELTORINE_DEVDESKTOP_STATE", nullptr);
    }

    std::vector<std::wstring> wallpapers() { return wallpapersOfEveryDisplay(); }

    PictureFolder pictures; // OLE for this thread, too
    TempFolder folder;
};

TEST_F(CommandLineProcesses, ACommandStartsTheCopyForwardsToItAndAnswers)
{
    const std::wstring a = pictures.png(L"Ảnh a.png");
    const std::wstring bad = pictures.garbage(L"bad.png");

    // A cold start: the command starts the program, which stays running.
    const CommandRun set = runPeltorine(L"set --fit fit " + quoted(a));
    EXPECT_EQ(0u, set.exitCode) << set.errors;
    EXPECT_EQ("", set.errors);
    const HWND control = FindWindowW(L"Peltorine.Control", nullptr);
    ASSERT_NE(nullptr, control);
    const std::vector<std::wstring> shown = wallpapers();
    ASSERT_FALSE(shown.empty());
    for (const std::wstring& path : shown)
        EXPECT_EQ(a, path);

    const CommandRun refused = runPeltorine(L"set " + quoted(bad));
    EXPECT_EQ(1u, refused.exitCode);
    EXPECT_EQ("Couldn't open image bad.png\n", refused.errors);
    EXPECT_EQ(shown, wallpapers());

    const CommandRun status = runPeltorine(L"status");
    EXPECT_EQ(0u, status.exitCode) << status.errors;
    EXPECT_NE(std::string::npos, status.output.find("\"mode\": \"still\"")) << status.output;
    EXPECT_NE(std::string::npos, status.output.find("\"fit\": \"fit\"")) << status.output;
    EXPECT_NE(std::string::npos, status.output.find(utf8(jsonString(a)))) << status.output;

    const CommandRun usage = runPeltorine(L"set");
    EXPECT_EQ(2u, usage.exitCode);
    EXPECT_NE(std::string::npos, usage.errors.find("set needs one or more files.")) << usage.errors;

    const CommandRun exit = runPeltorine(L"exit");
    EXPECT_EQ(0u, exit.exitCode) << exit.errors;
    DWORD processId = 0;
    GetWindowThreadProcessId(control, &processId);
    const UniqueKernelHandle process(OpenProcess(SYNCHRONIZE, FALSE, processId));
    if (process) {
        EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(process.get(), 10000));
    }
    EXPECT_EQ(nullptr, FindWindowW(L"Peltorine.Control", nullptr));

    // Exit with no copy running starts none.
    EXPECT_EQ(0u, runPeltorine(L"exit").exitCode);
    EXPECT_EQ(nullptr, FindWindowW(L"Peltorine.Control", nullptr));
}

} // namespace
