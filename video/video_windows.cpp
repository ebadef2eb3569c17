// One child window per display behind the desktop icons, each with its own swap chain, and
// which of them other windows hide.
#include "platform/win32_error.h"
#include "video/video_wallpaper.h"

namespace {

constexpr wchar_t kVideoWindowClass[] = L"Peltorine.Video";

} // namespace

LRESULT VideoWallpaper::handleWindowMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) noexcept
{
    switch (message) {
    case WM_NCHITTEST:
        return HTTRANSPARENT; // the mouse goes through to the desktop
    case WM_ERASEBKGND:
        return 1; // the swap chain covers the whole window
    default:
        return DefWindowProcW(window, message, wParam, lParam);
    }
}

HRESULT VideoWallpaper::createWindows(const std::vector<RECT>& displays, const VideoHostLookup& findHost) noexcept
{
    destroyWindows();
    if (!graphics)
        return E_UNEXPECTED;
    if (displays.empty() || !findHost)
        return HRESULT_FROM_WIN32(ERROR_NOT_FOUND);
    host = findHost();
    if (!host.hostWindow)
        return HRESULT_FROM_WIN32(ERROR_NOT_FOUND);
    if (const HRESULT hr = windowClass.registerClass(GetModuleHandleW(nullptr), {kVideoWindowClass}); FAILED(hr))
        return hr;

    spanRect = displays.front();
    for (const RECT& display : displays) {
        UnionRect(&spanRect, &spanRect, &display);
        if (const HRESULT hr = createWindow(display); FAILED(hr)) {
            destroyWindows();
            return hr;
        }
    }
    return S_OK;
}

HRESULT VideoWallpaper::createWindow(const RECT& display) noexcept
{
    // Displays left of or above the primary one have negative coordinates; the window's
    // position is in the host's client coordinates.
    RECT placed = display;
    MapWindowPoints(HWND_DESKTOP, host.hostWindow, reinterpret_cast<POINT*>(&placed), 2);

    try {
        windows.emplace_back();
    } catch (...) {
        return E_OUTOFMEMORY;
    }
    VideoWindow& record = windows.back();
    record.screenRect = display;

    const DWORD exStyle = WS_EX_NOACTIVATE | WS_EX_TRANSPARENT | (host.noRedirectionBitmap ? WS_EX_LAYERED : 0);
    record.window.reset(CreateWindowExW(exStyle, kVideoWindowClass, L"", WS_CHILD, placed.left, placed.top,
                                        placed.right - placed.left, placed.bottom - placed.top, host.hostWindow,
                                        nullptr, GetModuleHandleW(nullptr), this));
    if (!record.window)
        return failureFromLastError();
    if (host.noRedirectionBitmap && !SetLayeredWindowAttributes(record.window.get(), 0, 255, LWA_ALPHA))
        return failureFromLastError();
    // Below the icon view inside "Progman", or at the top of the worker's children.
    if (!SetWindowPos(record.window.get(), host.iconView ? host.iconView : HWND_TOP, 0, 0, 0, 0,
                      SWP_NOSIZE | SWP_NOMOVE | SWP_NOACTIVATE))
        return failureFromLastError();

    DXGI_SWAP_CHAIN_DESC description{};
    description.BufferDesc.Width = static_cast<UINT>(display.right - display.left);
    description.BufferDesc.Height = static_cast<UINT>(display.bottom - display.top);
    description.BufferDesc.Format = DXGI_FORMAT_B8G8R8A8_UNORM;
    description.SampleDesc.Count = 1;
    description.BufferUsage = DXGI_USAGE_RENDER_TARGET_OUTPUT;
    description.BufferCount = 1;
    description.OutputWindow = record.window.get();
    description.Windowed = TRUE;
    // Sequential keeps the drawn frame in the back buffer after Present, so what a window shows
    // can be read back and presented again.
    description.SwapEffect = DXGI_SWAP_EFFECT_SEQUENTIAL;
    record.targetView.Reset();
    record.swapChain.Reset();
    if (const HRESULT hr = graphics->dxgiFactory()->CreateSwapChain(device.Get(), &description, &record.swapChain); FAILED(hr))
        return hr;
    Microsoft::WRL::ComPtr<ID3D11Texture2D> backBuffer;
    if (const HRESULT hr = record.swapChain->GetBuffer(0, IID_PPV_ARGS(&backBuffer)); FAILED(hr))
        return hr;
    return device->CreateRenderTargetView(backBuffer.Get(), nullptr, &record.targetView);
}

void VideoWallpaper::destroyWindows() noexcept
{
    // No view may stay bound to a swap chain that is about to go.
    if (context)
        context->OMSetRenderTargets(0, nullptr, nullptr);
    for (VideoWindow& record : windows) {
        record.targetView.Reset();
        record.swapChain.Reset();
        // A window the shell took down with its host is gone already.
        if (IsWindow(record.window.get()))
            record.window.reset();
        else
            (void)record.window.release();
    }
    windows.clear();
}

void VideoWallpaper::showWindows() noexcept
{
    for (const VideoWindow& record : windows)
        ShowWindow(record.window.get(), SW_SHOWNOACTIVATE);
}

bool VideoWallpaper::windowsAlive() const noexcept
{
    if (!host.hostWindow || !IsWindow(host.hostWindow) || windows.empty())
        return false;
    for (const VideoWindow& record : windows) {
        if (!IsWindow(record.window.get()))
            return false;
    }
    return true;
}

void VideoWallpaper::setWindowHidden(std::size_t index, bool hidden) noexcept
{
    if (index < windows.size())
        windows[index].hidden = hidden;
}
