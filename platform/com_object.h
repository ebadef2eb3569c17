#pragma once
// The IUnknown of our own COM objects: the drop target, the media-engine callback, the tests'
// data objects and the stand-in desktop-wallpaper servers.
//
//     class DropTarget final : public ComObject<IDropTarget> { ... };
//     auto target = adoptReference(new (std::nothrow) DropTarget(sink));
//
// An object starts with one reference, which its creator takes over (adoptReference), and
// deletes itself when the last one goes. QueryInterface answers IUnknown (always through the
// first interface of the list, so that every query for it gives the same pointer) and each
// interface of the list; each interface must derive from IUnknown directly.
#include <windows.h>
#include <unknwn.h>

#include <atomic>

template <typename First, typename... Rest>
class ComObject : public First, public Rest... {
public:
    ComObject(const ComObject&) = delete;
    ComObject& operator=(const ComObject&) = delete;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) noexcept override
    {
        if (!object)
            return E_POINTER;
        *object = interfaceFor(iid);
        if (!*object)
            return E_NOINTERFACE;
        AddRef();
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() noexcept override
    {
        return references_.fetch_add(1, std::memory_order_relaxed) + 1;
    }
    ULONG STDMETHODCALLTYPE Release() noexcept override
    {
        const ULONG remaining = references_.fetch_sub(1, std::memory_order_acq_rel) - 1;
        if (remaining == 0)
            delete this;
        return remaining;
    }

protected:
    ComObject() noexcept = default;
    virtual ~ComObject() = default;

private:
    void* interfaceFor(REFIID iid) noexcept
    {
        if (iid == __uuidof(IUnknown) || iid == __uuidof(First))
            return static_cast<First*>(this);
        void* found = nullptr;
        (void)((iid == __uuidof(Rest) && (found = static_cast<Rest*>(this)) != nullptr) || ...);
        return found;
    }

    std::atomic<ULONG> references_{1};
};
