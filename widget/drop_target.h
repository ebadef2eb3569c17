#pragma once
// The widget's OLE drop target. It judges a drag by the names of the files it carries,
// lights the widget's highlight while a copy would be accepted, and on the drop hands the
// list on; the wallpaper work runs later, after the drag-and-drop call has returned.
#include <windows.h>
#include <oleidl.h>

#include <string>
#include <vector>

#include "platform/com_object.h"

// What the drop target tells its widget.
class DropTargetSink {
public:
    [[nodiscard]] virtual bool dropHighlight() const noexcept = 0;
    // Called only when the highlight changes.
    virtual void setDropHighlight(bool on) noexcept = 0;
    // The paths of a drop, in the source's order.
    virtual void filesDropped(std::vector<std::wstring> paths) noexcept = 0;

protected:
    ~DropTargetSink() = default;
};

// The paths of the CF_HDROP data an object carries; empty when it carries none.
[[nodiscard]] std::vector<std::wstring> readDroppedPaths(IDataObject* dataObject) noexcept;

// Copy when the drag is acceptable and the source allows copying; never move or link.
[[nodiscard]] DWORD dropEffectFor(bool canAccept, DWORD allowedEffects) noexcept;

class DropTarget final : public ComObject<IDropTarget> {
public:
    // Starts with one reference, which the creator releases.
    explicit DropTarget(DropTargetSink& sink) noexcept : sink_(&sink) {}

    // A drag source may hold the target beyond the widget's life: after this, the target
    // answers every drag with no effect and touches nothing.
    void disconnect() noexcept { sink_ = nullptr; }

    HRESULT STDMETHODCALLTYPE DragEnter(IDataObject* dataObject, DWORD keyState, POINTL point,
                                        DWORD* effect) noexcept override;
    HRESULT STDMETHODCALLTYPE DragOver(DWORD keyState, POINTL point, DWORD* effect) noexcept override;
    HRESULT STDMETHODCALLTYPE DragLeave() noexcept override;
    HRESULT STDMETHODCALLTYPE Drop(IDataObject* dataObject, DWORD keyState, POINTL point,
                                   DWORD* effect) noexcept override;

private:
    ~DropTarget() override = default;
    void applyEffectRule(DWORD* effect) noexcept;
    void showHighlight(bool on) noexcept;

    DropTargetSink* sink_;
    bool canAccept_ = false;
};
