// The main of every test program: GoogleTest, plus a progress file beside the report that names
// the test running now, so that a program that crashes or is stopped for taking too long still
// says where it was (scripts/test reads it). A crash, or a test that runs past its time limit,
// ends the program at once with the calls that led there.
#include <gtest/gtest.h>

#include <windows.h>

#include <atomic>
#include <cstdint>
#include <cstdlib>
#include <cstdio>
#include <cstring>
#include <string>

namespace {

std::string progressPath;
std::string currentTest = "(before the first test)";
DWORD mainThread = 0;

void writeProgress(const std::string& line) noexcept
{
    if (progressPath.empty())
        return;
    if (FILE* file = std::fopen(progressPath.c_str(), "wb")) {
        std::fputs((line + "\n").c_str(), file);
        std::fclose(file);
    }
}

// "module+0xOFFSET" for an address inside a loaded module; false for one in none. Wine answers
// the program's own module for an address in no module at all (a call through a null pointer):
// only an address inside the module is named by it.
bool describeAddress(const void* address, char* text, std::size_t size) noexcept
{
    HMODULE module = nullptr;
    if (!address ||
        !GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                            static_cast<const char*>(address), &module) ||
        address < static_cast<const void*>(module))
        return false;
    char name[MAX_PATH] = {};
    GetModuleFileNameA(module, name, MAX_PATH);
    const char* base = std::strrchr(name, '\\');
    std::snprintf(text, size, "%s+0x%llx", base ? base + 1 : name,
                  static_cast<unsigned long long>(static_cast<const char*>(address) -
                                                  reinterpret_cast<const char*>(module)));
    return true;
}

// The calls that led to the crash, innermost first, as far as the unwind data of the modules go:
// " <- module+0x... <- ...".
std::string callersOf(const CONTEXT& crashed) noexcept
{
    std::string callers;
#if defined(_M_X64) || defined(__x86_64__)
    CONTEXT context = crashed;
    for (int depth = 0; depth < 12; ++depth) {
        DWORD64 imageBase = 0;
        if (RUNTIME_FUNCTION* function = RtlLookupFunctionEntry(context.Rip, &imageBase, nullptr)) {
            void* handlerData = nullptr;
            DWORD64 establisher = 0;
            RtlVirtualUnwind(UNW_FLAG_NHANDLER, imageBase, context.Rip, function, &context, &handlerData,
                             &establisher, nullptr);
        } else {
            // A leaf, or no code at all (a call through a null pointer): the return address is on top.
            if (IsBadReadPtr(reinterpret_cast<const void*>(context.Rsp), sizeof(DWORD64)))
                break;
            context.Rip = *reinterpret_cast<const DWORD64*>(context.Rsp);
            context.Rsp += sizeof(DWORD64);
        }
        if (context.Rip == 0)
            break;
        char text[MAX_PATH + 32] = {};
        if (!describeAddress(reinterpret_cast<const void*>(context.Rip), text, sizeof(text)))
            std::snprintf(text, sizeof(text), "0x%llx", static_cast<unsigned long long>(context.Rip));
        callers += " <- ";
        callers += text;
    }
#else
    (void)crashed;
#endif
    return callers;
}

// A crash that GoogleTest does not catch (on another thread, or outside a test) ends the program
// at once with the exception's code, named in the progress file: no debugger is waited for.
LONG WINAPI endOnCrash(EXCEPTION_POINTERS* exception) noexcept
{
    const EXCEPTION_RECORD* record = exception ? exception->ExceptionRecord : nullptr;
    // Where it happened: the module and the offset in it, ours or the system's.
    char where[MAX_PATH + 64] = "an unknown place";
    const char* const address = record ? static_cast<const char*>(record->ExceptionAddress) : nullptr;
    if (!describeAddress(address, where, sizeof(where)) && record)
        std::snprintf(where, sizeof(where), "no module, at address 0x%llx",
                      static_cast<unsigned long long>(reinterpret_cast<std::uintptr_t>(address)));
    char code[96] = {};
    std::snprintf(code, sizeof(code), "0x%08lX", record ? static_cast<unsigned long>(record->ExceptionCode) : 0ul);
    // An access violation also says what it touched.
    if (record && record->ExceptionCode == EXCEPTION_ACCESS_VIOLATION && record->NumberParameters >= 2) {
        std::snprintf(code, sizeof(code), "0x%08lX (%s 0x%llx)", static_cast<unsigned long>(record->ExceptionCode),
                      record->ExceptionInformation[0] == 0 ? "reading" : record->ExceptionInformation[0] == 1 ? "writing" : "executing",
                      static_cast<unsigned long long>(record->ExceptionInformation[1]));
    }
    const std::string callers = exception && exception->ContextRecord ? callersOf(*exception->ContextRecord) : "";
    writeProgress(currentTest + " (it crashed with exception " + code + " in " + where + callers + ")");
    std::fprintf(stderr, "crashed during %s with exception %s in %s%s (thread %lu%s)\n", currentTest.c_str(), code, where,
                 callers.c_str(), GetCurrentThreadId(), GetCurrentThreadId() == mainThread ? ", the tests' own" : "");
    std::fflush(stderr);
    TerminateProcess(GetCurrentProcess(), 3);
    return EXCEPTION_EXECUTE_HANDLER;
}

// A test that runs longer than this is taken as hung (PELTORINE_TEST_LIMIT_SECONDS changes it).
constexpr ULONGLONG kDefaultTestLimitSeconds = 60;
ULONGLONG testLimitMs = kDefaultTestLimitSeconds * 1000;
// The tick count at which the running test started; 0 between tests.
std::atomic<ULONGLONG> testStartedAt{0};

// A hung test ends the program with the calls the tests' thread is stuck in, named in the
// progress file, well before the run's own time limit would end it without a word.
DWORD WINAPI watchForHangs(void* testThread) noexcept
{
    for (;;) {
        Sleep(1000);
        const ULONGLONG started = testStartedAt.load();
        if (started == 0 || GetTickCount64() - started < testLimitMs)
            continue;
        std::string stuck;
        CONTEXT context{};
        context.ContextFlags = CONTEXT_FULL;
        if (SuspendThread(testThread) != static_cast<DWORD>(-1) && GetThreadContext(testThread, &context)) {
            char where[MAX_PATH + 64] = {};
#if defined(_M_X64) || defined(__x86_64__)
            if (!describeAddress(reinterpret_cast<const void*>(context.Rip), where, sizeof(where)))
                std::snprintf(where, sizeof(where), "0x%llx", static_cast<unsigned long long>(context.Rip));
#endif
            stuck = std::string(" in ") + where + callersOf(context);
        }
        const std::string line = currentTest + " (it hung for " + std::to_string(testLimitMs / 1000) + " s" + stuck + ")";
        writeProgress(line);
        std::fprintf(stderr, "hung: %s\n", line.c_str());
        std::fflush(stderr);
        TerminateProcess(GetCurrentProcess(), 4);
    }
}

class ProgressFile final : public ::testing::EmptyTestEventListener {
public:
    void OnTestStart(const ::testing::TestInfo& test) override
    {
        currentTest = std::string(test.test_suite_name()) + "." + test.name();
        writeProgress(currentTest);
        testStartedAt = GetTickCount64();
    }
    void OnTestEnd(const ::testing::TestInfo&) override { testStartedAt = 0; }
    void OnTestProgramEnd(const ::testing::UnitTest&) override { writeProgress("(the program ended)"); }
};

// "xml:DIR/NAME.xml" gives DIR/NAME.progress.
std::string progressPathOf(const std::string& output)
{
    if (output.rfind("xml:", 0) != 0 || output.size() <= 8)
        return {};
    std::string path = output.substr(4);
    const std::size_t dot = path.rfind(".xml");
    return dot == std::string::npos ? std::string() : path.substr(0, dot) + ".progress";
}

} // namespace

int main(int argc, char** argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    progressPath = progressPathOf(::testing::GTEST_FLAG(output));
    ::testing::UnitTest::GetInstance()->listeners().Append(new ProgressFile);
    mainThread = GetCurrentThreadId();
    SetUnhandledExceptionFilter(endOnCrash);
    if (const char* limit = std::getenv("PELTORINE_TEST_LIMIT_SECONDS"); limit && std::atoi(limit) > 0)
        testLimitMs = static_cast<ULONGLONG>(std::atoi(limit)) * 1000;
    HANDLE testThread = nullptr;
    DuplicateHandle(GetCurrentProcess(), GetCurrentThread(), GetCurrentProcess(), &testThread,
                    THREAD_SUSPEND_RESUME | THREAD_GET_CONTEXT, FALSE, 0);
    if (testThread)
        CloseHandle(CreateThread(nullptr, 0, watchForHangs, testThread, 0, nullptr));
    const int result = RUN_ALL_TESTS();
    // Wine 8's Media Engine keeps engines that showed a frame, with their decoding threads;
    // tearing those down at the end of the process has now and then corrupted the C library's
    // heap under Wine ("malloc_consolidate(): unaligned fastbin chunk detected", a crash after
    // the last test). A program that played videos has written its report by now: it ends here,
    // without that teardown.
    if (GetModuleHandleW(L"mfplat.dll")) {
        std::fflush(stdout);
        std::fflush(stderr);
        TerminateProcess(GetCurrentProcess(), static_cast<UINT>(result));
    }
    return result;
}
