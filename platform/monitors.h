#pragma once
#include <windows.h>

#include <cstdint>

// One display's work area (virtual-screen pixels, right and bottom exclusive) and its
// effective DPI (96 = 100 %).
struct MonitorMetrics {
    RECT workArea{0, 0, 0, 0};
    std::uint32_t dpi = 96;
};

// A display that cannot be queried gives the primary work area and 96 DPI.
[[nodiscard]] MonitorMetrics getMonitorMetrics(HMONITOR monitor) noexcept;

// A length designed at 96 DPI, in pixels at dpi, rounded to nearest.
[[nodiscard]] inline int scaleForDpi(int value, std::uint32_t dpi) noexcept
{
    return MulDiv(value, static_cast<int>(dpi), 96);
}

// The square of designSize 96-DPI units clamped to the widget's bounds (48..128) at the
// display's scale, placed as near to topLeft as the work area allows and shrunk to its shorter side
// when it does not fit.
[[nodiscard]] RECT fitSquareInWorkArea(const MonitorMetrics& metrics, POINT topLeft, int designSize) noexcept;
