// Turning a list of files into the new wallpaper, and the slideshow's step on every tick.
#include "wallpaper/wallpaper_engine.h"
#include "wallpaper/desktop.h"
#include "wallpaper/file_rules.h"

#include <string>
#include <utility>

void WallpaperEngine::applyFileList(std::vector<std::wstring> paths) noexcept
{
    // A list we cannot take and a video open no file here: decided at once.
    if (!isValidSelection(paths) || isVideo(paths.front())) {
        cancelFileCheck();
        applyCheck(prepareFileList(imaging_, std::move(paths)));
        return;
    }
    if (const HRESULT hr = checker_.start(std::move(paths)); FAILED(hr)) {
        events_.fileListChecking(false);
        events_.wallpaperNotify(kWallpaperChangeFailed, hr);
        return;
    }
    events_.fileListChecking(true);
    // A runner on this thread has the result already.
    takeFileCheck();
}

void WallpaperEngine::takeFileCheck() noexcept
{
    std::optional<FileListCheck> check = checker_.take();
    if (!check)
        return;
    events_.fileListChecking(false);
    applyCheck(std::move(*check));
}

void WallpaperEngine::cancelFileCheck() noexcept
{
    if (!checker_.checking())
        return;
    checker_.cancel();
    events_.fileListChecking(false);
}

void WallpaperEngine::closeFileChecks() noexcept
{
    checker_.close();
}

void WallpaperEngine::applyCheck(FileListCheck check) noexcept
{
    if (FAILED(check.code)) {
        events_.wallpaperNotify(check.message ? *check.message : kWallpaperChangeFailed, check.code,
                                check.messageSuffix);
        return;
    }

    WallpaperState state;
    state.mode = check.mode;
    state.files = std::move(check.paths);
    state.monitor = displayForNextChange();
    state.fit = settings_.fitMode();
    state.index = 0;
    state.interval = settings_.slideshowInterval();
    state.position = 0.0;
    switchToState(std::move(state), false);
}

void WallpaperEngine::advanceSlideshow() noexcept
{
    if (currentState_.mode != ModeSlideshow)
        return;

    const std::uint64_t count = currentState_.files.size();
    HRESULT result = E_UNEXPECTED;
    if (count != 0) {
        // Reduced so that a broken index still ends the loop after one full cycle.
        const std::uint64_t start = currentState_.index % count;
        std::uint64_t shown = start;
        for (;;) {
            currentState_.index = (shown + 1) % count;
            result = applyStillImage(desktop_, currentState_.monitor, currentState_.files[currentState_.index],
                                     currentState_.fit);
            if (SUCCEEDED(result))
                return;
            // A picture that fails is skipped at once; only a whole cycle of failures stops the show.
            shown = currentState_.index;
            if (shown == start)
                break;
        }
    }
    slideshowStopped_ = true;
    events_.slideshowTimerChanged(false);
    events_.wallpaperNotify(kSlideshowFailed, result);
}
