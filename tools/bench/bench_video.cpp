// The video wallpaper's cost against a bare Media Engine loop, under the same prefix.
//
// Each phase runs in a child process of its own, so that its memory is its own:
//   loop     a bare Media Engine decode-and-transfer loop polled every 15 ms
//   one      a VideoWallpaper on one 960x540 window, ticked every 15 ms as the program does
//   two      the same on two windows (Span)
//   covered  one window, paused as under a covering window: the program's timer is off then
//   cycles   40 opens to the first frame and closes of a VideoWallpaper with a device of its own
//   shared   the same, each video lent one kept device, as the program does
// For each it prints new frames, transfers and presents per window (presents counted by DXGI), the
// input-assembler primitives of a pipeline-statistics query over the run (Wine's count is not one
// per draw), process CPU time and private memory (under Wine the
// Linux process's anonymous memory). The clip comes from PELTORINE_BENCH_CLIP (scripts/bench
// makes a 960x540 30 fps one); PELTORINE_BENCH_SECONDS shortens the timed phases (default 30).

#include <windows.h>
#include <objbase.h>
#include <psapi.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "platform/unique_handle.h"
#include "video/media_events.h"
#include "video/video_libraries.h"
#include "video/video_wallpaper.h"

using Microsoft::WRL::ComPtr;

namespace {

constexpr DWORD kTickMs = 15;

double cpuSeconds()
{
    FILETIME created{}, exited{}, kernel{}, user{};
    GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user);
    const auto value = [](const FILETIME& time) {
        return (static_cast<unsigned long long>(time.dwHighDateTime) << 32 | time.dwLowDateTime) / 1e7;
    };
    return value(kernel) + value(user);
}

// Private (page-file backed) memory of this process in MB. Wine fills it from the Linux process's
// anonymous resident memory and swap (RssAnon + VmSwap).
double anonymousMegabytes()
{
    PROCESS_MEMORY_COUNTERS_EX counters{};
    counters.cb = sizeof(counters);
    if (!K32GetProcessMemoryInfo(GetCurrentProcess(), reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&counters),
                                 sizeof(counters)))
        return -1;
    return static_cast<double>(counters.PagefileUsage) / (1024.0 * 1024.0);
}

void pumpMessages()
{
    MSG message{};
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE))
        DispatchMessageW(&message);
}

std::wstring environment(const wchar_t* name, const wchar_t* fallback)
{
    wchar_t value[1024] = {};
    const DWORD length = GetEnvironmentVariableW(name, value, 1024);
    return length > 0 && length < 1024 ? value : fallback;
}

int timedSeconds()
{
    return std::max(1, _wtoi(environment(L"PELTORINE_BENCH_SECONDS", L"30").c_str()));
}

// Sleeps to the next step, period ms on (15 unless told), as a timer would wake the program: a
// step missed while the work took longer is not made up for (timer messages do not pile up).
void waitForTick(ULONGLONG& next, UINT period = kTickMs)
{
    const ULONGLONG now = GetTickCount64();
    next = std::max(next + period, now);
    if (next > now)
        Sleep(static_cast<DWORD>(next - now));
    pumpMessages();
}

struct Figures {
    int ticks = 0;
    int newFrames = 0;
    int transfers = 0;
    unsigned long long draws = 0; // -1 when the query is not available
    std::vector<UINT> presents;
    double seconds = 0;
    double cpu = 0;
    double memory = 0;
    bool drawsKnown = false;
};

void print(const char* phase, const Figures& f)
{
    std::printf("%s ticks=%d new_frames=%d transfers=%d", phase, f.ticks, f.newFrames, f.transfers);
    if (f.newFrames > 0)
        std::printf(" ticks_per_new_frame=%.2f", static_cast<double>(f.ticks) / f.newFrames);
    if (f.drawsKnown)
        std::printf(" ia_primitives=%llu", f.draws);
    for (std::size_t i = 0; i < f.presents.size(); ++i)
        std::printf(" presents_window%zu=%u", i + 1, f.presents[i]);
    std::printf(" seconds=%.1f cpu=%.2f anon_mb=%.1f\n", f.seconds, f.cpu, f.memory);
    std::fflush(stdout);
}

// --- The bare loop: the Media Engine alone, transferring each new frame into a texture. ---
int bareLoop(const std::wstring& clip)
{
    const VideoLibraries* libraries = nullptr;
    if (FAILED(loadVideoLibraries(libraries)) || FAILED(libraries->startup(MF_VERSION, MFSTARTUP_LITE)))
        return 2;
    Figures f;
    {
        ComPtr<ID3D11Device> device;
        ComPtr<ID3D11DeviceContext> context;
        if (FAILED(libraries->createDevice(nullptr, D3D_DRIVER_TYPE_HARDWARE, nullptr,
                                           D3D11_CREATE_DEVICE_BGRA_SUPPORT | D3D11_CREATE_DEVICE_VIDEO_SUPPORT,
                                           nullptr, 0, D3D11_SDK_VERSION, &device, nullptr, &context)))
            return 3;
        if (ComPtr<ID3D10Multithread> multithread; SUCCEEDED(context.As(&multithread)))
            multithread->SetMultithreadProtected(TRUE);
        UINT token = 0;
        ComPtr<IMFDXGIDeviceManager> manager;
        libraries->createDeviceManager(&token, &manager);
        manager->ResetDevice(device.Get(), token);
        ComPtr<IMFAttributes> attributes;
        libraries->createAttributes(&attributes, 3);
        ComPtr<MediaEvents> events = adoptReference(new MediaEvents());
        attributes->SetUnknown(MF_MEDIA_ENGINE_DXGI_MANAGER, manager.Get());
        attributes->SetUnknown(MF_MEDIA_ENGINE_CALLBACK, events.Get());
        attributes->SetUINT32(MF_MEDIA_ENGINE_VIDEO_OUTPUT_FORMAT, DXGI_FORMAT_B8G8R8A8_UNORM);
        ComPtr<IMFMediaEngineClassFactory> factory;
        ComPtr<IMFMediaEngine> engine;
        if (FAILED(CoCreateInstance(CLSID_MFMediaEngineClassFactory, nullptr, CLSCTX_INPROC_SERVER,
                                    IID_PPV_ARGS(&factory))) ||
            FAILED(factory->CreateInstance(0, attributes.Get(), &engine)))
            return 4;
        engine->SetMuted(TRUE);
        engine->SetLoop(TRUE);
        const UniqueBstr source(SysAllocString(clip.c_str()));
        engine->SetSource(source.get());
        while (engine->GetReadyState() < 2)
            Sleep(5);
        DWORD width = 0, height = 0;
        engine->GetNativeVideoSize(&width, &height);
        D3D11_TEXTURE2D_DESC description{};
        description.Width = width;
        description.Height = height;
        description.MipLevels = 1;
        description.ArraySize = 1;
        description.Format = DXGI_FORMAT_B8G8R8A8_UNORM;
        description.SampleDesc.Count = 1;
        description.BindFlags = D3D11_BIND_SHADER_RESOURCE | D3D11_BIND_RENDER_TARGET;
        ComPtr<ID3D11Texture2D> texture;
        device->CreateTexture2D(&description, nullptr, &texture);
        engine->Play();
        const RECT target{0, 0, static_cast<LONG>(width), static_cast<LONG>(height)};
        const MFARGB border{0, 0, 0, 255};
        LONGLONG last = -1;
        const double cpuStart = cpuSeconds();
        const ULONGLONG start = GetTickCount64();
        ULONGLONG next = start;
        while (GetTickCount64() - start < static_cast<ULONGLONG>(timedSeconds()) * 1000) {
            ++f.ticks;
            LONGLONG time = 0;
            if (engine->OnVideoStreamTick(&time) == S_OK && time != last) {
                last = time;
                ++f.newFrames;
                if (SUCCEEDED(engine->TransferVideoFrame(texture.Get(), nullptr, &target, &border)))
                    ++f.transfers;
            }
            waitForTick(next);
        }
        f.seconds = (GetTickCount64() - start) / 1000.0;
        f.cpu = cpuSeconds() - cpuStart;
        f.memory = anonymousMegabytes();
        engine->Shutdown();
    }
    print("loop", f);
    libraries->shutdown();
    return 0;
}

// --- The wallpaper itself. ---
const wchar_t kHostClass[] = L"PeltorineBench.Host";

HWND createHost(int width, int height)
{
    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = DefWindowProcW;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.lpszClassName = kHostClass;
    RegisterClassW(&windowClass);
    return CreateWindowExW(WS_EX_NOACTIVATE, kHostClass, L"bench host", WS_POPUP | WS_VISIBLE | WS_CLIPCHILDREN, 0, 0,
                           width, height, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
}

bool openToFirstFrame(VideoWallpaper& video, const std::wstring& clip)
{
    if (FAILED(video.open(clip, 0.0)))
        return false;
    const ULONGLONG end = GetTickCount64() + 20000;
    HRESULT hr = S_FALSE;
    while ((hr = video.pumpFrame()) == S_FALSE && GetTickCount64() < end) {
        pumpMessages();
        Sleep(5);
    }
    return hr == S_OK;
}

int wallpaper(const std::wstring& clip, int windowCount, bool covered)
{
    const VideoLibraries* libraries = nullptr;
    if (FAILED(loadVideoLibraries(libraries)) || FAILED(libraries->startup(MF_VERSION, MFSTARTUP_LITE)))
        return 2;
    Figures f;
    {
        const HWND host = createHost(960 * windowCount, 540);
        VideoWallpaper video;
        if (!openToFirstFrame(video, clip))
            return 3;
        std::vector<RECT> displays;
        for (int i = 0; i < windowCount; ++i)
            displays.push_back(RECT{960 * i, 0, 960 * (i + 1), 540});
        if (FAILED(video.createWindows(displays,
                                       [host] {
                                           return VideoHost{host, nullptr, false};
                                       })) ||
            FAILED(video.render(FitSpan, RGB(0, 0, 0))))
            return 4;
        video.showWindows();
        if (covered && FAILED(video.setPaused(true)))
            return 5;

        ID3D11DeviceContext* context = video.graphicsContext();
        D3D11_QUERY_DESC queryDescription{D3D11_QUERY_PIPELINE_STATISTICS, 0};
        ComPtr<ID3D11Query> statistics;
        video.graphicsDevice()->CreateQuery(&queryDescription, &statistics);
        std::vector<UINT> presentsBefore;
        for (const VideoWindow& window : video.videoWindows()) {
            UINT count = 0;
            window.swapChain->GetLastPresentCount(&count);
            presentsBefore.push_back(count);
        }
        if (statistics)
            context->Begin(statistics.Get());

        const double cpuStart = cpuSeconds();
        const ULONGLONG start = GetTickCount64();
        const ULONGLONG length = static_cast<ULONGLONG>(covered ? std::max(1, timedSeconds() / 3) : timedSeconds());
        ULONGLONG next = start;
        // Paused under a covering window nothing of the program runs: window events, not a
        // timer, wake it. What remains is the paused engine's own.
        if (covered)
            Sleep(static_cast<DWORD>(length * 1000));
        while (!covered && GetTickCount64() - start < length * 1000) {
            ++f.ticks;
            const HRESULT hr = video.pumpFrame();
            if (hr == S_OK) {
                ++f.newFrames;
                ++f.transfers;
                (void)video.render(FitSpan, RGB(0, 0, 0));
            }
            // As the program's timer: when the next frame is due.
            waitForTick(next, video.frameWaitMs(kTickMs, hr == S_OK));
        }
        f.seconds = (GetTickCount64() - start) / 1000.0;
        f.cpu = cpuSeconds() - cpuStart;
        f.memory = anonymousMegabytes();

        if (statistics) {
            context->End(statistics.Get());
            D3D11_QUERY_DATA_PIPELINE_STATISTICS data{};
            for (int i = 0; i < 200 && context->GetData(statistics.Get(), &data, sizeof(data), 0) == S_FALSE; ++i)
                Sleep(5);
            if (context->GetData(statistics.Get(), &data, sizeof(data), 0) == S_OK) {
                f.draws = data.IAPrimitives; // one triangle per draw
                f.drawsKnown = true;
            }
        }
        for (std::size_t i = 0; i < video.videoWindows().size(); ++i) {
            UINT count = 0;
            video.videoWindows()[i].swapChain->GetLastPresentCount(&count);
            f.presents.push_back(count - presentsBefore[i]);
        }
        DestroyWindow(host);
    }
    print(covered ? "covered" : windowCount == 1 ? "one" : "two", f);
    libraries->shutdown();
    return 0;
}

int cycles(const std::wstring& clip, bool sharedDevice)
{
    const VideoLibraries* libraries = nullptr;
    if (FAILED(loadVideoLibraries(libraries)) || FAILED(libraries->startup(MF_VERSION, MFSTARTUP_LITE)))
        return 2;
    std::shared_ptr<VideoDevice> device;
    if (sharedDevice && FAILED(VideoDevice::create(device)))
        return 2;
    const int count = std::max(20, _wtoi(environment(L"PELTORINE_BENCH_CYCLES", L"40").c_str()));
    double after10 = 0;
    for (int i = 1; i <= count; ++i) {
        {
            VideoWallpaper video;
            if (device && FAILED(video.createGraphics(device)))
                return 3;
            if (!openToFirstFrame(video, clip))
                return 3;
        }
        if (i == 10)
            after10 = anonymousMegabytes();
        // Printed as it goes: Wine's decoder may fail after many cycles, and what came before counts.
        if (i % 10 == 0) {
            const double now = anonymousMegabytes();
            std::printf("%s opens=%d anon_mb_after_10=%.1f anon_mb=%.1f growth_mb_per_open=%.2f\n",
                        sharedDevice ? "shared" : "cycles", i, after10, now, (now - after10) / (i - 10 > 0 ? i - 10 : 1));
            std::fflush(stdout);
            // Memory that does not stay flat is the finding; the machine need not run out of it.
            if (now - after10 > 2048)
                break;
        }
    }
    libraries->shutdown();
    return 0;
}

// Runs one phase in a child process and returns what it printed.
std::string runPhase(const wchar_t* phase)
{
    wchar_t self[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    std::wstring command = L"\"" + std::wstring(self) + L"\" " + phase;
    SECURITY_ATTRIBUTES inherit{sizeof(inherit), nullptr, TRUE};
    HANDLE readEnd = nullptr, writeEnd = nullptr;
    CreatePipe(&readEnd, &writeEnd, &inherit, 0);
    SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = writeEnd;
    startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
    PROCESS_INFORMATION process{};
    std::string output;
    if (CreateProcessW(nullptr, command.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup, &process)) {
        CloseHandle(writeEnd);
        char buffer[512];
        DWORD read = 0;
        while (ReadFile(readEnd, buffer, sizeof(buffer), &read, nullptr) && read > 0)
            output.append(buffer, read);
        WaitForSingleObject(process.hProcess, INFINITE);
        CloseHandle(process.hThread);
        CloseHandle(process.hProcess);
    } else {
        CloseHandle(writeEnd);
    }
    CloseHandle(readEnd);
    return output;
}

double field(const std::string& line, const char* name)
{
    const std::string key = std::string(" ") + name + "=";
    const std::size_t at = line.find(key);
    return at == std::string::npos ? -1 : std::atof(line.c_str() + at + key.size());
}

} // namespace

int wmain(int argc, wchar_t** argv)
{
    if (FAILED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)))
        return 1;
    const std::wstring clip = environment(L"PELTORINE_BENCH_CLIP", L"");
    int result = 0;
    if (argc >= 2) {
        const std::wstring phase = argv[1];
        if (phase == L"loop")
            result = bareLoop(clip);
        else if (phase == L"one")
            result = wallpaper(clip, 1, false);
        else if (phase == L"two")
            result = wallpaper(clip, 2, false);
        else if (phase == L"covered")
            result = wallpaper(clip, 1, true);
        else if (phase == L"cycles")
            result = cycles(clip, false);
        else if (phase == L"shared")
            result = cycles(clip, true);
        CoUninitialize();
        // Wine 8's Media Engine can crash in its own threads at process exit: leave at once.
        std::fflush(stdout);
        TerminateProcess(GetCurrentProcess(), static_cast<UINT>(result));
        return result;
    }
    if (clip.empty() || GetFileAttributesW(clip.c_str()) == INVALID_FILE_ATTRIBUTES) {
        std::printf("PELTORINE_BENCH_CLIP must name a video (scripts/bench makes one)\n");
        return 1;
    }
    std::printf("Video wallpaper, %d s of a 960x540 30 fps clip; the bare loop ticked every %lu ms, the wallpaper\n"
                "when its next frame is due (goal <= 1.2 ticks per new frame); covered: %d s, no ticks\n",
                timedSeconds(), kTickMs, std::max(1, timedSeconds() / 3));
    std::string lines[6];
    const wchar_t* phases[6] = {L"loop", L"one", L"two", L"covered", L"cycles", L"shared"};
    for (int i = 0; i < 6; ++i) {
        lines[i] = runPhase(phases[i]);
        if (const std::size_t end = lines[i].find_last_of('\n', lines[i].size() >= 2 ? lines[i].size() - 2 : 0);
            i >= 4 && end != std::string::npos && end + 1 < lines[i].size())
            lines[i] = lines[i].substr(end + 1);
        std::printf("  %s", lines[i].empty() ? "(phase failed)\n" : lines[i].c_str());
        std::fflush(stdout);
    }
    const double loopCpu = field(lines[0], "cpu");
    const double loopMemory = field(lines[0], "anon_mb");
    for (int i = 1; i <= 3; ++i) {
        const double cpu = field(lines[i], "cpu");
        const double memory = field(lines[i], "anon_mb");
        const double seconds = field(lines[i], "seconds");
        const double loopSeconds = field(lines[0], "seconds");
        if (cpu < 0 || loopCpu <= 0)
            continue;
        // CPU per second of wall time, so that the shorter covered phase compares fairly.
        std::printf("  %-8s CPU %.2fx the bare loop (goal <= 1.1x), anonymous memory %+.1f MB (goal <= +30 MB)\n",
                    i == 1   ? "one"
                    : i == 2 ? "two"
                             : "covered",
                    (cpu / seconds) / (loopCpu / loopSeconds), memory - loopMemory);
    }
    CoUninitialize();
    return 0;
}
