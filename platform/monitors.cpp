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
