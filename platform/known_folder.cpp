#include "platform/known_folder.h"

#include "platform/unique_handle.h"

HRESULT knownFolderPath(REFKNOWNFOLDERID id, std::wstring& path) noexcept
{
    // The shell's string is freed whether or not the call succeeded.
    UniqueTaskString folder;
    const HRESULT hr = SHGetKnownFolderPath(id, 0, nullptr, folder.put());
    if (FAILED(hr))
        return hr;
    if (!folder)
        return E_UNEXPECTED;
    try {
        path = folder.get();
    } catch (...) {
        return E_OUTOFMEMORY;
    }
    return S_OK;
}
