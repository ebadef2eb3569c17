#include "video/audio_streams.h"

#include <propidl.h>
#include <wrl/client.h>

namespace {

// Whether stream `index` carries sound; false when the engine cannot tell.
bool isAudioStream(IMFMediaEngineEx& engine, DWORD index, HRESULT& failure) noexcept
{
    PROPVARIANT majorType;
    PropVariantInit(&majorType);
    failure = engine.GetStreamAttribute(index, MF_MT_MAJOR_TYPE, &majorType);
    const bool audio = SUCCEEDED(failure) && majorType.vt == VT_CLSID && majorType.puuid &&
                       *majorType.puuid == MFMediaType_Audio;
    PropVariantClear(&majorType);
    return audio;
}

} // namespace

HRESULT deselectAudioStreams(IMFMediaEngine& engine) noexcept
{
    Microsoft::WRL::ComPtr<IMFMediaEngineEx> extended;
    if (FAILED(engine.QueryInterface(IID_PPV_ARGS(&extended))) || !extended)
        return E_NOINTERFACE;
    DWORD count = 0;
    if (const HRESULT hr = extended->GetNumberOfStreams(&count); FAILED(hr))
        return hr;
    bool deselected = false;
    for (DWORD index = 0; index < count; ++index) {
        HRESULT failure = S_OK;
        if (!isAudioStream(*extended.Get(), index, failure)) {
            if (FAILED(failure))
                return failure;
            continue;
        }
        if (const HRESULT hr = extended->SetStreamSelection(index, FALSE); FAILED(hr))
            return hr;
        deselected = true;
    }
    if (!deselected)
        return S_FALSE;
    return extended->ApplyStreamSelections();
}
