#pragma once
// The Media Engine's notification sink. Playback is polled on the user-interface thread, so
// the sink answers only the engine's one handshake and notes which events have come, for the
// poll to read; it is called on Media Foundation's own threads and touches nothing but the
// event handle it is given and its own atomic record.
#include <atomic>
#include <cstdint>

#include "platform/com_object.h"
#include "video/media_foundation.h"

class MediaEvents final : public ComObject<IMFMediaEngineNotify> {
public:
    MediaEvents() noexcept = default;

    HRESULT STDMETHODCALLTYPE EventNotify(DWORD event, DWORD_PTR param1, DWORD param2) noexcept override;

    // Whether the engine has reported this event (MF_MEDIA_ENGINE_EVENT_...) since it was made.
    // Only the events of the HTML media element (1 to 63) and the engine's own (1000 to 1063)
    // are noted; any other is never seen.
    [[nodiscard]] bool seen(DWORD event) const noexcept;

private:
    ~MediaEvents() override = default;

    std::atomic<std::uint64_t> elementEvents_{0};
    std::atomic<std::uint64_t> engineEvents_{0};
};
