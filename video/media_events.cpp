#include "video/media_events.h"

namespace {

constexpr DWORD kEngineEventBase = 1000; // MF_MEDIA_ENGINE_EVENT_FORMATCHANGE, the first of the engine's own

// The record and bit of an event; false for one outside both ranges.
bool bitOf(DWORD event, bool& engineEvent, std::uint64_t& bit) noexcept
{
    engineEvent = event >= kEngineEventBase;
    const DWORD index = engineEvent ? event - kEngineEventBase : event;
    if (index >= 64)
        return false;
    bit = std::uint64_t{1} << index;
    return true;
}

} // namespace

HRESULT MediaEvents::EventNotify(DWORD event, DWORD_PTR param1, DWORD) noexcept
{
    // The engine waits on this event before it reports a stable state.
    if (event == MF_MEDIA_ENGINE_EVENT_NOTIFYSTABLESTATE && param1 != 0)
        SetEvent(reinterpret_cast<HANDLE>(param1));
    bool engineEvent = false;
    std::uint64_t bit = 0;
    if (bitOf(event, engineEvent, bit))
        (engineEvent ? engineEvents_ : elementEvents_).fetch_or(bit, std::memory_order_release);
    return S_OK;
}

bool MediaEvents::seen(DWORD event) const noexcept
{
    bool engineEvent = false;
    std::uint64_t bit = 0;
    if (!bitOf(event, engineEvent, bit))
        return false;
    return ((engineEvent ? engineEvents_ : elementEvents_).load(std::memory_order_acquire) & bit) != 0;
}
