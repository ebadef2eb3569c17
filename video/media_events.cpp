#include "video/media_events.h"

HRESULT MediaEvents::EventNotify(DWORD event, DWORD_PTR param1, DWORD) noexcept
{
    // The engine waits on this event before it reports a stable state.
    if (event == MF_MEDIA_ENGINE_EVENT_NOTIFYSTABLESTATE && param1 != 0)
        SetEvent(reinterpret_cast<HANDLE>(param1));
    return S_OK;
}
