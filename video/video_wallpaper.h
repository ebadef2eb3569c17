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

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/unique_handle.h"
#include "platform/window_class.h"
#include "video/media_foundation.h"
#include "video/video_device.h"
#include "video/video_host.h"
#include "wallpaper/desktop_snapshot.h"

// One window per target display, in the order of the display list. The members go in the
// reverse of their order: the view (it holds the swap chain's back buffer), the swap chain,
// then the window.
struct VideoWindow {
    UniqueWindow window;
    RECT screenRect{0, 0, 0, 0}; // the display, in virtual-screen pixels
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
    // S_OK: a new frame is in frameTexture; S_FALSE: nothing new to draw; negative: failure.
    [[nodiscard]] HRESULT pumpFrame() noexcept;
    [[nodiscard]] HRESULT setPaused(bool paused) noexcept;
    [[nodiscard]] double currentTime() const noexcept;

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
    [[nodiscard]] bool foregroundCoversVideo() const noexcept;

    // Frame capture: the frame last transferred, at the video's native size, as a PNG file.
    [[nodiscard]] HRESULT saveFramePng(IWICImagingFactory* imagingFactory, const std::wstring& path) noexcept;

    // Read-only views for the benchmark and the tests.
    [[nodiscard]] const std::vector<VideoWindow>& videoWindows() const noexcept { return windows; }
    [[nodiscard]] ID3D11Device* graphicsDevice() const noexcept { return device.Get(); }
    [[nodiscard]] ID3D11DeviceContext* graphicsContext() const noexcept { return context.Get(); }
    [[nodiscard]] bool hasVideoFrame() const noexcept { return hasFrame; }
    [[nodiscard]] const VideoHost& videoHost() const noexcept { return host; }

private:
    [[nodiscard]] HRESULT startPlayback() noexcept;
    [[nodiscard]] HRESULT createWindow(const RECT& display) noexcept;
    // The video windows' messages: the mouse goes through them to the desktop.
    LRESULT handleWindowMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) noexcept;

    VideoHost host;
    // "Peltorine.Video", shared by every video that has windows; it goes after them.
    WindowClass<VideoWallpaper, &VideoWallpaper::handleWindowMessage> windowClass;
    std::vector<VideoWindow> windows;
    RECT spanRect{0, 0, 0, 0};
    double startPosition = 0.0;
    bool playing = false;
    bool hasFrame = false;
    // The presentation time of the frame last transferred: a tick that reports the same time
    // again has nothing new.
    LONGLONG lastFrameTime = -1;
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
