#pragma once
// The graphics device the videos decode into and draw with, and what belongs to it: the shader
// pair, the samplers, and the DXGI device manager through which the Media Engine reaches the
// device from its own threads. One device is lent to every video while videos are in use: a
// switch then creates no device, and the Media Engine's references to the device it decoded
// into (Wine keeps some for good) are to one device, not to one per video.
#include <windows.h>
#include <d3d11.h>
#include <dxgi.h>
#include <wrl/client.h>

#include <memory>

#include "video/media_foundation.h"

class VideoDevice {
public:
    // A new device with its shaders, samplers and device manager.
    [[nodiscard]] static HRESULT create(std::shared_ptr<VideoDevice>& device) noexcept;
    // The device that videos of this process use now, or a new one when none is in use: two
    // videos alive at once (one opening while the other plays) share one device, which goes
    // with the last of its holders.
    [[nodiscard]] static HRESULT acquire(std::shared_ptr<VideoDevice>& device) noexcept;

    VideoDevice(const VideoDevice&) = delete;
    VideoDevice& operator=(const VideoDevice&) = delete;

    [[nodiscard]] ID3D11Device* device() const noexcept { return device_.Get(); }
    [[nodiscard]] ID3D11DeviceContext* context() const noexcept { return context_.Get(); }
    [[nodiscard]] IDXGIFactory* dxgiFactory() const noexcept { return dxgiFactory_.Get(); }
    [[nodiscard]] IMFDXGIDeviceManager* deviceManager() const noexcept { return deviceManager_.Get(); }
    [[nodiscard]] ID3D11VertexShader* vertexShader() const noexcept { return vertexShader_.Get(); }
    [[nodiscard]] ID3D11PixelShader* pixelShader() const noexcept { return pixelShader_.Get(); }
    // Clamped for every fit but Tile, which wraps.
    [[nodiscard]] ID3D11SamplerState* sampler(bool wrapped) const noexcept
    {
        return wrapped ? wrapSampler_.Get() : clampSampler_.Get();
    }

private:
    VideoDevice() noexcept = default;
    [[nodiscard]] HRESULT initialize() noexcept;

    Microsoft::WRL::ComPtr<ID3D11Device> device_;
    Microsoft::WRL::ComPtr<ID3D11DeviceContext> context_;
    Microsoft::WRL::ComPtr<IDXGIFactory> dxgiFactory_;
    Microsoft::WRL::ComPtr<IMFDXGIDeviceManager> deviceManager_;
    Microsoft::WRL::ComPtr<ID3D11VertexShader> vertexShader_;
    Microsoft::WRL::ComPtr<ID3D11PixelShader> pixelShader_;
    Microsoft::WRL::ComPtr<ID3D11SamplerState> clampSampler_;
    Microsoft::WRL::ComPtr<ID3D11SamplerState> wrapSampler_;
};
