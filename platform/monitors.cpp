#include "platform/monitors.h"

#include <shellscalingapi.h>

MonitorMetrics getMonitorMetrics(HMONITOR monitor) noexcept
{
    MonitorMetrics metrics;
    MONITORINFO info{};
    info.cbSize = sizeof(info);
    if (GetMonitorInfoW(monitor, &info)) {
        metrics.workArea = info.rcWork;
        UINT dpiX = 0;
        UINT dpiY = 0;
        if (SUCCEEDED(GetDpiForMonitor(monitor, MDT_EFFECTIVE_DPI, &dpiX, &dpiY)) && dpiX != 0)
            metrics.dpi = dpiX;
        return metrics;
    }
    // The display has just gone away, for instance: fall back to the primary one.
    RECT workArea{};
    if (SystemParametersInfoW(SPI_GETWORKAREA, 0, &workArea, 0))
        metrics.workArea = workArea;
    return metrics;
}

namespace {
// The widget's edge bounds in 96-DPI units.
constexpr int kSmallestSquare = 48;
constexpr int kLargestSquare = 128;
} // namespace

RECT fitSquareInWorkArea(const MonitorMetrics& metrics, POINT topLeft, int designSize) noexcept
{
    const RECT& area = metrics.workArea;
    const int size = designSize < kSmallestSquare  ? kSmallestSquare
                     : designSize > kLargestSquare ? kLargestSquare
                                                   : designSize;
    int edge = scaleForDpi(size, metrics.dpi);
    const int width = area.right - area.left;
    const int height = area.bottom - area.top;
    if (edge > width)
        edge = width;
    if (edge > height)
        edge = height;
    if (edge < 1)
        edge = 1;
    const int maxX = area.right - edge > area.left ? area.right - edge : area.left;
    const int maxY = area.bottom - edge > area.top ? area.bottom - edge : area.top;
    const int x = topLeft.x < area.left ? area.left : topLeft.x > maxX ? maxX : topLeft.x;
    const int y = topLeft.y < area.top ? area.top : topLeft.y > maxY ? maxY : topLeft.y;
    return RECT{x, y, x + edge, y + edge};
}
