// Opening a video in the Media Engine, pulling its frames, pausing, and the object's end.
#include "platform/unique_handle.h"
#include "video/audio_streams.h"
#include "video/media_events.h"
#include "video/video_libraries.h"
#include "video/video_wallpaper.h"

#include <algorithm>
#include <cmath>
#include <utility>

using Microsoft::WRL::ComPtr;

namespace {

constexpr USHORT kEngineHasMetadata = 1; // MF_MEDIA_ENGINE_READY_HAVE_METADATA

} // namespace

VideoWallpaper::~VideoWallpaper()
{
    // The engine's threads stop before anything they use goes away.
    if (engine)
        engine->Shutdown();
    destroyWindows();
    // The members release the rest in the reverse of their declaration: the buffer, the frame's
    // view and textures, this video's hold on the device, and the engine last.
}

HRESULT VideoWallpaper::open(const std::wstring& path, double position) noexcept
{
    const VideoLibraries* libraries = nullptr;
    if (const HRESULT hr = loadVideoLibraries(libraries); FAILED(hr))
        return hr;
    if (!graphics) {
        if (const HRESULT hr = createGraphics(); FAILED(hr))
            return hr;
    }

    ComPtr<MediaEvents> events = adoptReference(new (std::nothrow) MediaEvents());
    if (!events)
        return E_OUTOFMEMORY;

    ComPtr<IMFAttributes> attributes;
    if (const HRESULT hr = libraries->createAttributes(&attributes, 3); FAILED(hr))
        return hr;
    if (const HRESULT hr = attributes->SetUnknown(MF_MEDIA_ENGINE_DXGI_MANAGER, graphics->deviceManager()); FAILED(hr))
        return hr;
    if (const HRESULT hr = attributes->SetUnknown(MF_MEDIA_ENGINE_CALLBACK, events.Get()); FAILED(hr))
        return hr;
    if (const HRESULT hr = attributes->SetUINT32(MF_MEDIA_ENGINE_VIDEO_OUTPUT_FORMAT, DXGI_FORMAT_B8G8R8A8_UNORM);
        FAILED(hr))
        return hr;

    ComPtr<IMFMediaEngineClassFactory> factory;
    if (const HRESULT hr =
            CoCreateInstance(CLSID_MFMediaEngineClassFactory, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&factory));
        FAILED(hr))
        return hr;
    ComPtr<IMFMediaEngine> made;
    if (const HRESULT hr = factory->CreateInstance(0, attributes.Get(), &made); FAILED(hr))
        return hr;
    if (const HRESULT hr = adoptEngine(std::move(made), std::move(events), position); FAILED(hr))
        return hr;

    const UniqueBstr source(SysAllocString(path.c_str()));
    if (!source)
        return E_OUTOFMEMORY;
    sourcePath = path;
    return engine->SetSource(source.get());
}

HRESULT VideoWallpaper::openEngine(ComPtr<IMFMediaEngine> madeEngine, ComPtr<MediaEvents> sink,
                                   double position) noexcept
{
    if (!madeEngine || !sink)
        return E_POINTER;
    if (!graphics) {
        if (const HRESULT hr = createGraphics(); FAILED(hr))
            return hr;
    }
    return adoptEngine(std::move(madeEngine), std::move(sink), position);
}

HRESULT VideoWallpaper::adoptEngine(ComPtr<IMFMediaEngine> madeEngine, ComPtr<MediaEvents> sink,
                                    double position) noexcept
{
    engine = std::move(madeEngine);
    engineEvents = std::move(sink);
    startPosition = position;
    // Silent and endless; playback starts once the engine knows the file's streams.
    if (const HRESULT hr = engine->SetMuted(TRUE); FAILED(hr))
        return hr;
    return engine->SetLoop(TRUE);
}

bool VideoWallpaper::metadataLoaded() const noexcept
{
    return engineEvents->seen(MF_MEDIA_ENGINE_EVENT_LOADEDMETADATA) || engine->GetReadyState() >= kEngineHasMetadata;
}

// Once the engine has the file's metadata: the textures of the video's size, the saved
// position, no sound, and playback. S_FALSE while the engine is not that far yet.
HRESULT VideoWallpaper::startPlayback() noexcept
{
    if (!metadataLoaded())
        return S_FALSE;
    if (!engine->HasVideo())
        return MF_E_INVALIDMEDIATYPE;
    DWORD width = 0;
    DWORD height = 0;
    if (const HRESULT hr = engine->GetNativeVideoSize(&width, &height); FAILED(hr))
        return hr;
    if (width == 0 || height == 0)
        return MF_E_INVALIDMEDIATYPE;

    D3D11_TEXTURE2D_DESC description{};
    description.Width = width;
    description.Height = height;
    description.MipLevels = 1;
    description.ArraySize = 1;
    description.Format = DXGI_FORMAT_B8G8R8A8_UNORM;
    description.SampleDesc.Count = 1;
    description.Usage = D3D11_USAGE_DEFAULT;
    description.BindFlags = D3D11_BIND_SHADER_RESOURCE | D3D11_BIND_RENDER_TARGET;
    frameTexture.Reset();
    if (const HRESULT hr = device->CreateTexture2D(&description, nullptr, &frameTexture); FAILED(hr))
        return hr;
    // A reopened engine keeps the copy of the last frame, which the windows may draw again
    // until its first frame comes.
    D3D11_TEXTURE2D_DESC kept{};
    if (drawTexture)
        drawTexture->GetDesc(&kept);
    if (!drawTexture || kept.Width != width || kept.Height != height) {
        frameView.Reset();
        drawTexture.Reset();
        hasFrame = false;
        description.BindFlags = D3D11_BIND_SHADER_RESOURCE;
        if (const HRESULT hr = device->CreateTexture2D(&description, nullptr, &drawTexture); FAILED(hr))
            return hr;
        if (const HRESULT hr = device->CreateShaderResourceView(drawTexture.Get(), nullptr, &frameView); FAILED(hr))
            return hr;
    }

    // A saved position at or past the end, or an unknown duration, starts from the beginning;
    // so does a seek the engine refuses (Wine 8's answers E_NOTIMPL): the video still plays.
    const double duration = engine->GetDuration();
    if (startPosition > 0.0 && !std::isnan(duration) && startPosition < duration)
        (void)engine->SetCurrentTime(startPosition);
    // Whatever the answer, the video plays: at worst its sound is decoded and thrown away.
    audioSelectionResult = deselectAudioStreams(*engine.Get());
    if (const HRESULT hr = engine->Play(); FAILED(hr))
        return hr;
    playing = true;
    playRequestedAt = clock->tickCount();
    return S_OK;
}

bool VideoWallpaper::playbackStalled() const noexcept
{
    if (!playing || hasFrame || engineEvents->seen(MF_MEDIA_ENGINE_EVENT_FIRSTFRAMEREADY) ||
        engineEvents->seen(MF_MEDIA_ENGINE_EVENT_PLAYING))
        return false;
    return clock->tickCount() - playRequestedAt >= kPlaybackStartTimeoutMs;
}

HRESULT VideoWallpaper::pumpFrame() noexcept
{
    // Nothing opened, nothing to draw yet.
    if (!engine)
        return S_FALSE;

    ComPtr<IMFMediaError> error;
    if (SUCCEEDED(engine->GetError(&error)) && error) {
        const HRESULT code = error->GetExtendedErrorCode();
        return FAILED(code) ? code : MF_E_INVALID_FILE_FORMAT;
    }

    if (!playing) {
        if (const HRESULT hr = startPlayback(); hr != S_OK)
            return hr;
    }

    LONGLONG frameTime = 0;
    if (const HRESULT hr = engine->OnVideoStreamTick(&frameTime); hr != S_OK)
        return hr == S_FALSE && playbackStalled() ? kPlaybackStalled : hr;
    // Some engines answer S_OK for a frame they reported already: nothing new to transfer.
    if (hasFrame && frameTime == lastFrameTime)
        return S_FALSE;

    D3D11_TEXTURE2D_DESC description{};
    frameTexture->GetDesc(&description);
    const RECT target{0, 0, static_cast<LONG>(description.Width), static_cast<LONG>(description.Height)};
    const MFARGB border{0, 0, 0, 255}; // blue, green, red, alpha: opaque black

    // The frame must not stay bound as a shader input while the engine writes it.
    ID3D11ShaderResourceView* const noView = nullptr;
    context->PSSetShaderResources(0, 1, &noView);
    const HRESULT result = engine->TransferVideoFrame(frameTexture.Get(), nullptr, &target, &border);
    if (FAILED(result))
        return result;
    // Drawn from a copy: Wine's Direct3D went on sampling the first frame's contents of a texture
    // that the engine had written again, while a copy always carried the latest frame.
    context->CopyResource(drawTexture.Get(), frameTexture.Get());
    // A step back is the loop starting over; a long step, frames the decoder dropped.
    if (hasFrame && lastFrameTime >= 0 && frameTime > lastFrameTime) {
        const LONGLONG step = std::max<LONGLONG>(frameTime - lastFrameTime, kShortestFrameWaitMs * 10'000LL);
        if (frameInterval == 0 || step < frameInterval)
            frameInterval = step;
    }
    hasFrame = true;
    lastFrameTime = frameTime;
    return S_OK;
}

UINT VideoWallpaper::frameWaitMs(UINT fallback, bool newFrame) const noexcept
{
    if (!engine || !hasFrame || frameInterval == 0)
        return fallback;
    const double intervalMs = static_cast<double>(frameInterval) / 10'000.0;
    // A frame after a new one, a little less (rounded down), so that the wakes drift ahead of the
    // frames, never behind them into a frame that would be passed over; a look that found nothing
    // came early, and the next is a quarter of a frame later.
    const double waitMs = newFrame ? std::floor(intervalMs) : std::ceil(intervalMs / 4.0);
    return static_cast<UINT>(std::clamp(waitMs, static_cast<double>(kShortestFrameWaitMs),
                                        static_cast<double>(kLongestFrameWaitMs)));
}

HRESULT VideoWallpaper::setPaused(bool paused) noexcept
{
    if (!engine)
        return paused && engineReleased() ? S_OK : HRESULT_FROM_WIN32(ERROR_NOT_READY);
    return paused ? engine->Pause() : engine->Play();
}

double VideoWallpaper::currentTime() const noexcept
{
    return engine ? engine->GetCurrentTime() : startPosition;
}

void VideoWallpaper::releaseEngine() noexcept
{
    if (!engine)
        return;
    startPosition = engine->GetCurrentTime();
    engine->Shutdown();
    engine.Reset();
    engineEvents.Reset();
    frameTexture.Reset();
    playing = false;
    lastFrameTime = -1;
}

HRESULT VideoWallpaper::reopenEngine() noexcept
{
    if (engine || sourcePath.empty())
        return HRESULT_FROM_WIN32(ERROR_NOT_READY);
    const std::wstring path = sourcePath;
    return open(path, startPosition);
}

