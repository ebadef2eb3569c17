#include "app/application.h"

#include "platform/known_folder.h"

Application::Application(HINSTANCE instance, SystemServices& system) noexcept
    : instance(instance), system(&system), trayIcon(system, instance)
{
}

Application::~Application() = default;

HRESULT Application::createComObjects() noexcept
{
    if (const HRESULT hr =
            CoCreateInstance(CLSID_DesktopWallpaper, nullptr, CLSCTX_ALL, IID_PPV_ARGS(&desktopWallpaper));
        FAILED(hr))
        return hr;
    return CoCreateInstance(CLSID_WICImagingFactory2, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&imagingFactory));
}

HRESULT Application::loadSettings() noexcept
{
    std::wstring localAppData;
    if (const HRESULT hr = knownFolderPath(FOLDERID_LocalAppData, localAppData); FAILED(hr))
        return hr;
    return loadSettingsFrom(localAppData);
}

HRESULT Application::loadSettingsFrom(const std::wstring& localAppData) noexcept
{
    if (const HRESULT hr = prepareSettingsFile(settings, localAppData); FAILED(hr))
        return hr;
    // Without a stored fit the shell's current one is kept; a failed call leaves the default.
    FitMode shellFit = settings.fitMode;
    if (desktopWallpaper) {
        auto position = static_cast<DESKTOP_WALLPAPER_POSITION>(shellFit);
        if (SUCCEEDED(desktopWallpaper->GetPosition(&position)))
            shellFit = static_cast<FitMode>(position);
    }
    readSettings(settings, shellFit);
    return S_OK;
}

bool Application::writeSetting(const wchar_t* key, const std::wstring& value) noexcept
{
    if (const HRESULT hr = ::writeSetting(settings, key, value); FAILED(hr)) {
        showNotification(text(kSettingsSaveFailed), hr);
        return false;
    }
    return true;
}

const wchar_t* Application::fitName(FitMode fit) const noexcept
{
    if (fit < FitCenter || fit > FitSpan)
        fit = kDefaultFit;
    return text(kFitNames[fit]);
}

void Application::updateTimers(bool restartSlideshow) noexcept
{
    const UINT slideshowPeriod =
        currentState.mode == ModeSlideshow && !slideshowStopped ? static_cast<UINT>(currentState.interval) * 1000u : 0;
    if (slideshowPeriod == 0) {
        if (armedSlideshowPeriod != 0)
            system->killTimer(controlWindow.get(), SlideshowTimer);
    } else if (restartSlideshow || slideshowPeriod != armedSlideshowPeriod) {
        system->setTimer(controlWindow.get(), SlideshowTimer, slideshowPeriod);
    }
    armedSlideshowPeriod = slideshowPeriod;

    const UINT videoPeriod = videoTimerPeriod();
    if (videoPeriod == 0) {
        if (armedVideoPeriod != 0)
            system->killTimer(controlWindow.get(), VideoTimer);
    } else if (videoPeriod != armedVideoPeriod) {
        system->setTimer(controlWindow.get(), VideoTimer, videoPeriod);
    }
    armedVideoPeriod = videoPeriod;
    // The last video is gone: Media Foundation stops until the next one.
    if (videoPeriod == 0)
        video.shutDownWhenIdle();
}

void Application::shutdown() noexcept
{
    foregroundHook.reset();
    // The opening and the playing video go, then Media Foundation.
    video.shutdown();
    destroyWidget();
    trayIcon.remove();
    controlWindow.reset();
    armedSlideshowPeriod = 0;
    armedVideoPeriod = 0;
    // Lets a later start in the same process register it again; the widget's class goes with the widget.
    UnregisterClassW(kControlWindowClass, instance);
    // The remaining members go with the destructor, in the reverse order of their declaration.
}
