#include "widget/drop_target.h"

#include <shellapi.h>

#include "common/picture_files.h"
#include "platform/unique_handle.h"

std::vector<std::wstring> readDroppedPaths(IDataObject* dataObject) noexcept
{
    std::vector<std::wstring> paths;
    if (!dataObject)
        return paths;
    FORMATETC format{CF_HDROP, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
    UniqueStgMedium medium;
    if (FAILED(dataObject->GetData(&format, medium.put())))
        return paths;
    if (medium.get().tymed == TYMED_HGLOBAL && medium.get().hGlobal) {
        const auto drop = static_cast<HDROP>(medium.get().hGlobal);
        const UINT count = DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0);
        try {
            for (UINT index = 0; index < count; ++index) {
                const UINT length = DragQueryFileW(drop, index, nullptr, 0);
                if (length == 0)
                    continue;
                std::wstring path(length + 1, L'\0');
                // A length that changed between the two questions leaves the entry out.
                if (DragQueryFileW(drop, index, path.data(), length + 1) != length)
                    continue;
                path.resize(length);
                paths.push_back(std::move(path));
            }
        } catch (...) {
            paths.clear();
        }
    }
    return paths;
}

DWORD dropEffectFor(bool canAccept, DWORD allowedEffects) noexcept
{
    return canAccept && (allowedEffects & DROPEFFECT_COPY) ? DROPEFFECT_COPY : DROPEFFECT_NONE;
}

void DropTarget::showHighlight(bool on) noexcept
{
    if (sink_ && sink_->dropHighlight() != on)
        sink_->setDropHighlight(on);
}

void DropTarget::applyEffectRule(DWORD* effect) noexcept
{
    const DWORD answer = dropEffectFor(canAccept_ && sink_, effect ? *effect : DROPEFFECT_NONE);
    if (effect)
        *effect = answer;
    showHighlight(answer == DROPEFFECT_COPY);
}

HRESULT DropTarget::DragEnter(IDataObject* dataObject, DWORD, POINTL, DWORD* effect) noexcept
{
    try {
        canAccept_ = sink_ && isValidSelection(readDroppedPaths(dataObject));
    } catch (...) {
        canAccept_ = false;
    }
    applyEffectRule(effect);
    return S_OK;
}

HRESULT DropTarget::DragOver(DWORD, POINTL, DWORD* effect) noexcept
{
    applyEffectRule(effect);
    return S_OK;
}

HRESULT DropTarget::DragLeave() noexcept
{
    canAccept_ = false;
    showHighlight(false);
    return S_OK;
}

HRESULT DropTarget::Drop(IDataObject* dataObject, DWORD, POINTL, DWORD* effect) noexcept
{
    const DWORD allowed = effect ? *effect : DROPEFFECT_NONE;
    DWORD answer = DROPEFFECT_NONE;
    std::vector<std::wstring> paths = readDroppedPaths(dataObject);
    if (!paths.empty() && sink_) {
        bool valid = false;
        try {
            valid = isValidSelection(paths);
        } catch (...) {
        }
        // An invalid mix is handed over all the same, so that the user is told why nothing
        // happened; a valid one only when the source lets us copy.
        if (valid)
            answer = allowed & DROPEFFECT_COPY;
        if (!valid || answer == DROPEFFECT_COPY)
            sink_->filesDropped(std::move(paths));
    }
    if (effect)
        *effect = answer;
    canAccept_ = false;
    showHighlight(false);
    return S_OK;
}
