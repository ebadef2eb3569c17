// How long a command takes beyond starting the program: `peltorine.exe status` answered by the
// running copy, against `peltorine.exe` alone, which finds the copy running and ends at once (the
// same image, its libraries loaded, nothing done), and against a program that does nothing; each
// started and waited for 20 times. Run while a copy of Peltorine runs (scripts/bench does).
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

namespace {

std::wstring ownPath()
{
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    return path;
}

// Milliseconds from CreateProcessW to the end of the process; negative when it did not start.
double timeRun(const std::wstring& commandLine)
{
    std::wstring line = commandLine;
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESTDHANDLES;
    const HANDLE nul = CreateFileW(L"NUL", GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0,
                                   nullptr);
    startup.hStdOutput = nul;
    startup.hStdError = nul;
    LARGE_INTEGER frequency{}, start{}, end{};
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&start);
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup, &process)) {
        CloseHandle(nul);
        return -1;
    }
    WaitForSingleObject(process.hProcess, INFINITE);
    QueryPerformanceCounter(&end);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    CloseHandle(nul);
    return 1000.0 * static_cast<double>(end.QuadPart - start.QuadPart) / static_cast<double>(frequency.QuadPart);
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

} // namespace

int wmain(int argc, wchar_t** argv)
{
    if (argc > 1 && std::wstring(argv[1]) == L"--nothing")
        return 0;
    if (argc < 2) {
        std::fwprintf(stderr, L"usage: peltorine_bench_command PELTORINE_EXE\n");
        return 2;
    }
    constexpr int kRuns = 20;
    std::vector<double> command, second, nothing;
    for (int i = 0; i < kRuns; ++i) {
        nothing.push_back(timeRun(L"\"" + ownPath() + L"\" --nothing"));
        second.push_back(timeRun(L"\"" + std::wstring(argv[1]) + L"\""));
        command.push_back(timeRun(L"\"" + std::wstring(argv[1]) + L"\" status"));
    }
    for (const auto* runs : {&command, &second, &nothing}) {
        if (*std::min_element(runs->begin(), runs->end()) < 0)
            return 1;
    }
    std::wprintf(L"  a program that does nothing   %7.1f ms (median of %d)\n", median(nothing), kRuns);
    std::wprintf(L"  peltorine.exe, a second copy  %7.1f ms (median of %d)\n", median(second), kRuns);
    std::wprintf(L"  peltorine.exe status          %7.1f ms (median of %d)\n", median(command), kRuns);
    std::wprintf(L"  the command's own time        %7.1f ms (beyond the second copy; goal under 100 ms)\n",
                 median(command) - median(second));
    return 0;
}
