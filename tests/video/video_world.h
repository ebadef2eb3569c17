#pragma once
// The video lifecycle in-process, wired to a WallpaperEngine the way the program wires them, over
// the stand-in desktop, a recording clock and a host window of the test's:
//
//     VideoWorld world;
//     world.engine.applyFileList({clipPath(kPatternClip)});
//     world.tick();           // the program's video timer
//     world.system.now += 250; // the clock moves only when the test says so
//
// What the program would tell the user is kept as notification lines (English) and the tooltip
// the widget would show; the video timer's period is the lifecycle's own.
#include <windows.h>
#include <objbase.h>
#include <wincodec.h>
#include <wrl/client.h>

#include <functional>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "common/strings.h"
#include "platform/unique_handle.h"
#include "settings/settings.h"
#include "tests/support/fake_desktop_wallpaper.h"
#include "tests/support/recording_system.h"
#include "tests/support/temp_folder.h"
#include "tests/support/time_once_still.h"
#include "tests/support/wallpaper_world.h"
#include "video/video_lifecycle.h"
#include "wallpaper/wallpaper_engine.h"

class VideoWorld final : private WallpaperEvents, private VideoEvents {
public:
    explicit VideoWorld(VideoOpener opener = {})
        : video(*fake.Get(), *imaging.Get(), settings, system, videoEvents(), [this] { return findHost(); },
                std::move(opener))
    {
        if (FAILED(settings.prepare(folder.path())))
            throw std::runtime_error("settings");
        settings.read(kDefaultFit);
    }
    // A shown video pauses and rests before it goes, as rest() does for a test's own video.
    ~VideoWorld()
    {
        if (video.showing() && SUCCEEDED(video.setUserPaused(true)))
            (void)timeOnceStill([this] { return video.activeTime(); });
        video.shutdown();
    }
    VideoWorld(const VideoWorld&) = delete;
    VideoWorld& operator=(const VideoWorld&) = delete;

    // The program's video timer, once.
    void tick() { video.tick(); }
    // Ticks while a video opens, at most 20 s: the decoder runs on threads of its own, so wall time
    // passes between ticks (the clock seam does not).
    void tickWhileOpening()
    {
        const ULONGLONG end = GetTickCount64() + 20000;
        while (video.opening() && GetTickCount64() < end) {
            tick();
            MSG message{};
            while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE))
                DispatchMessageW(&message);
            Sleep(5);
        }
    }
    std::optional<std::wstring> setting(const wchar_t* key) const
    {
        wchar_t value[512] = {};
        GetPrivateProfileStringW(L"Peltorine", key, L"\x1F", value, 512, settings.settingsPath().c_str());
        return std::wstring(value) == L"\x1F" ? std::nullopt : std::optional<std::wstring>(value);
    }

    OleScope ole;
    TempFolder folder;
    Microsoft::WRL::ComPtr<FakeDesktopWallpaper> fake = FakeDesktopWallpaper::create();
    Microsoft::WRL::ComPtr<IWICImagingFactory> imaging = createImagingFactory();
    Settings settings;
    RecordingSystem system;
    // Where the video windows go; set by the test.
    VideoHostLookup findHost = [] { return VideoHost{}; };
    std::vector<std::wstring> notifications;
    std::wstring tooltip;
    int windowsCreated = 0;
    WallpaperEngine engine{*fake.Get(), *imaging.Get(), settings, wallpaperEvents()};
    VideoLifecycle video;

private:
    WallpaperEvents& wallpaperEvents() { return *this; }
    VideoEvents& videoEvents() { return *this; }

    void notify(const std::wstring& line, HRESULT code)
    {
        tooltip = line;
        notifications.push_back(notificationLine(line, code));
    }
    // The program stops Media Foundation once no video remains.
    void timersChanged() noexcept
    {
        if (video.timerPeriod() == 0)
            video.shutDownWhenIdle();
    }

    void wallpaperNotify(const LocalizedText& text, HRESULT code, std::wstring_view suffix) noexcept override
    {
        notify(std::wstring(text.english) + std::wstring(suffix), code);
    }
    void wallpaperShown(WallpaperMode mode) noexcept override
    {
        tooltip = mode == ModeVideo       ? kVideoTooltip.english
                  : mode == ModeSlideshow ? kSlideshowTooltip.english
                                          : kIdleTooltip.english;
    }
    void slideshowTimerChanged(bool) noexcept override { timersChanged(); }
    void fileListChecking(bool checking) noexcept override
    {
        if (checking)
            tooltip = kOpeningPicturesTooltip.english;
    }
    HRESULT openVideo(const WallpaperState& state, bool restoring, std::optional<COLORREF> background) noexcept override
    {
        const HRESULT hr = video.open(state, restoring, background);
        if (SUCCEEDED(hr))
            tooltip = kOpeningVideoTooltip.english;
        return hr;
    }
    void cancelVideoOpening() noexcept override { video.cancelPending(); }
    bool videoOpening() const noexcept override { return video.opening(); }
    bool videoShown() const noexcept override { return video.showing(); }
    double videoPosition() const noexcept override { return video.activeTime(); }
    HRESULT redrawVideo(FitMode fit, std::optional<COLORREF> background) noexcept override
    {
        return video.redraw(fit, background);
    }
    void showCommittedVideo(bool ready, COLORREF background) noexcept override
    {
        video.showReadyVideo(ready, background);
    }

    HRESULT videoReady(const WallpaperState& state, bool restoring) noexcept override
    {
        return engine.commitState(state, restoring, true);
    }
    HRESULT videoStopped(const std::wstring& framePath) noexcept override
    {
        return engine.replaceVideoWithStill(framePath);
    }
    HRESULT videoFrameChosen(const std::wstring& framePath) noexcept override
    {
        return engine.commitVideoFrame(framePath);
    }
    void videoWindowsCreated() noexcept override { ++windowsCreated; }
    void videoWindowsLost() noexcept override { video.relayout(); }
    void videoTimerChanged() noexcept override { timersChanged(); }
    void videoNotify(const LocalizedText& text, HRESULT code) noexcept override { notify(text.english, code); }
};
