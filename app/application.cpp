#include "app/application.h"

#include "platform/desktop_wallpaper_connection.h"
#include "platform/known_folder.h"
#include "wallpaper/file_picker.h"

Application::Application(HINSTANCE instance, ApplicationSeams seams) noexcept
    : instance_(instance), seams_(std::move(seams)), system_(*seams_.system), trayIcon_(system_, instance)
{
    startup_.folderOverride = seams_.startupFolder;
}

Application::~Application() = default;

namespace {

HRESULT createDesktopWallpaper(Microsoft::WRL::ComPtr<IDesktopWallpaper>& desktop) noexcept
{
    desktop.Reset();
    return CoCreateInstance(CLSID_DesktopWallpaper, nullptr, CLSCTX_ALL, IID_PPV_ARGS(&desktop));
}

} // namespace

HRESULT Application::createComObjects() noexcept
{
    Microsoft::WRL::ComPtr<IDesktopWallpaper> desktop;
    if (const HRESULT hr = createDesktopWallpaper(desktop); FAILED(hr))
        return hr;
    Microsoft::WRL::ComPtr<IWICImagingFactory> imaging;
    if (const HRESULT hr =
            CoCreateInstance(CLSID_WICImagingFactory2, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&imaging));
        FAILED(hr))
        return hr;
    useComObjects(std::move(desktop), std::move(imaging));
    return S_OK;
}

void Application::useComObjects(Microsoft::WRL::ComPtr<IDesktopWallpaper> desktop,
                                Microsoft::WRL::ComPtr<IWICImagingFactory> imaging) noexcept
{
    // A restarted Explorer disconnects its object: the program goes on with a new one.
    desktopWallpaper_.Reset();
    if (desktop) {
        if (Microsoft::WRL::ComPtr<ReconnectingDesktopWallpaper> reconnecting =
                ReconnectingDesktopWallpaper::create(std::move(desktop), createDesktopWallpaper))
            desktopWallpaper_ = reconnecting.Get();
    }
    imagingFactory_ = std::move(imaging);
}

HRESULT Application::loadSettings() noexcept
{
    std::wstring localAppData;
    if (const HRESULT hr = knownFolderPath(FOLDERID_LocalAppData, localAppData); FAILED(hr))
        return hr;
    return loadSettingsFrom(localAppData);
}

// The engine and the video side are made here, once the settings they keep are known.
HRESULT Application::loadSettingsFrom(const std::wstring& localAppData) noexcept
{
    if (!desktopWallpaper_ || !imagingFactory_)
        return E_POINTER;
    if (const HRESULT hr = settings_.prepare(localAppData); FAILED(hr))
        return hr;
    // Without a stored fit the shell's current one is kept; a failed call leaves the default.
    auto position = static_cast<DESKTOP_WALLPAPER_POSITION>(kDefaultFit);
    const FitMode shellFit =
        SUCCEEDED(desktopWallpaper_->GetPosition(&position)) ? static_cast<FitMode>(position) : kDefaultFit;
    settings_.read(shellFit);

    VideoHostLookup findHost = seams_.findVideoHost;
    if (!findHost)
        findHost = [] { return findDesktopHost(true); };
    video_.reset();
    engine_.reset();
    WallpaperEvents& engineEvents = *this;
    VideoEvents& videoEvents = *this;
    FileCheckRunner& fileChecks = seams_.fileChecks ? *seams_.fileChecks : fileCheckThreads_;
    engine_.emplace(*desktopWallpaper_.Get(), *imagingFactory_.Get(), settings_, engineEvents, &fileChecks, [this] {
        if (const HWND window = fileCheckWindow_.load())
            PostMessageW(window, FileCheckFinishedMessage, 0, 0);
    });
    video_.emplace(*desktopWallpaper_.Get(), *imagingFactory_.Get(), settings_, system_, videoEvents,
                   std::move(findHost), seams_.openVideo);
    // Pictures an earlier run stored and let go of.
    engine_->sweepStoredPictures();
    return S_OK;
}

void Application::updateTimers(bool restartSlideshow) noexcept
{
    const UINT slideshowPeriod = engine_ ? engine_->slideshowPeriod() : 0;
    if (slideshowPeriod == 0) {
        if (armedSlideshowPeriod_ != 0)
            system_.killTimer(controlWindow_.get(), SlideshowTimer);
    } else if (restartSlideshow || slideshowPeriod != armedSlideshowPeriod_) {
        system_.setTimer(controlWindow_.get(), SlideshowTimer, slideshowPeriod);
    }
    armedSlideshowPeriod_ = slideshowPeriod;

    const UINT videoPeriod = video_ ? video_->timerPeriod() : 0;
    if (videoPeriod == 0) {
        if (armedVideoPeriod_ != 0)
            system_.killTimer(controlWindow_.get(), VideoTimer);
    } else if (videoPeriod != armedVideoPeriod_) {
        system_.setTimer(controlWindow_.get(), VideoTimer, videoPeriod);
    }
    armedVideoPeriod_ = videoPeriod;
    // The last video is gone: Media Foundation stops until the next one.
    if (videoPeriod == 0 && video_)
        video_->shutDownWhenIdle();
    followVideoWindows();
}

void Application::shutdown() noexcept
{
    foregroundHook_.reset();
    forgetVideoWindows();
    // The notifications end before the window that receives them.
    unregisterSystemNotifications();
    // A check still running is dropped and its thread waited for, before the window it would wake goes.
    if (engine_)
        engine_->closeFileChecks();
    (seams_.fileChecks ? *seams_.fileChecks : fileCheckThreads_).shutdown();
    fileCheckWindow_ = nullptr;
    // The opening and the playing video go, then Media Foundation.
    if (video_)
        video_->shutdown();
    widget_.destroyWidget();
    trayIcon_.remove();
    controlWindow_.reset();
    armedSlideshowPeriod_ = 0;
    armedVideoPeriod_ = 0;
    // Lets a later start in the same process register it again; the widget's class goes with the widget.
    controlClass_.unregisterClass();
    // The remaining members go with the destructor, in the reverse order of their declaration.
}

void Application::applyFileList(std::vector<std::wstring> paths) noexcept
{
    if (engine_)
        engine_->applyFileList(std::move(paths));
}

void Application::restoreDefaultWallpaper() noexcept
{
    if (!engine_)
        return;
    if (!engine_->defaultUsable()) {
        chooseDefaultWallpaper();
        if (!engine_->defaultUsable())
            return;
    }
    engine_->showDefaultWallpaper();
}
