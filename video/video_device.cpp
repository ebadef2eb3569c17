// The graphics device shared by the videos: the device and its context, the shader pair that
// draws a frame with a fit mode, the samplers, and the device manager of the Media Engine.
#include "video/video_device.h"

#include "video/video_libraries.h"

#include <cfloat>
#include <mutex>
#include <new>

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

HRESULT VideoDevice::create(std::shared_ptr<VideoDevice>& device) noexcept
{
    device.reset();
    std::shared_ptr<VideoDevice> made(new (std::nothrow) VideoDevice());
    if (!made)
        return E_OUTOFMEMORY;
    if (const HRESULT hr = made->initialize(); FAILED(hr))
        return hr;
    device = std::move(made);
    return S_OK;
}

HRESULT VideoDevice::acquire(std::shared_ptr<VideoDevice>& device) noexcept
{
    static std::mutex mutex;
    static std::weak_ptr<VideoDevice> inUse;
    const std::lock_guard lock(mutex);
    device = inUse.lock();
    if (device)
        return S_OK;
    if (const HRESULT hr = create(device); FAILED(hr))
        return hr;
    inUse = device;
    return S_OK;
}

HRESULT VideoDevice::initialize() noexcept
{
    const VideoLibraries* libraries = nullptr;
    if (const HRESULT hr = loadVideoLibraries(libraries); FAILED(hr))
        return hr;
    if (const HRESULT hr = libraries->createDevice(nullptr, D3D_DRIVER_TYPE_HARDWARE, nullptr,
                                                   D3D11_CREATE_DEVICE_BGRA_SUPPORT | D3D11_CREATE_DEVICE_VIDEO_SUPPORT,
                                                   nullptr, 0, D3D11_SDK_VERSION, &device_, nullptr, &context_);
        FAILED(hr))
        return hr;
    // The Media Engine decodes into this device from its own threads.
    if (ComPtr<ID3D10Multithread> multithread; SUCCEEDED(context_.As(&multithread)))
        multithread->SetMultithreadProtected(TRUE);

    ComPtr<IDXGIDevice> dxgiDevice;
    if (const HRESULT hr = device_.As(&dxgiDevice); FAILED(hr))
        return hr;
    ComPtr<IDXGIAdapter> adapter;
    if (const HRESULT hr = dxgiDevice->GetAdapter(&adapter); FAILED(hr))
        return hr;
    if (const HRESULT hr = adapter->GetParent(IID_PPV_ARGS(&dxgiFactory_)); FAILED(hr))
        return hr;

    UINT resetToken = 0;
    if (const HRESULT hr = libraries->createDeviceManager(&resetToken, &deviceManager_); FAILED(hr))
        return hr;
    if (const HRESULT hr = deviceManager_->ResetDevice(device_.Get(), resetToken); FAILED(hr))
        return hr;

    ComPtr<ID3DBlob> vertexCode;
    ComPtr<ID3DBlob> pixelCode;
    if (const HRESULT hr = compileShader(*libraries, "vertexMain", "vs_4_0", vertexCode); FAILED(hr))
        return hr;
    if (const HRESULT hr = compileShader(*libraries, "pixelMain", "ps_4_0", pixelCode); FAILED(hr))
        return hr;
    if (const HRESULT hr = device_->CreateVertexShader(vertexCode->GetBufferPointer(), vertexCode->GetBufferSize(),
                                                       nullptr, &vertexShader_);
        FAILED(hr))
        return hr;
    if (const HRESULT hr =
            device_->CreatePixelShader(pixelCode->GetBufferPointer(), pixelCode->GetBufferSize(), nullptr, &pixelShader_);
        FAILED(hr))
        return hr;

    const D3D11_SAMPLER_DESC clamped = linearSampler(D3D11_TEXTURE_ADDRESS_CLAMP);
    if (const HRESULT hr = device_->CreateSamplerState(&clamped, &clampSampler_); FAILED(hr))
        return hr;
    const D3D11_SAMPLER_DESC wrapped = linearSampler(D3D11_TEXTURE_ADDRESS_WRAP);
    return device_->CreateSamplerState(&wrapped, &wrapSampler_);
}
