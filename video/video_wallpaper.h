#pragma once
// One video wallpaper: the Media Engine that decodes an H.264 MP4 into a Direct3D 11 texture,
// the graphics device and the tiny shader that draws the frame with a fit mode, and one
// window per display behind the desktop icons. Used on the user-interface thread only; the
// Media Engine's threads reach only the MediaEvents sink and, through the DXGI device
// manager, the device. Direct3D and Media Foundation headers stay inside video/.
#include <windows.h>
#include <d3d11.h>
#include <dxgi.h>
#include <wincodec.h>
#include <wrl/client.h>

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/system_services.h"
#include "platform/unique_handle.h"
#include "platform/window_class.h"
#include "video/media_events.h"
#include "video/media_foundation.h"
#include "video/video_device.h"
#include "video/video_host.h"
#include "wallpaper/desktop_snapshot.h"

// Once playback has been asked for, the first frame (or the engine's word that it plays) must
// come within this time of the clock; otherwise the engine is taken as stalled, as one that
// cannot play its file's sound on a machine without a sound output does.
inline constexpr std::uint64_t kPlaybackStartTimeoutMs = 5000;
inline constexpr HRESULT kPlaybackStalled = static_cast<HRESULT>(0x800705B4); // HRESULT_FROM_WIN32(ERROR_TIMEOUT)
// Frames closer together than this (250 a second) are taken as this far apart.
inline constexpr UINT kShortestFrameWaitMs = 4;
// The longest wait for a new frame: a video of fewer than 20 frames a second is looked at more
// often than it has frames. It also bounds a frame interval taken from frames that came far apart
// (the decoder late at the start, or a wait of the program's), which only shorter steps correct.
inline constexpr UINT kLongestFrameWaitMs = 50;

// One window per target display, in the order of the display list. The members go in the
// reverse of their order: the view (it holds the swap chain's back buffer), the swap chain,
// then the window.
struct VideoWindow {
    UniqueWindow window;
    RECT screenRect{0, 0, 0, 0}; // the display, in virtual-screen pixels
    bool hidden = false;         // other windows cover it: it is neither drawn nor presented
    Microsoft::WRL::ComPtr<IDXGISwapChain> swapChain;
    Microsoft::WRL::ComPtr<ID3D11RenderTargetView> targetView;
};

class VideoWallpaper {
public:
    VideoWallpaper() noexcept = default;
    ~VideoWallpaper();
    VideoWallpaper(const VideoWallpaper&) = delete;
    VideoWallpaper& operator=(const VideoWallpaper&) = delete;

    // Playback. Without a device lent through createGraphics, open takes the one videos of this
    // process use, or a new one.
    [[nodiscard]] HRESULT open(const std::wstring& path, double startPosition) noexcept;
    // An engine made elsewhere, with its notification sink (the tests' stand-in): the graphics,
    // silence and loop as open gives them, without a source.
    [[nodiscard]] HRESULT openEngine(Microsoft::WRL::ComPtr<IMFMediaEngine> madeEngine,
                                     Microsoft::WRL::ComPtr<MediaEvents> sink, double startPosition) noexcept;
    // The clock of the start's stall check; the system's unless a test hands in its own.
    void useClock(SystemServices& system) noexcept { clock = &system; }
    // S_OK: a new frame is in frameTexture; S_FALSE: nothing new to draw; negative: failure
    // (kPlaybackStalled: no first frame within kPlaybackStartTimeoutMs of the start).
    [[nodiscard]] HRESULT pumpFrame() noexcept;
    // How long to wait before looking for a new frame, in ms, after a look that found one
    // (newFrame) or none: the video's frame interval after a new frame, a quarter of it after
    // none. `fallback` until two frames have given the frame interval (the shortest step between
    // their presentation times). Wall time, not the engine's clock, which some engines move only
    // with the frames they show.
    [[nodiscard]] UINT frameWaitMs(UINT fallback, bool newFrame) const noexcept;
    // Without an engine (let go of) nothing plays: a pause succeeds, playing needs reopenEngine.
    [[nodiscard]] HRESULT setPaused(bool paused) noexcept;
    // The playing position in seconds; where playback stopped once the engine was let go of.
    [[nodiscard]] double currentTime() const noexcept;
    // A video paused for long lets its engine and the decoding's texture go; the windows keep
    // the last frame, which can still be drawn again and saved.
    void releaseEngine() noexcept;
    // A new engine for the same file, at the position playback stopped at (from the start where
    // the engine cannot seek); it plays once it has a frame. Until then the old frame stays.
    [[nodiscard]] HRESULT reopenEngine() noexcept;
    [[nodiscard]] bool engineReleased() const noexcept { return !engine && !sourcePath.empty(); }

    // Drawing: with shared, the video decodes into and draws with that device; without, with the
    // device other videos of the process use, or a new one.
    [[nodiscard]] HRESULT createGraphics(std::shared_ptr<VideoDevice> shared = {}) noexcept;
    [[nodiscard]] HRESULT render(FitMode fitMode, COLORREF background) noexcept;

    // Windows behind the desktop icons. findHost is asked for the shell's host window each time
    // the windows are built, because the shell may have recreated it.
    [[nodiscard]] HRESULT createWindows(const std::vector<RECT>& displays, const VideoHostLookup& findHost) noexcept;
    void destroyWindows() noexcept;
    void showWindows() noexcept;
    [[nodiscard]] bool windowsAlive() const noexcept;
    // Marks the window of one display hidden (render passes it by) or visible again.
    void setWindowHidden(std::size_t index, bool hidden) noexcept;

    // Frame capture: the frame last transferred, at the video's native size, as a PNG file.
    [[nodiscard]] HRESULT saveFramePng(IWICImagingFactory* imagingFactory, const std::wstring& path) noexcept;

    // Read-only views for the benchmark and the tests.
    [[nodiscard]] const std::vector<VideoWindow>& videoWindows() const noexcept { return windows; }
    [[nodiscard]] ID3D11Device* graphicsDevice() const noexcept { return device.Get(); }
    [[nodiscard]] ID3D11DeviceContext* graphicsContext() const noexcept { return context.Get(); }
    [[nodiscard]] bool hasVideoFrame() const noexcept { return hasFrame; }
    // Playback has been asked for (the engine had the file's metadata).
    [[nodiscard]] bool playRequested() const noexcept { return playing; }
    // What deselecting the sound answered before playback (deselectAudioStreams); E_PENDING
    // until then.
    [[nodiscard]] HRESULT audioSelection() const noexcept { return audioSelectionResult; }
    [[nodiscard]] const VideoHost& videoHost() const noexcept { return host; }

private:
    [[nodiscard]] HRESULT adoptEngine(Microsoft::WRL::ComPtr<IMFMediaEngine> madeEngine,
                                      Microsoft::WRL::ComPtr<MediaEvents> sink, double position) noexcept;
    [[nodiscard]] bool metadataLoaded() const noexcept;
    [[nodiscard]] HRESULT startPlayback() noexcept;
    // Playback was asked for long enough ago, and neither a frame nor the engine's word came.
    [[nodiscard]] bool playbackStalled() const noexcept;
    [[nodiscard]] HRESULT createWindow(const RECT& display) noexcept;
    // The video windows' messages: the mouse goes through them to the desktop.
    LRESULT handleWindowMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) noexcept;

    VideoHost host;
    // "Peltorine.Video", shared by every video that has windows; it goes after them.
    WindowClass<VideoWallpaper, &VideoWallpaper::handleWindowMessage> windowClass;
    std::vector<VideoWindow> windows;
    RECT spanRect{0, 0, 0, 0};
    std::wstring sourcePath; // the file opened
    double startPosition = 0.0;
    bool playing = false;
    bool hasFrame = false;
    // The presentation time of the frame last transferred: a tick that reports the same time
    // again has nothing new.
    LONGLONG lastFrameTime = -1;
    // The shortest step between the presentation times of two frames in a row; 0 until known.
    LONGLONG frameInterval = 0;
    SystemServices* clock = &SystemServices::standard();
    std::uint64_t playRequestedAt = 0;
    HRESULT audioSelectionResult = E_PENDING;
    Microsoft::WRL::ComPtr<MediaEvents> engineEvents;
    Microsoft::WRL::ComPtr<IMFMediaEngine> engine;
    std::shared_ptr<VideoDevice> graphics;
    // The device's own, for short.
    Microsoft::WRL::ComPtr<ID3D11Device> device;
    Microsoft::WRL::ComPtr<ID3D11DeviceContext> context;
    Microsoft::WRL::ComPtr<ID3D11Texture2D> frameTexture; // the engine transfers into this
    Microsoft::WRL::ComPtr<ID3D11Texture2D> drawTexture;  // a copy of it, which the shader samples
    Microsoft::WRL::ComPtr<ID3D11ShaderResourceView> frameView;
    Microsoft::WRL::ComPtr<ID3D11Buffer> layoutBuffer;
};

// Writes any bitmap source as a PNG file, replacing an existing file.
[[nodiscard]] HRESULT writePngFile(IWICImagingFactory* imagingFactory, IWICBitmapSource* source,
                                   const std::wstring& path) noexcept;
