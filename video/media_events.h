#pragma once
// The Media Engine's notification sink. Playback is polled on the user-interface thread, so
// the sink answers only the engine's one handshake; it is called on Media Foundation's own
// threads and touches nothing but the event handle it is given.
#include "platform/com_object.h"
#include "video/media_foundation.h"

class MediaEvents final : public ComObject<IMFMediaEngineNotify> {
public:
    MediaEvents() noexcept = default;

    HRESULT STDMETHODCALLTYPE EventNotify(DWORD event, DWORD_PTR param1, DWORD param2) noexcept override;

private:
    ~MediaEvents() override = default;
};
