// What the widget's face costs: the time to draw it at 128 pixels (twice the size with GDI+,
// reduced bicubically), and proof that presenting it again with the same size and state,
// as a move gesture does on every mouse message, draws nothing and only moves the window.

#include <windows.h>
#include <objbase.h>

#include <algorithm>
#include <cstdio>
#include <vector>

#include "widget/widget_face.h"

namespace {

double millisecondsSince(const LARGE_INTEGER& start)
{
    LARGE_INTEGER now{}, frequency{};
    QueryPerformanceCounter(&now);
    QueryPerformanceFrequency(&frequency);
    return static_cast<double>(now.QuadPart - start.QuadPart) * 1e3 / static_cast<double>(frequency.QuadPart);
}

} // namespace

int main()
{
    if (FAILED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)))
        return 1;
    int status = 0;
    {
        WidgetRenderer renderer;
        constexpr int kEdge = 128;
        constexpr int kRounds = 40;
        std::vector<std::uint32_t> pixels(kEdge * kEdge);
        const SystemColours colours = SystemColours::current();
        // The first draw also starts GDI+ (and loads it).
        LARGE_INTEGER start{};
        QueryPerformanceCounter(&start);
        if (FAILED(renderer.drawFace(kEdge, {}, colours, pixels.data()))) {
            std::printf("could not draw the face\n");
            return 1;
        }
        const double first = millisecondsSince(start);
        std::vector<double> times;
        for (int round = 0; round < kRounds; ++round) {
            const WidgetVisualState state{.focused = (round & 1) != 0, .dropHighlight = (round & 2) != 0};
            QueryPerformanceCounter(&start);
            (void)renderer.drawFace(kEdge, state, colours, pixels.data());
            times.push_back(millisecondsSince(start));
        }
        std::sort(times.begin(), times.end());
        std::printf(
            "face at %d px: first draw (with GDI+ start) %.2f ms, then median %.2f ms, fastest %.2f ms, "
            "slowest %.2f ms over %d draws\n",
            kEdge, first, times[times.size() / 2], times.front(), times.back(), kRounds);

        // A layered window moved 500 times with the same edge and state.
        const HWND window = CreateWindowExW(WS_EX_LAYERED | WS_EX_TOOLWINDOW, L"Static", L"", WS_POPUP, 0, 0, 60, 60,
                                            nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
        const std::uint64_t before = renderer.facesDrawn();
        int presented = 0;
        QueryPerformanceCounter(&start);
        for (int step = 0; step < 500; ++step) {
            const RECT rect{100 + step, 100 + step / 2, 100 + step + kEdge, 100 + step / 2 + kEdge};
            presented += renderer.presentWidget(window, rect, {.focused = true}) ? 1 : 0;
        }
        const double moving = millisecondsSince(start);
        const std::uint64_t drawn = renderer.facesDrawn() - before;
        std::printf(
            "500 presentations at new places, same edge and state: %d shown, %llu faces drawn "
            "(the first one), %.3f ms each\n",
            presented, static_cast<unsigned long long>(drawn), moving / 500);
        RECT same{100, 100, 100 + kEdge, 100 + kEdge};
        (void)renderer.presentWidget(window, same, {.focused = true});
        const std::uint64_t beforeSame = renderer.facesDrawn();
        for (int step = 0; step < 100; ++step)
            (void)renderer.presentWidget(window, same, {.focused = true});
        std::printf("100 presentations of an unchanged widget: %llu faces drawn\n",
                    static_cast<unsigned long long>(renderer.facesDrawn() - beforeSame));
        if (drawn != 1 || renderer.facesDrawn() != beforeSame) {
            std::printf("the face was drawn again without a change of size or state\n");
            status = 1;
        }
        DestroyWindow(window);
    }
    CoUninitialize();
    return status;
}
