// Menu commands. A setting is written first and changed in memory only when the file took
// it, so the settings file and the running state never disagree after a command.
#include "app/application.h"
#include "settings/default_store.h"
#include "tray/context_menu.h"
#include "tray/menu_model.h"
#include "wallpaper/desktop.h"
#include "wallpaper/file_picker.h"

#include <string>

namespace {

template <typename T, std::size_t N>
bool inTable(UINT command, UINT first, const T (&)[N]) noexcept
{
    return command >= first && command < first + N;
}

} // namespace

void Application::executeCommand(UINT command, const std::vector<DisplayWallpaper>& displays) noexcept
{
    switch (command) {
    case kCommandChooseDefault:
        chooseDefaultWallpaper();
        return;
    case kCommandRestoreDefault:
        restoreDefaultWallpaper();
        return;
    case kCommandUndo:
        engine_->undoLastChange();
        return;
    case kCommandChooseWallpaper:
        chooseWallpaper();
        return;
    case kCommandUseVideoFrame:
        video_->useCurrentFrame();
        return;
    case kCommandExit:
        PostQuitMessage(0);
        return;
    case kCommandMoveToCorner:
        moveWidgetToCorner();
        return;
    case kCommandStartWithWindows:
        toggleStartWithWindows();
        return;
    case kCommandEnglish:
    case kCommandVietnamese:
        switchLanguage(command == kCommandVietnamese ? kVietnamese : kEnglish);
        return;
    case kCommandAllDisplays:
        chooseDisplay(L"");
        return;
    default:
        break;
    }

    if (inTable(command, kCommandFirstInterval, kAllowedIntervals))
        engine_->setSlideshowInterval(kAllowedIntervals[command - kCommandFirstInterval]);
    else if (inTable(command, kCommandFirstFit, kMenuFitOrder))
        engine_->setFit(static_cast<FitMode>(command - kCommandFirstFit));
    else if (inTable(command, kCommandFirstWidgetSize, kWidgetSizes))
        changeWidgetSize(kWidgetSizes[command - kCommandFirstWidgetSize]);
    else if (command >= kCommandFirstDisplay && command - kCommandFirstDisplay < displays.size())
        chooseDisplay(displays[command - kCommandFirstDisplay].monitorId);
    // Anything else, a display beyond the list the menu showed among them, does nothing.
}

void Application::showContextMenu(POINT point) noexcept
{
    // Command 101 + i means the display the user saw as entry i, so the same list goes to the command.
    std::vector<DisplayWallpaper> displays;
    MenuState state;
    try {
        displays = listDisplays(*desktopWallpaper_.Get());
        state.language = settings_.language();
        state.fitMode = settings_.fitMode();
        state.slideshowInterval = settings_.slideshowInterval();
        state.targetMonitor = settings_.targetMonitor();
        state.widgetSize = settings_.widgetSize();
        const WallpaperState& current = engine_->currentState();
        state.currentMode = current.mode;
        state.currentFit = current.fit;
        state.currentMonitor = current.monitor;
    } catch (...) {
        return;
    }
    state.undoAvailable = engine_->undoEntry().has_value();
    state.videoActive = video_->showing();
    std::wstring shortcutPath;
    state.startupKnown = SUCCEEDED(startup_.checkStartupShortcut(shortcutPath, state.startupExists));

    const UINT command = trackContextMenu(controlWindow_.get(), point, std::move(state), displays,
                                          imagingFactory_.Get(), seams_.resources ? seams_.resources : instance_,
                                          highContrast_);
    if (command != 0)
        executeCommand(command, displays);
}

void Application::toggleStartWithWindows() noexcept
{
    std::wstring shortcutPath;
    bool exists = false;
    HRESULT hr = startup_.checkStartupShortcut(shortcutPath, exists);
    if (SUCCEEDED(hr))
        hr = startup_.setStartWithWindows(shortcutPath, !exists);
    if (FAILED(hr))
        showNotification(text(kStartupChangeFailed), hr);
}

void Application::switchLanguage(std::uint32_t language) noexcept
{
    if (language == settings_.language())
        return;
    // A failed write is reported in the language still in use.
    if (const HRESULT hr = settings_.setLanguage(language); FAILED(hr)) {
        reportSettingsResult(hr);
        return;
    }
    showStatusTooltip();
}

void Application::changeWidgetSize(std::int32_t size) noexcept
{
    if (const HRESULT hr = settings_.setWidgetSize(size); FAILED(hr)) {
        reportSettingsResult(hr);
        return;
    }
    layoutWidget();
}

void Application::moveWidgetToCorner() noexcept
{
    if (const HRESULT hr = settings_.resetWidgetPosition(); FAILED(hr)) {
        reportSettingsResult(hr);
        return;
    }
    layoutWidget();
}

// Applies to the next change; what is shown now stays where it is.
void Application::chooseDisplay(const std::wstring& monitorId) noexcept
{
    reportSettingsResult(settings_.setTargetMonitor(monitorId));
}

std::vector<std::wstring> Application::askForFiles(bool forDefault) noexcept
{
    try {
        if (seams_.chooseFiles)
            return seams_.chooseFiles(controlWindow_.get(), forDefault, settings_.language());
        return chooseFiles(controlWindow_.get(), forDefault, settings_.language());
    } catch (...) {
        return {};
    }
}

void Application::chooseWallpaper() noexcept
{
    std::vector<std::wstring> files = askForFiles(false);
    if (!files.empty())
        applyFileList(std::move(files));
}

void Application::chooseDefaultWallpaper() noexcept
{
    const std::vector<std::wstring> chosen = askForFiles(true);
    if (chosen.empty())
        return;
    const DefaultStoreResult stored = storeDefaultWallpaper(settings_, imagingFactory_.Get(), chosen.front());
    // The previous default's copy goes unless something still shows it.
    if (SUCCEEDED(stored.code))
        engine_->releaseUnusedPictures();
    if (stored.settingsFailed)
        reportSettingsResult(stored.code);
    else
        showNotification(text(SUCCEEDED(stored.code) ? kDefaultSaved : kDefaultSaveFailed), stored.code);
}

void Application::reportSettingsResult(HRESULT code) noexcept
{
    if (FAILED(code))
        showNotification(text(kSettingsSaveFailed), code);
}
