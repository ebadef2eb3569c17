#pragma once
// The Media Engine's notification sink. Playback is polled on the user-interface thread, so
// the sink answers only the engine's one handshake; it is called on Media Foundation's own
// threads and touches nothing but the event handle it is given.
#include <atomic>

#include "video/media_foundation.h"

class MediaEvents final : public IMFMediaEngineNotify {
public:
    MediaEvents() noexcept = default;
    MediaEvents(const MediaEvents&) = delete;
    MediaEvents& operator=(const MediaEvents&) = delete;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) noexcept override;
    ULONG STDMETHODCALLTYPE AddRef() noexcept override;
    ULONG STDMETHODCALLTYPE Release() noexcept override;
    HRESULT STDMETHODCALLTYPE EventNotify(DWORD event, DWORD_PTR param1, DWORD param2) noexcept override;

private:
    ~MediaEvents() = default;
    std::atomic<ULONG> references{1};
};
