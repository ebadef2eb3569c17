#include "tests/support/video_clips.h"

#include <cstdio>
#include <cstdlib>

#include "tests/support/process.h"
#include "video/video_libraries.h"
#include "video/video_wallpaper.h"

using Microsoft::WRL::ComPtr;

std::wstring clipPath(const wchar_t* name)
{
    return windowsPathOf(PELTORINE_SOURCE_DIR "/tests/data/video") + L"\\" + name;
}

MediaFoundationScope::MediaFoundationScope() : result_(E_FAIL)
{
    const VideoLibraries* libraries = nullptr;
    result_ = loadVideoLibraries(libraries);
    if (SUCCEEDED(result_))
        result_ = libraries->startup(MF_VERSION, MFSTARTUP_LITE);
}

MediaFoundationScope::~MediaFoundationScope()
{
    const VideoLibraries* libraries = nullptr;
    if (SUCCEEDED(result_) && SUCCEEDED(loadVideoLibraries(libraries)))
        libraries->shutdown();
}

namespace {

void pumpMessages()
{
    MSG message{};
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
}

} // namespace

HRESULT pumpUntilFrame(VideoWallpaper& video, DWORD limitMs)
{
    const ULONGLONG end = GetTickCount64() + limitMs;
    for (;;) {
        const HRESULT hr = video.pumpFrame();
        if (hr != S_FALSE || GetTickCount64() >= end)
            return hr;
        pumpMessages();
        Sleep(5);
    }
}

void settle(VideoWallpaper& video)
{
    (void)pumpUntilFrame(video);
}

void rest(VideoWallpaper& video)
{
    if (SUCCEEDED(video.setPaused(true)))
        (void)timeOnceStill([&] { return video.currentTime(); });
}

namespace {
const wchar_t kHostClass[] = L"PeltorineTest.VideoHost";
} // namespace

TestHostWindow::TestHostWindow(int width, int height, bool noRedirectionBitmap)
    : noRedirectionBitmap_(noRedirectionBitmap)
{
    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = DefWindowProcW;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.lpszClassName = kHostClass;
    RegisterClassW(&windowClass);
    window_ = CreateWindowExW(noRedirectionBitmap ? WS_EX_NOREDIRECTIONBITMAP : 0, kHostClass, L"",
                              WS_POPUP | WS_CLIPCHILDREN, 0, 0, width, height, nullptr, nullptr,
                              GetModuleHandleW(nullptr), nullptr);
}

TestHostWindow::~TestHostWindow()
{
    if (window_ && IsWindow(window_))
        DestroyWindow(window_);
}

VideoHostLookup TestHostWindow::lookup() const
{
    const HWND window = window_;
    const bool layered = noRedirectionBitmap_;
    return [window, layered] { return VideoHost{window, nullptr, layered}; };
}

BackBuffer readBackBuffer(const VideoWallpaper& video, std::size_t windowIndex)
{
    BackBuffer result;
    if (windowIndex >= video.videoWindows().size())
        return result;
    const VideoWindow& record = video.videoWindows()[windowIndex];
    ComPtr<ID3D11Texture2D> back;
    if (FAILED(record.swapChain->GetBuffer(0, IID_PPV_ARGS(&back))))
        return result;
    D3D11_TEXTURE2D_DESC description{};
    back->GetDesc(&description);
    description.Usage = D3D11_USAGE_STAGING;
    description.BindFlags = 0;
    description.CPUAccessFlags = D3D11_CPU_ACCESS_READ;
    description.MiscFlags = 0;
    ComPtr<ID3D11Texture2D> staging;
    if (FAILED(video.graphicsDevice()->CreateTexture2D(&description, nullptr, &staging)))
        return result;
    ID3D11DeviceContext* context = video.graphicsContext();
    context->CopyResource(staging.Get(), back.Get());
    D3D11_MAPPED_SUBRESOURCE mapped{};
    if (FAILED(context->Map(staging.Get(), 0, D3D11_MAP_READ, 0, &mapped)))
        return result;
    result.width = description.Width;
    result.height = description.Height;
    result.pixels.resize(static_cast<std::size_t>(result.width) * result.height);
    for (UINT y = 0; y < result.height; ++y) {
        const auto* row = static_cast<const Bgra*>(mapped.pData) + static_cast<std::size_t>(y) * (mapped.RowPitch / 4);
        for (UINT x = 0; x < result.width; ++x)
            result.pixels[static_cast<std::size_t>(y) * result.width + x] = row[x];
    }
    context->Unmap(staging.Get(), 0);
    return result;
}

bool closeTo(Bgra pixel, COLORREF colour, int tolerance)
{
    return std::abs(pixel.r - GetRValue(colour)) <= tolerance && std::abs(pixel.g - GetGValue(colour)) <= tolerance &&
           std::abs(pixel.b - GetBValue(colour)) <= tolerance;
}

std::string describe(Bgra pixel)
{
    char text[48];
    std::snprintf(text, sizeof(text), "rgb(%d, %d, %d)", pixel.r, pixel.g, pixel.b);
    return text;
}

