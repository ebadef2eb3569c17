#pragma once
// A stand-in Media Engine for what Wine's real one cannot show: an engine whose streams can be
// selected, one that answers E_NOTIMPL there, and one that accepts Play and then never delivers
// a frame (a stalled engine).
//
//     auto engine = FakeMediaEngine::create();
//     engine->streams = {MFMediaType_Video, MFMediaType_Audio};
//     VideoWallpaper video;
//     ASSERT_EQ(video.openEngine(engine, engine->sink, 0.0), S_OK);
//     video.pumpFrame();               // metadata known: the audio stream off, then Play
//     EXPECT_EQ(engine->calls, ...);   // L"SetStreamSelection(1, 0)", L"ApplyStreamSelections", L"Play"
//
// The engine reports the metadata at once (ready state 1), a 64x48 video of 2 s, and no error.
// OnVideoStreamTick answers S_FALSE (no frame) unless deliverFrames is set; a "frame" then
// transfers nothing into the texture, or paints it with `frameColour`. Each tick while playing is
// the next frame, and the time is that frame's; with `clock` set, frames and time follow that
// clock instead. Calls that matter to playback are logged in `calls`.
// Used on the test's thread only.
#include <windows.h>

#include <optional>
#include <string>
#include <vector>

#include "platform/com_object.h"
#include "video/media_events.h"
#include "video/media_foundation.h"
#include "video/video_lifecycle.h"

#include <wrl/client.h>

class FakeMediaEngine final : public ComObject<IMFMediaEngineEx> {
public:
    static Microsoft::WRL::ComPtr<FakeMediaEngine> create();

    // --- What the engine answers ---
    // The major type of each stream of the source (MFMediaType_Video, MFMediaType_Audio, ...).
    std::vector<GUID> streams;
    // What every stream-selection call answers (GetNumberOfStreams, GetStreamAttribute,
    // SetStreamSelection, ApplyStreamSelections): Wine 8 answers E_NOTIMPL.
    HRESULT streamSelectionResult = S_OK;
    // Whether the engine offers IMFMediaEngineEx at all.
    bool extended = true;
    HRESULT playResult = S_OK;
    bool deliverFrames = false;
    // The time between frames, in 100-ns units (30 frames a second unless changed).
    LONGLONG frameTicks = 333'333;
    // When set, the engine plays on this clock (seconds): GetCurrentTime answers it, and a tick
    // gives the latest frame at or before it (the same one again until the clock passes the next).
    // Unset, every tick gives a new frame.
    std::optional<double> clock;
    // How far the frames lag behind that clock, in seconds (a decoder that does not keep up).
    double lag = 0.0;
    // When set, every frame transferred fills the texture with this colour.
    std::optional<COLORREF> frameColour;
    // The sink the engine reports to; the test reports events through it (sink->EventNotify).
    Microsoft::WRL::ComPtr<MediaEvents> sink;

    // --- What the engine was asked ---
    std::vector<std::wstring> calls;
    // The streams switched off, in order.
    std::vector<DWORD> deselected;
    // The presentation time of each frame transferred, in order.
    std::vector<LONGLONG> transferred;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) noexcept override;

    // IMFMediaEngine
    HRESULT STDMETHODCALLTYPE GetError(IMFMediaError** error) noexcept override;
    HRESULT STDMETHODCALLTYPE SetErrorCode(MF_MEDIA_ENGINE_ERR error) noexcept override;
    HRESULT STDMETHODCALLTYPE SetSourceElements(IMFMediaEngineSrcElements* elements) noexcept override;
    HRESULT STDMETHODCALLTYPE SetSource(BSTR url) noexcept override;
    HRESULT STDMETHODCALLTYPE GetCurrentSource(BSTR* url) noexcept override;
    USHORT STDMETHODCALLTYPE GetNetworkState() noexcept override;
    MF_MEDIA_ENGINE_PRELOAD STDMETHODCALLTYPE GetPreload() noexcept override;
    HRESULT STDMETHODCALLTYPE SetPreload(MF_MEDIA_ENGINE_PRELOAD preload) noexcept override;
    HRESULT STDMETHODCALLTYPE GetBuffered(IMFMediaTimeRange** buffered) noexcept override;
    HRESULT STDMETHODCALLTYPE Load() noexcept override;
    HRESULT STDMETHODCALLTYPE CanPlayType(BSTR type, MF_MEDIA_ENGINE_CANPLAY* answer) noexcept override;
    USHORT STDMETHODCALLTYPE GetReadyState() noexcept override;
    BOOL STDMETHODCALLTYPE IsSeeking() noexcept override;
    double STDMETHODCALLTYPE GetCurrentTime() noexcept override;
    HRESULT STDMETHODCALLTYPE SetCurrentTime(double time) noexcept override;
    double STDMETHODCALLTYPE GetStartTime() noexcept override;
    double STDMETHODCALLTYPE GetDuration() noexcept override;
    BOOL STDMETHODCALLTYPE IsPaused() noexcept override;
    double STDMETHODCALLTYPE GetDefaultPlaybackRate() noexcept override;
    HRESULT STDMETHODCALLTYPE SetDefaultPlaybackRate(double rate) noexcept override;
    double STDMETHODCALLTYPE GetPlaybackRate() noexcept override;
    HRESULT STDMETHODCALLTYPE SetPlaybackRate(double rate) noexcept override;
    HRESULT STDMETHODCALLTYPE GetPlayed(IMFMediaTimeRange** played) noexcept override;
    HRESULT STDMETHODCALLTYPE GetSeekable(IMFMediaTimeRange** seekable) noexcept override;
    BOOL STDMETHODCALLTYPE IsEnded() noexcept override;
    BOOL STDMETHODCALLTYPE GetAutoPlay() noexcept override;
    HRESULT STDMETHODCALLTYPE SetAutoPlay(BOOL autoplay) noexcept override;
    BOOL STDMETHODCALLTYPE GetLoop() noexcept override;
    HRESULT STDMETHODCALLTYPE SetLoop(BOOL loop) noexcept override;
    HRESULT STDMETHODCALLTYPE Play() noexcept override;
    HRESULT STDMETHODCALLTYPE Pause() noexcept override;
    BOOL STDMETHODCALLTYPE GetMuted() noexcept override;
    HRESULT STDMETHODCALLTYPE SetMuted(BOOL muted) noexcept override;
    double STDMETHODCALLTYPE GetVolume() noexcept override;
    HRESULT STDMETHODCALLTYPE SetVolume(double volume) noexcept override;
    BOOL STDMETHODCALLTYPE HasVideo() noexcept override;
    BOOL STDMETHODCALLTYPE HasAudio() noexcept override;
    HRESULT STDMETHODCALLTYPE GetNativeVideoSize(DWORD* cx, DWORD* cy) noexcept override;
    HRESULT STDMETHODCALLTYPE GetVideoAspectRatio(DWORD* cx, DWORD* cy) noexcept override;
    HRESULT STDMETHODCALLTYPE Shutdown() noexcept override;
    HRESULT STDMETHODCALLTYPE TransferVideoFrame(IUnknown* surface, const MFVideoNormalizedRect* src, const RECT* dst,
                                                 const MFARGB* color) noexcept override;
    HRESULT STDMETHODCALLTYPE OnVideoStreamTick(LONGLONG* time) noexcept override;

    // IMFMediaEngineEx
    HRESULT STDMETHODCALLTYPE SetSourceFromByteStream(IMFByteStream* bytestream, BSTR url) noexcept override;
    HRESULT STDMETHODCALLTYPE GetStatistics(MF_MEDIA_ENGINE_STATISTIC stat_id, PROPVARIANT* stat) noexcept override;
    HRESULT STDMETHODCALLTYPE UpdateVideoStream(const MFVideoNormalizedRect* src, const RECT* dst,
                                                const MFARGB* border_color) noexcept override;
    double STDMETHODCALLTYPE GetBalance() noexcept override;
    HRESULT STDMETHODCALLTYPE SetBalance(double balance) noexcept override;
    BOOL STDMETHODCALLTYPE IsPlaybackRateSupported(double rate) noexcept override;
    HRESULT STDMETHODCALLTYPE FrameStep(BOOL forward) noexcept override;
    HRESULT STDMETHODCALLTYPE GetResourceCharacteristics(DWORD* flags) noexcept override;
    HRESULT STDMETHODCALLTYPE GetPresentationAttribute(REFGUID attribute, PROPVARIANT* value) noexcept override;
    HRESULT STDMETHODCALLTYPE GetNumberOfStreams(DWORD* stream_count) noexcept override;
    HRESULT STDMETHODCALLTYPE GetStreamAttribute(DWORD stream_index, REFGUID attribute,
                                                 PROPVARIANT* value) noexcept override;
    HRESULT STDMETHODCALLTYPE GetStreamSelection(DWORD stream_index, BOOL* enabled) noexcept override;
    HRESULT STDMETHODCALLTYPE SetStreamSelection(DWORD stream_index, BOOL enabled) noexcept override;
    HRESULT STDMETHODCALLTYPE ApplyStreamSelections() noexcept override;
    HRESULT STDMETHODCALLTYPE IsProtected(BOOL* isProtected) noexcept override;
    HRESULT STDMETHODCALLTYPE InsertVideoEffect(IUnknown* effect, BOOL is_optional) noexcept override;
    HRESULT STDMETHODCALLTYPE InsertAudioEffect(IUnknown* effect, BOOL is_optional) noexcept override;
    HRESULT STDMETHODCALLTYPE RemoveAllEffects() noexcept override;
    HRESULT STDMETHODCALLTYPE SetTimelineMarkerTimer(double timeout) noexcept override;
    HRESULT STDMETHODCALLTYPE GetTimelineMarkerTimer(double* timeout) noexcept override;
    HRESULT STDMETHODCALLTYPE CancelTimelineMarkerTimer() noexcept override;
    BOOL STDMETHODCALLTYPE IsStereo3D() noexcept override;
    HRESULT STDMETHODCALLTYPE GetStereo3DFramePackingMode(MF_MEDIA_ENGINE_S3D_PACKING_MODE* mode) noexcept override;
    HRESULT STDMETHODCALLTYPE SetStereo3DFramePackingMode(MF_MEDIA_ENGINE_S3D_PACKING_MODE mode) noexcept override;
    HRESULT STDMETHODCALLTYPE GetStereo3DRenderMode(MF3DVideoOutputType* output_type) noexcept override;
    HRESULT STDMETHODCALLTYPE SetStereo3DRenderMode(MF3DVideoOutputType output_type) noexcept override;
    HRESULT STDMETHODCALLTYPE EnableWindowlessSwapchainMode(BOOL enable) noexcept override;
    HRESULT STDMETHODCALLTYPE GetVideoSwapchainHandle(HANDLE* swapchain) noexcept override;
    HRESULT STDMETHODCALLTYPE EnableHorizontalMirrorMode(BOOL enable) noexcept override;
    HRESULT STDMETHODCALLTYPE GetAudioStreamCategory(UINT32* category) noexcept override;
    HRESULT STDMETHODCALLTYPE SetAudioStreamCategory(UINT32 category) noexcept override;
    HRESULT STDMETHODCALLTYPE GetAudioEndpointRole(UINT32* role) noexcept override;
    HRESULT STDMETHODCALLTYPE SetAudioEndpointRole(UINT32 role) noexcept override;
    HRESULT STDMETHODCALLTYPE GetRealTimeMode(BOOL* enabled) noexcept override;
    HRESULT STDMETHODCALLTYPE SetRealTimeMode(BOOL enable) noexcept override;
    HRESULT STDMETHODCALLTYPE SetCurrentTimeEx(double seektime, MF_MEDIA_ENGINE_SEEK_MODE mode) noexcept override;
    HRESULT STDMETHODCALLTYPE EnableTimeUpdateTimer(BOOL enable) noexcept override;

private:
    FakeMediaEngine() noexcept = default;
    ~FakeMediaEngine() override = default;

    bool playing_ = false;
    LONGLONG frameTime_ = 0;
};

// An opener for the video lifecycle whose videos play on stand-in engines, each frame painted
// `colour`: what a test uses where Wine's engine cannot be relied on. Every engine it makes is
// kept in `made`, the latest last.
VideoOpener paintedEngineOpener(COLORREF colour, std::vector<Microsoft::WRL::ComPtr<FakeMediaEngine>>& made);
