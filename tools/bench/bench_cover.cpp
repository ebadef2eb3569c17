// The windows a user puts over a live wallpaper, and what the screen shows of the video, for
// scripts/bench's measurement of the whole program:
//
//     peltorine_bench_cover.exe cover            covers the primary display with a full-screen window
//                                                and a small focused window on top of it, then waits
//                                                until killed or until told to uncover; after
//                                                uncovering it prints the milliseconds until the
//                                                video's next picture reaches the screen
//     peltorine_bench_cover.exe uncover          tells the covering copy to uncover
//     peltorine_bench_cover.exe frames SECONDS   counts the new pictures the screen shows over SECONDS
//
// Wine sends window events only for creation, so after showing or hiding its windows the
// helper sends the ones Windows would (EVENT_OBJECT_SHOW, EVENT_SYSTEM_FOREGROUND,
// EVENT_OBJECT_HIDE) itself.
//
// Pictures are told apart by a hash of a block of the primary display, read from the screen's
// device context: the block where the bench clip shows its running time and frame number, which
// every new frame changes.
#include <windows.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cwchar>
#include <vector>

namespace {

constexpr wchar_t kUncoverEvent[] = L"Local\\PeltorineBenchCover.Uncover";
constexpr wchar_t kCoverClass[] = L"PeltorineBenchCover";
constexpr wchar_t kFocusClass[] = L"PeltorineBenchCoverFocus";
// The cover's colour, which no picture of the test pattern fills a block with.
constexpr COLORREF kCoverColour = RGB(255, 0, 255);
// The top-left corner of the primary display, where the bench clip, filling a 16:9 display, shows
// its running time and frame number.
constexpr int kBlockWidth = 200;
constexpr int kBlockHeight = 72;
constexpr DWORD kUncoverTimeoutMs = 5000;

double nowMs()
{
    static const LONGLONG frequency = [] {
        LARGE_INTEGER value{};
        QueryPerformanceFrequency(&value);
        return value.QuadPart;
    }();
    LARGE_INTEGER counter{};
    QueryPerformanceCounter(&counter);
    return static_cast<double>(counter.QuadPart) * 1000.0 / static_cast<double>(frequency);
}

// A block of the screen, read into a bitmap of our own.
class ScreenBlock {
public:
    ScreenBlock()
    {
        screen_ = GetDC(nullptr);
        memory_ = CreateCompatibleDC(screen_);
        BITMAPINFO info{};
        info.bmiHeader.biSize = sizeof(info.bmiHeader);
        info.bmiHeader.biWidth = kBlockWidth;
        info.bmiHeader.biHeight = -kBlockHeight;
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 32;
        info.bmiHeader.biCompression = BI_RGB;
        bitmap_ = CreateDIBSection(memory_, &info, DIB_RGB_COLORS, reinterpret_cast<void**>(&pixels_), nullptr, 0);
        old_ = SelectObject(memory_, bitmap_);
    }
    ~ScreenBlock()
    {
        SelectObject(memory_, old_);
        DeleteObject(bitmap_);
        DeleteDC(memory_);
        ReleaseDC(nullptr, screen_);
    }
    ScreenBlock(const ScreenBlock&) = delete;
    ScreenBlock& operator=(const ScreenBlock&) = delete;

    bool valid() const { return screen_ && memory_ && bitmap_ && pixels_; }

    // Reads the block; false when the screen could not be read.
    bool read()
    {
        if (!BitBlt(memory_, 0, 0, kBlockWidth, kBlockHeight, screen_, left_, top_, SRCCOPY))
            return false;
        GdiFlush();
        return true;
    }

    std::uint64_t hash() const
    {
        std::uint64_t value = 14695981039346656037ull;
        for (int i = 0; i < kBlockWidth * kBlockHeight; ++i) {
            value ^= pixels_[i] & 0x00FFFFFFu;
            value *= 1099511628211ull;
        }
        return value;
    }

    // The share of the block's pixels that have this colour.
    double shareOf(COLORREF colour) const
    {
        const std::uint32_t wanted = (GetRValue(colour) << 16) | (GetGValue(colour) << 8) | GetBValue(colour);
        int count = 0;
        for (int i = 0; i < kBlockWidth * kBlockHeight; ++i)
            count += (pixels_[i] & 0x00FFFFFFu) == wanted;
        return static_cast<double>(count) / (kBlockWidth * kBlockHeight);
    }

private:
    int left_ = 2;
    int top_ = 2;
    HDC screen_ = nullptr;
    HDC memory_ = nullptr;
    HBITMAP bitmap_ = nullptr;
    HGDIOBJ old_ = nullptr;
    std::uint32_t* pixels_ = nullptr;
};

LRESULT CALLBACK coverProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) noexcept
{
    if (message == WM_CLOSE)
        return 0; // stays until it is told to go
    if (message == WM_MOUSEACTIVATE)
        return MA_NOACTIVATE;
    return DefWindowProcW(window, message, wParam, lParam);
}

LRESULT CALLBACK focusProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) noexcept
{
    if (message == WM_CLOSE)
        return 0;
    return DefWindowProcW(window, message, wParam, lParam);
}

void pumpMessages()
{
    MSG message{};
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
}

// Waits for the event while the windows go on answering their messages.
bool waitPumping(HANDLE event)
{
    for (;;) {
        const DWORD result = MsgWaitForMultipleObjects(1, &event, FALSE, INFINITE, QS_ALLINPUT);
        if (result == WAIT_OBJECT_0)
            return true;
        if (result == WAIT_FAILED)
            return false;
        pumpMessages();
    }
}

void announce(DWORD event, HWND window)
{
    NotifyWinEvent(event, window, OBJID_WINDOW, CHILDID_SELF);
}

int cover(HINSTANCE instance)
{
    const HANDLE uncover = CreateEventW(nullptr, TRUE, FALSE, kUncoverEvent);
    if (!uncover) {
        std::fwprintf(stderr, L"peltorine_bench_cover: cannot create the uncover event (%lu)\n", GetLastError());
        return 1;
    }
    WNDCLASSW coverClass{};
    coverClass.lpfnWndProc = coverProcedure;
    coverClass.hInstance = instance;
    coverClass.hbrBackground = CreateSolidBrush(kCoverColour);
    coverClass.lpszClassName = kCoverClass;
    WNDCLASSW focusClass{};
    focusClass.lpfnWndProc = focusProcedure;
    focusClass.hInstance = instance;
    focusClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    focusClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    focusClass.lpszClassName = kFocusClass;
    if (!RegisterClassW(&coverClass) || !RegisterClassW(&focusClass))
        return 1;

    const int width = GetSystemMetrics(SM_CXSCREEN);
    const int height = GetSystemMetrics(SM_CYSCREEN);
    // The full-screen window never takes the focus: the small one in front of it has it.
    const HWND full = CreateWindowExW(WS_EX_NOACTIVATE, kCoverClass, L"Peltorine bench cover", WS_POPUP, 0, 0, width,
                                      height, nullptr, nullptr, instance, nullptr);
    const HWND focus = CreateWindowExW(0, kFocusClass, L"Peltorine bench focus", WS_OVERLAPPEDWINDOW, 600, 300, 360,
                                       220, nullptr, nullptr, instance, nullptr);
    if (!full || !focus)
        return 1;
    ShowWindow(full, SW_SHOWNOACTIVATE);
    UpdateWindow(full);
    announce(EVENT_OBJECT_SHOW, full);
    ShowWindow(focus, SW_SHOW);
    SetForegroundWindow(focus);
    SetFocus(focus);
    UpdateWindow(focus);
    announce(EVENT_OBJECT_SHOW, focus);
    announce(EVENT_SYSTEM_FOREGROUND, focus);
    std::wprintf(L"covered\n");
    std::fflush(stdout);

    if (!waitPumping(uncover))
        return 1;

    ScreenBlock block;
    if (!block.valid())
        return 1;
    ShowWindow(focus, SW_HIDE);
    ShowWindow(full, SW_HIDE);
    const double uncovered = nowMs();
    announce(EVENT_OBJECT_HIDE, focus);
    announce(EVENT_OBJECT_HIDE, full);

    // Right after the windows go, the screen shows the picture the video stopped on (or, for a
    // moment, what the cover left); the next different picture is the first frame played since.
    double restored = -1;
    std::uint64_t stopped = 0;
    int exitCode = 1;
    for (const double deadline = uncovered + kUncoverTimeoutMs; nowMs() < deadline;) {
        pumpMessages();
        if (block.read() && block.shareOf(kCoverColour) < 0.5) {
            const std::uint64_t value = block.hash();
            if (restored < 0) {
                restored = nowMs() - uncovered;
                stopped = value;
            } else if (value != stopped) {
                std::wprintf(L"uncovered: the stopped picture showed after %.1f ms, the next frame after %.1f ms\n",
                             restored, nowMs() - uncovered);
                exitCode = 0;
                break;
            }
        }
        Sleep(1);
    }
    if (exitCode != 0)
        std::wprintf(L"uncovered: no new frame within %lu ms\n", kUncoverTimeoutMs);
    std::fflush(stdout);
    DestroyWindow(focus);
    DestroyWindow(full);
    return exitCode;
}

int tellUncover()
{
    const HANDLE uncover = OpenEventW(EVENT_MODIFY_STATE, FALSE, kUncoverEvent);
    if (!uncover) {
        std::fwprintf(stderr, L"peltorine_bench_cover: no covering copy runs\n");
        return 2;
    }
    SetEvent(uncover);
    CloseHandle(uncover);
    return 0;
}

// New pictures on the screen over a time, read about every 5 ms.
int countFrames(double seconds)
{
    ScreenBlock block;
    if (!block.valid())
        return 1;
    const double start = nowMs();
    const double end = start + seconds * 1000.0;
    std::uint64_t last = 0;
    bool first = true;
    long changes = 0;
    long reads = 0;
    while (nowMs() < end) {
        if (block.read()) {
            ++reads;
            const std::uint64_t value = block.hash();
            if (!first && value != last)
                ++changes;
            last = value;
            first = false;
        }
        Sleep(5);
    }
    std::wprintf(L"frames %ld seconds %.2f reads %ld\n", changes, (nowMs() - start) / 1000.0, reads);
    return 0;
}

} // namespace

int wmain(int argc, wchar_t** argv)
{
    if (argc >= 2 && std::wcscmp(argv[1], L"cover") == 0)
        return cover(GetModuleHandleW(nullptr));
    if (argc >= 2 && std::wcscmp(argv[1], L"uncover") == 0)
        return tellUncover();
    if (argc >= 3 && std::wcscmp(argv[1], L"frames") == 0)
        return countFrames(std::wcstod(argv[2], nullptr));
    std::fwprintf(stderr, L"usage: peltorine_bench_cover.exe cover | uncover | frames SECONDS\n");
    return 2;
}
