#include "tests/support/fake_media_engine.h"

#include <propidl.h>

#include <d3d11.h>

#include <algorithm>
#include <cstdint>
#include <vector>


#include "platform/unique_handle.h"
#include "video/video_wallpaper.h"

namespace {

constexpr DWORD kWidth = 64;
constexpr DWORD kHeight = 48;
constexpr double kDuration = 2.0;

} // namespace

Microsoft::WRL::ComPtr<FakeMediaEngine> FakeMediaEngine::create()
{
    Microsoft::WRL::ComPtr<FakeMediaEngine> engine = adoptReference(new FakeMediaEngine());
    engine->sink = adoptReference(new MediaEvents());
    return engine;
}

HRESULT FakeMediaEngine::QueryInterface(REFIID iid, void** object) noexcept
{
    if (!object)
        return E_POINTER;
    *object = nullptr;
    if (iid == __uuidof(IMFMediaEngine)) {
        *object = static_cast<IMFMediaEngine*>(this);
        AddRef();
        return S_OK;
    }
    if (iid == __uuidof(IMFMediaEngineEx) && !extended)
        return E_NOINTERFACE;
    return ComObject<IMFMediaEngineEx>::QueryInterface(iid, object);
}

// --- What playback uses ---

HRESULT FakeMediaEngine::GetError(IMFMediaError** error) noexcept
{
    if (!error)
        return E_POINTER;
    *error = nullptr;
    return S_OK;
}

USHORT FakeMediaEngine::GetReadyState() noexcept
{
    return 1; // MF_MEDIA_ENGINE_READY_HAVE_METADATA
}

double FakeMediaEngine::GetCurrentTime() noexcept
{
    return clock ? *clock : static_cast<double>(frameTime_) / 10'000'000.0;
}

HRESULT FakeMediaEngine::SetCurrentTime(double) noexcept
{
    calls.push_back(L"SetCurrentTime");
    return E_NOTIMPL;
}

double FakeMediaEngine::GetDuration() noexcept
{
    return kDuration;
}

BOOL FakeMediaEngine::IsPaused() noexcept
{
    return !playing_;
}

HRESULT FakeMediaEngine::SetLoop(BOOL) noexcept
{
    return S_OK;
}

HRESULT FakeMediaEngine::Play() noexcept
{
    calls.push_back(L"Play");
    if (SUCCEEDED(playResult))
        playing_ = true;
    return playResult;
}

HRESULT FakeMediaEngine::Pause() noexcept
{
    calls.push_back(L"Pause");
    playing_ = false;
    return S_OK;
}

HRESULT FakeMediaEngine::SetMuted(BOOL) noexcept
{
    return S_OK;
}

BOOL FakeMediaEngine::HasVideo() noexcept
{
    return TRUE;
}

BOOL FakeMediaEngine::HasAudio() noexcept
{
    for (const GUID& type : streams) {
        if (type == MFMediaType_Audio)
            return TRUE;
    }
    return FALSE;
}

HRESULT FakeMediaEngine::GetNativeVideoSize(DWORD* cx, DWORD* cy) noexcept
{
    if (!cx || !cy)
        return E_POINTER;
    *cx = kWidth;
    *cy = kHeight;
    return S_OK;
}

HRESULT FakeMediaEngine::Shutdown() noexcept
{
    playing_ = false;
    return S_OK;
}

HRESULT FakeMediaEngine::TransferVideoFrame(IUnknown* surface, const MFVideoNormalizedRect*, const RECT*,
                                            const MFARGB*) noexcept
{
    transferred.push_back(frameTime_);
    if (!frameColour)
        return S_OK;
    Microsoft::WRL::ComPtr<ID3D11Texture2D> texture;
    if (const HRESULT hr = surface ? surface->QueryInterface(IID_PPV_ARGS(&texture)) : E_POINTER; FAILED(hr))
        return hr;
    D3D11_TEXTURE2D_DESC description{};
    texture->GetDesc(&description);
    Microsoft::WRL::ComPtr<ID3D11Device> device;
    texture->GetDevice(&device);
    Microsoft::WRL::ComPtr<ID3D11DeviceContext> context;
    device->GetImmediateContext(&context);
    // B8G8R8A8: blue, green, red, alpha.
    const std::uint32_t pixel = 0xFF000000u | (GetRValue(*frameColour) << 16) | (GetGValue(*frameColour) << 8) |
                                GetBValue(*frameColour);
    const std::vector<std::uint32_t> pixels(std::size_t{description.Width} * description.Height, pixel);
    context->UpdateSubresource(texture.Get(), 0, nullptr, pixels.data(), description.Width * 4, 0);
    return S_OK;
}

HRESULT FakeMediaEngine::OnVideoStreamTick(LONGLONG* time) noexcept
{
    if (!time)
        return E_POINTER;
    if (!playing_ || !deliverFrames)
        return S_FALSE;
    if (clock)
        frameTime_ = std::max<LONGLONG>(0, static_cast<LONGLONG>((*clock - lag) * 10'000'000.0 + 0.5)) / frameTicks *
                     frameTicks;
    else
        frameTime_ += frameTicks;
    *time = frameTime_;
    return S_OK;
}

HRESULT FakeMediaEngine::GetNumberOfStreams(DWORD* stream_count) noexcept
{
    calls.push_back(L"GetNumberOfStreams");
    if (FAILED(streamSelectionResult))
        return streamSelectionResult;
    if (!stream_count)
        return E_POINTER;
    *stream_count = static_cast<DWORD>(streams.size());
    return S_OK;
}

HRESULT FakeMediaEngine::GetStreamAttribute(DWORD stream_index, REFGUID attribute, PROPVARIANT* value) noexcept
{
    if (FAILED(streamSelectionResult))
        return streamSelectionResult;
    if (!value)
        return E_POINTER;
    if (stream_index >= streams.size())
        return E_INVALIDARG;
    if (attribute != MF_MT_MAJOR_TYPE)
        return MF_E_ATTRIBUTENOTFOUND;
    auto* type = static_cast<CLSID*>(CoTaskMemAlloc(sizeof(CLSID)));
    if (!type)
        return E_OUTOFMEMORY;
    *type = streams[stream_index];
    value->vt = VT_CLSID;
    value->puuid = type;
    return S_OK;
}

HRESULT FakeMediaEngine::GetStreamSelection(DWORD stream_index, BOOL* enabled) noexcept
{
    if (FAILED(streamSelectionResult))
        return streamSelectionResult;
    if (!enabled)
        return E_POINTER;
    if (stream_index >= streams.size())
        return E_INVALIDARG;
    *enabled = TRUE;
    for (const DWORD off : deselected) {
        if (off == stream_index)
            *enabled = FALSE;
    }
    return S_OK;
}

HRESULT FakeMediaEngine::SetStreamSelection(DWORD stream_index, BOOL enabled) noexcept
{
    calls.push_back(L"SetStreamSelection(" + std::to_wstring(stream_index) + L", " + std::to_wstring(enabled) + L")");
    if (FAILED(streamSelectionResult))
        return streamSelectionResult;
    if (stream_index >= streams.size())
        return E_INVALIDARG;
    if (!enabled)
        deselected.push_back(stream_index);
    return S_OK;
}

HRESULT FakeMediaEngine::ApplyStreamSelections() noexcept
{
    calls.push_back(L"ApplyStreamSelections");
    return streamSelectionResult;
}

// --- Not used by playback ---

HRESULT FakeMediaEngine::SetErrorCode(MF_MEDIA_ENGINE_ERR) noexcept { return E_NOTIMPL; }
HRESULT FakeMediaEngine::SetSourceElements(IMFMediaEngineSrcElements*) noexcept { return E_NOTIMPL; }
HRESULT FakeMediaEngine::SetSource(BSTR) noexcept { return E_NOTIMPL; }
HRESULT FakeMediaEngine::GetCurrentSource(BSTR*) noexcept { return E_NOTIMPL; }
USHORT FakeMediaEngine::GetNetworkState() noexcept { return 0; }
MF_MEDIA_ENGINE_PRELOAD FakeMediaEngine::GetPreload() noexcept { return MF_MEDIA_ENGINE_PRELOAD_AUTOMATIC; }
HRESULT FakeMediaEngine::SetPreload(MF_MEDIA_ENGINE_PRELOAD) noexcept { return E_NOTIMPL; }
HRESULT FakeMediaEngine::GetBuffered(IMFMediaTimeRange**) noexcept { return E_NOTIMPL; }
HRESULT FakeMediaEngine::Load() noexcept { return E_NOTIMPL; }
HRESULT FakeMediaEngine::CanPlayType(BSTR, MF_MEDIA_ENGINE_CANPLAY*) noexcept { return E_NOTIMPL; }
BOOL FakeMediaEngine::IsSeeking() noexcept { return FALSE; }
double FakeMediaEngine::GetStartTime() noexcept { return 0.0; }
double FakeMediaEngine::GetDefaultPlaybackRate() noexcept { return 1.0; }
HRESULT FakeMediaEngine::SetDefaultPlaybackRate(double) noexcept { return E_NOTIMPL; }
double FakeMediaEngine::GetPlaybackRate() noexcept { return 1.0; }
HRESULT FakeMediaEngine::SetPlaybackRate(double) noexcept { return E_NOTIMPL; }
HRESULT FakeMediaEngine::GetPlayed(IMFMediaTimeRange**) noexcept { return E_NOTIMPL; }
HRESULT FakeMediaEngine::GetSeekable(IMFMediaTimeRange**) noexcept { return E_NOTIMPL; }
BOOL FakeMediaEngine::IsEnded() noexcept { return FALSE; }
BOOL FakeMediaEngine::GetAutoPlay() noexcept { return FALSE; }
HRESULT FakeMediaEngine::SetAutoPlay(BOOL) noexcept { return E_NOTIMPL; }
BOOL FakeMediaEngine::GetLoop() noexcept { return TRUE; }
BOOL FakeMediaEngine::GetMuted() noexcept { return TRUE; }
double FakeMediaEngine::GetVolume() noexcept { return 1.0; }
HRESULT FakeMediaEngine::SetVolume(double) noexcept { return E_NOTIMPL; }
HRESULT FakeMediaEngine::GetVideoAspectRatio(DWORD*, DWORD*) noexcept { return E_NOTIMPL; }
HRESULT FakeMediaEngine::SetSourceFromByteStream(IMFByteStream*, BSTR) noexcept { return E_NOTIMPL; }
HRESULT FakeMediaEngine::GetStatistics(MF_MEDIA_ENGINE_STATISTIC, PROPVARIANT*) noexcept { return E_NOTIMPL; }
HRESULT FakeMediaEngine::UpdateVideoStream(const MFVideoNormalizedRect*, const RECT*, const MFARGB*) noexcept
{
    return E_NOTIMPL;
}
double FakeMediaEngine::GetBalance() noexcept { return 0.0; }
HRESULT FakeMediaEngine::SetBalance(double) noexcept { return E_NOTIMPL; }
BOOL FakeMediaEngine::IsPlaybackRateSupported(double) noexcept { return FALSE; }
HRESULT FakeMediaEngine::FrameStep(BOOL) noexcept { return E_NOTIMPL; }
HRESULT FakeMediaEngine::GetResourceCharacteristics(DWORD*) noexcept { return E_NOTIMPL; }
HRESULT FakeMediaEngine::GetPresentationAttribute(REFGUID, PROPVARIANT*) noexcept { return E_NOTIMPL; }
HRESULT FakeMediaEngine::IsProtected(BOOL*) noexcept { return E_NOTIMPL; }
HRESULT FakeMediaEngine::InsertVideoEffect(IUnknown*, BOOL) noexcept { return E_NOTIMPL; }
HRESULT FakeMediaEngine::InsertAudioEffect(IUnknown*, BOOL) noexcept { return E_NOTIMPL; }
HRESULT FakeMediaEngine::RemoveAllEffects() noexcept { return E_NOTIMPL; }
HRESULT FakeMediaEngine::SetTimelineMarkerTimer(double) noexcept { return E_NOTIMPL; }
HRESULT FakeMediaEngine::GetTimelineMarkerTimer(double*) noexcept { return E_NOTIMPL; }
HRESULT FakeMediaEngine::CancelTimelineMarkerTimer() noexcept { return E_NOTIMPL; }
BOOL FakeMediaEngine::IsStereo3D() noexcept { return FALSE; }
HRESULT FakeMediaEngine::GetStereo3DFramePackingMode(MF_MEDIA_ENGINE_S3D_PACKING_MODE*) noexcept { return E_NOTIMPL; }
HRESULT FakeMediaEngine::SetStereo3DFramePackingMode(MF_MEDIA_ENGINE_S3D_PACKING_MODE) noexcept { return E_NOTIMPL; }
HRESULT FakeMediaEngine::GetStereo3DRenderMode(MF3DVideoOutputType*) noexcept { return E_NOTIMPL; }
HRESULT FakeMediaEngine::SetStereo3DRenderMode(MF3DVideoOutputType) noexcept { return E_NOTIMPL; }
HRESULT FakeMediaEngine::EnableWindowlessSwapchainMode(BOOL) noexcept { return E_NOTIMPL; }
HRESULT FakeMediaEngine::GetVideoSwapchainHandle(HANDLE*) noexcept { return E_NOTIMPL; }
HRESULT FakeMediaEngine::EnableHorizontalMirrorMode(BOOL) noexcept { return E_NOTIMPL; }
HRESULT FakeMediaEngine::GetAudioStreamCategory(UINT32*) noexcept { return E_NOTIMPL; }
HRESULT FakeMediaEngine::SetAudioStreamCategory(UINT32) noexcept { return E_NOTIMPL; }
HRESULT FakeMediaEngine::GetAudioEndpointRole(UINT32*) noexcept { return E_NOTIMPL; }
HRESULT FakeMediaEngine::SetAudioEndpointRole(UINT32) noexcept { return E_NOTIMPL; }
HRESULT FakeMediaEngine::GetRealTimeMode(BOOL*) noexcept { return E_NOTIMPL; }
HRESULT FakeMediaEngine::SetRealTimeMode(BOOL) noexcept { return E_NOTIMPL; }
HRESULT FakeMediaEngine::SetCurrentTimeEx(double, MF_MEDIA_ENGINE_SEEK_MODE) noexcept { return E_NOTIMPL; }
HRESULT FakeMediaEngine::EnableTimeUpdateTimer(BOOL) noexcept { return E_NOTIMPL; }

VideoOpener paintedEngineOpener(COLORREF colour, std::vector<Microsoft::WRL::ComPtr<FakeMediaEngine>>& made)
{
    return [colour, &made](VideoWallpaper& video, const std::wstring&, double position) {
        Microsoft::WRL::ComPtr<FakeMediaEngine> engine = FakeMediaEngine::create();
        engine->deliverFrames = true;
        engine->frameColour = colour;
        made.push_back(engine);
        return video.openEngine(engine, engine->sink, position);
    };
}
