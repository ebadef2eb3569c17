// The graphics device shared with the Media Engine, the shader pair, and drawing a frame into
// every video window with the fit mode.
#include "video/video_layout.h"
#include "video/video_libraries.h"
#include "video/video_wallpaper.h"

#include <cfloat>
#include <cstring>

using Microsoft::WRL::ComPtr;

namespace {

// One triangle covers the window; each pixel maps to a place in the placed video through the
// layout, and shows the background where that place falls outside the video (unless tiled).
// The choice is arithmetic, not a branch: Wine's HLSL compiler has no any() and drops a return
// inside an if ("Unhandled instruction type HLSL_IR_JUMP"), so a branch never chose the background.
constexpr char kShaderSource[] = R"(
cbuffer Layout : register(b0)
{
    float2 scale;
    float2 offset;
    float3 background;
    float tiled;
};
Texture2D image : register(t0);
SamplerState imageSampler : register(s0);
struct Vertex
{
    float4 position : SV_POSITION;
    float2 uv : TEXCOORD0;
};
Vertex vertexMain(uint id : SV_VertexID)
{
    Vertex result;
    result.uv = float2((id << 1) & 2, id & 2);
    result.position = float4(result.uv.x * 2 - 1, result.uv.y * -2 + 1, 0, 1);
    return result;
}
float4 pixelMain(Vertex input) : SV_TARGET
{
    float2 uv = input.uv * scale + offset;
    float2 inside = saturate(uv) == uv;
    float shown = max(inside.x * inside.y, tiled);
    return float4(lerp(background, image.Sample(imageSampler, uv).rgb, shown), 1);
}
)";

HRESULT compileShader(const VideoLibraries& libraries, const char* entryPoint, const char* target,
                      ComPtr<ID3DBlob>& code) noexcept
{
    code.Reset();
    return libraries.compile(kShaderSource, sizeof(kShaderSource) - 1, nullptr, nullptr, nullptr, entryPoint, target, 0,
                             0, &code, nullptr);
}

D3D11_SAMPLER_DESC linearSampler(D3D11_TEXTURE_ADDRESS_MODE addressing) noexcept
{
    D3D11_SAMPLER_DESC description{};
    description.Filter = D3D11_FILTER_MIN_MAG_MIP_LINEAR;
    description.AddressU = addressing;
    description.AddressV = addressing;
    description.AddressW = addressing;
    description.MaxAnisotropy = 1;
    description.ComparisonFunc = D3D11_COMPARISON_NEVER;
    description.MaxLOD = D3D11_FLOAT32_MAX;
    return description;
}

} // namespace

HRESULT VideoWallpaper::createGraphics() noexcept
{
    const VideoLibraries* libraries = nullptr;
    if (const HRESULT hr = loadVideoLibraries(libraries); FAILED(hr))
        return hr;
    context.Reset();
    device.Reset();
    if (const HRESULT hr = libraries->createDevice(nullptr, D3D_DRIVER_TYPE_HARDWARE, nullptr,
                                                   D3D11_CREATE_DEVICE_BGRA_SUPPORT | D3D11_CREATE_DEVICE_VIDEO_SUPPORT,
                                                   nullptr, 0, D3D11_SDK_VERSION, &device, nullptr, &context);
        FAILED(hr))
        return hr;
    // The Media Engine decodes into this device from its own threads.
    if (ComPtr<ID3D10Multithread> multithread; SUCCEEDED(context.As(&multithread)))
        multithread->SetMultithreadProtected(TRUE);

    ComPtr<IDXGIDevice> dxgiDevice;
    if (const HRESULT hr = device.As(&dxgiDevice); FAILED(hr))
        return hr;
    ComPtr<IDXGIAdapter> adapter;
    if (const HRESULT hr = dxgiDevice->GetAdapter(&adapter); FAILED(hr))
        return hr;
    dxgiFactory.Reset();
    if (const HRESULT hr = adapter->GetParent(IID_PPV_ARGS(&dxgiFactory)); FAILED(hr))
        return hr;

    ComPtr<ID3DBlob> vertexCode;
    ComPtr<ID3DBlob> pixelCode;
    if (const HRESULT hr = compileShader(*libraries, "vertexMain", "vs_4_0", vertexCode); FAILED(hr))
        return hr;
    if (const HRESULT hr = compileShader(*libraries, "pixelMain", "ps_4_0", pixelCode); FAILED(hr))
        return hr;
    vertexShader.Reset();
    if (const HRESULT hr = device->CreateVertexShader(vertexCode->GetBufferPointer(), vertexCode->GetBufferSize(),
                                                      nullptr, &vertexShader);
        FAILED(hr))
        return hr;
    pixelShader.Reset();
    if (const HRESULT hr =
            device->CreatePixelShader(pixelCode->GetBufferPointer(), pixelCode->GetBufferSize(), nullptr, &pixelShader);
        FAILED(hr))
        return hr;

    D3D11_BUFFER_DESC bufferDescription{};
    bufferDescription.ByteWidth = sizeof(Layout);
    bufferDescription.Usage = D3D11_USAGE_DEFAULT;
    bufferDescription.BindFlags = D3D11_BIND_CONSTANT_BUFFER;
    layoutBuffer.Reset();
    if (const HRESULT hr = device->CreateBuffer(&bufferDescription, nullptr, &layoutBuffer); FAILED(hr))
        return hr;
    const D3D11_SAMPLER_DESC clamped = linearSampler(D3D11_TEXTURE_ADDRESS_CLAMP);
    clampSampler.Reset();
    if (const HRESULT hr = device->CreateSamplerState(&clamped, &clampSampler); FAILED(hr))
        return hr;
    const D3D11_SAMPLER_DESC wrapped = linearSampler(D3D11_TEXTURE_ADDRESS_WRAP);
    wrapSampler.Reset();
    return device->CreateSamplerState(&wrapped, &wrapSampler);
}

HRESULT VideoWallpaper::render(FitMode fitMode, COLORREF background) noexcept
{
    if (!hasFrame || !windowsAlive())
        return HRESULT_FROM_WIN32(ERROR_NOT_READY);

    D3D11_TEXTURE2D_DESC frame{};
    frameTexture->GetDesc(&frame);

    context->IASetPrimitiveTopology(D3D11_PRIMITIVE_TOPOLOGY_TRIANGLELIST);
    context->VSSetShader(vertexShader.Get(), nullptr, 0);
    context->PSSetShader(pixelShader.Get(), nullptr, 0);
    ID3D11ShaderResourceView* const views[] = {frameView.Get()};
    context->PSSetShaderResources(0, 1, views);
    ID3D11Buffer* const buffers[] = {layoutBuffer.Get()};
    context->PSSetConstantBuffers(0, 1, buffers);
    ID3D11SamplerState* const samplers[] = {fitMode == FitTile ? wrapSampler.Get() : clampSampler.Get()};
    context->PSSetSamplers(0, 1, samplers);

    for (const VideoWindow& videoWindow : windows) {
        if (videoWindow.hidden)
            continue;
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
