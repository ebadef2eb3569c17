// Menu commands. A setting is written first and changed in memory only when the file took
// it, so the settings file and the running state never disagree after a command.
#include "app/application.h"
#include "tray/menu_model.h"
#include "wallpaper/file_picker.h"

#include <string>

namespace {

template <typename T, std::size_t N>
bool inTable(UINT command, UINT first, const T (&)[N]) noexcept
{
    return command >= first && command < first + N;
}

void toggleStartWithWindows(Application& app) noexcept
{
    std::wstring shortcutPath;
    bool exists = false;
    HRESULT hr = app.startup.checkStartupShortcut(shortcutPath, exists);
    if (SUCCEEDED(hr))
        hr = app.startup.setStartWithWindows(shortcutPath, !exists);
    if (FAILED(hr))
        app.showNotification(app.text(kStartupChangeFailed), hr);
}

void switchLanguage(Application& app, std::uint32_t language) noexcept
{
    if (language == app.settings.language)
        return;
    // A failed write is reported in the language still in use.
    if (!app.writeSetting(L"Language", language == kVietnamese ? L"vi" : L"en"))
        return;
    app.settings.language = language;
    // With video playback: while a video is being opened (pendingVideo), the tooltip is
    // "Peltorine · Opening video…" in the new language instead.
    app.showStateTooltip(app.currentState.mode);
}

void changeInterval(Application& app, std::int32_t seconds) noexcept
{
    if (!app.writeSetting(L"Interval", std::to_wstring(seconds)))
        return;
    app.settings.slideshowInterval = seconds;
    if (app.currentState.mode == ModeSlideshow) {
        app.currentState.interval = seconds;
        // Arming again restarts the period: the next picture comes a full interval from now.
        app.updateTimers(true);
    }
}

void changeWidgetSize(Application& app, std::int32_t size) noexcept
{
    if (!app.writeSetting(L"WidgetSize", std::to_wstring(size)))
        return;
    app.settings.widgetSize = size;
    app.layoutWidget();
}

void moveWidgetToCorner(Application& app) noexcept
{
    if (!app.writeSetting(L"WidgetPosition", L"default"))
        return;
    app.settings.widgetPositionSet = false;
    app.layoutWidget();
}

// Applies to the next change; what is shown now stays where it is.
void chooseDisplay(Application& app, const std::wstring& monitorId) noexcept
{
    if (app.writeSetting(L"Monitor", monitorId))
        app.settings.targetMonitor = monitorId;
}

void chooseWallpaper(Application& app) noexcept
{
    std::vector<std::wstring> files = app.chooseFilesFunction(app.controlWindow.get(), false, app.settings.language);
    if (!files.empty())
        app.applyFileList(std::move(files));
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
        undoLastChange();
        return;
    case kCommandChooseWallpaper:
        chooseWallpaper(*this);
        return;
    case kCommandUseVideoFrame:
        useCurrentFrame();
        return;
    case kCommandExit:
        PostQuitMessage(0);
        return;
    case kCommandMoveToCorner:
        moveWidgetToCorner(*this);
        return;
    case kCommandStartWithWindows:
        toggleStartWithWindows(*this);
        return;
    case kCommandEnglish:
    case kCommandVietnamese:
        switchLanguage(*this, command == kCommandVietnamese ? kVietnamese : kEnglish);
        return;
    case kCommandAllDisplays:
        chooseDisplay(*this, L"");
        return;
    default:
        break;
    }

    if (inTable(command, kCommandFirstInterval, kAllowedIntervals))
        changeInterval(*this, kAllowedIntervals[command - kCommandFirstInterval]);
    else if (inTable(command, kCommandFirstFit, kMenuFitOrder))
        setFit(static_cast<FitMode>(command - kCommandFirstFit));
    else if (inTable(command, kCommandFirstWidgetSize, kWidgetSizes))
        changeWidgetSize(*this, kWidgetSizes[command - kCommandFirstWidgetSize]);
    else if (command >= kCommandFirstDisplay && command - kCommandFirstDisplay < displays.size())
        chooseDisplay(*this, displays[command - kCommandFirstDisplay].monitorId);
    // Anything else, a display beyond the list the menu showed among them, does nothing.
}
