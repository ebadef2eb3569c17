// Turning a list of files into the new wallpaper, and the slideshow's step on every tick.
#include "app/application.h"
#include "wallpaper/desktop.h"
#include "wallpaper/file_rules.h"

#include <string>
#include <utility>

std::wstring Application::displayForNextChange() const
{
    return ::displayForNextChange(settings.fitMode, settings.targetMonitor);
}

void Application::applyFileList(std::vector<std::wstring> paths) noexcept
{
    if (!imagingFactory) {
        showNotification(text(kWallpaperChangeFailed), E_POINTER);
        return;
    }
    FileListCheck check = prepareFileList(*imagingFactory.Get(), std::move(paths));
    if (FAILED(check.code)) {
        std::wstring message = text(check.message ? *check.message : kWallpaperChangeFailed);
        message += check.messageSuffix;
        showNotification(message, check.code);
        return;
    }

    WallpaperState state;
    state.mode = check.mode;
    state.files = std::move(check.paths);
    state.monitor = displayForNextChange();
    state.fit = settings.fitMode;
    state.index = 0;
    state.interval = settings.slideshowInterval;
    state.position = 0.0;
    switchToState(std::move(state), false);
}

void Application::advanceSlideshow() noexcept
{
    if (currentState.mode != ModeSlideshow)
        return;

    const std::uint64_t count = currentState.files.size();
    HRESULT result = E_UNEXPECTED;
    if (count != 0 && desktopWallpaper) {
        // Reduced so that a broken index still ends the loop after one full cycle.
        const std::uint64_t start = currentState.index % count;
        std::uint64_t shown = start;
        for (;;) {
            currentState.index = (shown + 1) % count;
            result = applyStillImage(*desktopWallpaper.Get(), currentState.monitor,
                                     currentState.files[currentState.index], currentState.fit);
            if (SUCCEEDED(result))
                return;
            // A picture that fails is skipped at once; only a whole cycle of failures stops the show.
            shown = currentState.index;
            if (shown == start)
                break;
        }
    }
    slideshowStopped = true;
    updateTimers();
    showNotification(text(kSlideshowFailed), result);
}
