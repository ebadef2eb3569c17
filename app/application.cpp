#include "app/application.h"

thread_local HWND hookTargetWindow = nullptr;

Application::Application(HINSTANCE instance, SystemServices& system) noexcept : instance(instance), system(&system) {}

Application::~Application() = default;

HRESULT Application::createComObjects() noexcept
{
    if (const HRESULT hr =
            CoCreateInstance(CLSID_DesktopWallpaper, nullptr, CLSCTX_ALL, IID_PPV_ARGS(&desktopWallpaper));
        FAILED(hr))
        return hr;
    return CoCreateInstance(CLSID_WICImagingFactory2, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&imagingFactory));
}

const wchar_t* Application::fitName(FitMode fit) const noexcept
{
    if (fit < FitCenter || fit > FitSpan)
        fit = kDefaultFit;
    return text(kFitNames[fit]);
}

void Application::shutdown() noexcept
{
    if (foregroundHook) {
        UnhookWinEvent(foregroundHook);
        foregroundHook = nullptr;
    }
    if (hookTargetWindow == controlWindow)
        hookTargetWindow = nullptr;
    cancelPendingVideo();
    destroyWidget();
    removeTrayIcon();
    if (trayIcon) {
        DestroyIcon(trayIcon);
        trayIcon = nullptr;
    }
    if (controlWindow && IsWindow(controlWindow))
        DestroyWindow(controlWindow);
    controlWindow = nullptr;
    // Lets a later start in the same process register them again.
    UnregisterClassW(kWidgetWindowClass, instance);
    UnregisterClassW(kControlWindowClass, instance);
    // The remaining members go with the destructor, in the reverse order of their declaration.
}
