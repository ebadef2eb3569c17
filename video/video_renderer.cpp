// Drawing a frame into every video window with the fit mode.
#include "video/video_layout.h"
#include "video/video_wallpaper.h"

HRESULT VideoWallpaper::createGraphics(std::shared_ptr<VideoDevice> shared) noexcept
{
    layoutBuffer.Reset();
    graphics.reset();
    if (shared) {
        graphics = std::move(shared);
    } else if (const HRESULT hr = VideoDevice::acquire(graphics); FAILED(hr)) {
        return hr;
    }
    device = graphics->device();
    context = graphics->context();

    D3D11_BUFFER_DESC bufferDescription{};
    bufferDescription.ByteWidth = sizeof(Layout);
    bufferDescription.Usage = D3D11_USAGE_DEFAULT;
    bufferDescription.BindFlags = D3D11_BIND_CONSTANT_BUFFER;
    return device->CreateBuffer(&bufferDescription, nullptr, &layoutBuffer);
}

HRESULT VideoWallpaper::render(FitMode fitMode, COLORREF background) noexcept
{
    if (!hasFrame || !windowsAlive())
        return HRESULT_FROM_WIN32(ERROR_NOT_READY);

    D3D11_TEXTURE2D_DESC frame{};
    frameTexture->GetDesc(&frame);

    context->IASetPrimitiveTopology(D3D11_PRIMITIVE_TOPOLOGY_TRIANGLELIST);
    context->VSSetShader(graphics->vertexShader(), nullptr, 0);
    context->PSSetShader(graphics->pixelShader(), nullptr, 0);
    ID3D11ShaderResourceView* const views[] = {frameView.Get()};
    context->PSSetShaderResources(0, 1, views);
    ID3D11Buffer* const buffers[] = {layoutBuffer.Get()};
    context->PSSetConstantBuffers(0, 1, buffers);
    ID3D11SamplerState* const samplers[] = {graphics->sampler(fitMode == FitTile)};
    context->PSSetSamplers(0, 1, samplers);

    for (const VideoWindow& videoWindow : windows) {
        const RECT& screen = videoWindow.screenRect;
        const Layout layout = computeLayout(screen, spanRect, frame.Width, frame.Height, fitMode, background);
        context->UpdateSubresource(layoutBuffer.Get(), 0, nullptr, &layout, 0, 0);
        D3D11_VIEWPORT viewport{};
        viewport.Width = static_cast<float>(screen.right - screen.left);
        viewport.Height = static_cast<float>(screen.bottom - screen.top);
        viewport.MaxDepth = 1.0f;
        context->RSSetViewports(1, &viewport);
        ID3D11RenderTargetView* const targets[] = {videoWindow.targetView.Get()};
        context->OMSetRenderTargets(1, targets, nullptr);
        context->Draw(3, 0);
        // A busy queue only drops this window's frame.
        if (const HRESULT hr = videoWindow.swapChain->Present(0, DXGI_PRESENT_DO_NOT_WAIT);
            FAILED(hr) && hr != DXGI_ERROR_WAS_STILL_DRAWING)
            return hr;
    }
    return S_OK;
}
