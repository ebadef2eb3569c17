#include "video/media_events.h"

HRESULT MediaEvents::QueryInterface(REFIID iid, void** out) noexcept
{
    if (!out)
        return E_POINTER;
    if (iid == __uuidof(IUnknown) || iid == __uuidof(IMFMediaEngineNotify)) {
        *out = static_cast<IMFMediaEngineNotify*>(this);
        AddRef();
        return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
}

ULONG MediaEvents::AddRef() noexcept
{
    return references.fetch_add(1, std::memory_order_relaxed) + 1;
}

ULONG MediaEvents::Release() noexcept
{
    const ULONG remaining = references.fetch_sub(1, std::memory_order_acq_rel) - 1;
    if (remaining == 0)
        delete this;
    return remaining;
}

HRESULT MediaEvents::EventNotify(DWORD event, DWORD_PTR param1, DWORD) noexcept
{
    // The engine waits on this event before it reports a stable state.
    if (event == MF_MEDIA_ENGINE_EVENT_NOTIFYSTABLESTATE && param1 != 0)
        SetEvent(reinterpret_cast<HANDLE>(param1));
    return S_OK;
}
