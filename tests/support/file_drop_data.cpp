#include "tests/support/file_drop_data.h"
#include "platform/com_object.h"
#include "platform/unique_handle.h"

#include <shlobj.h>

#include <cstring>

namespace {

HGLOBAL copyOf(const void* bytes, std::size_t size)
{
    HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, size);
    if (!memory)
        return nullptr;
    std::memcpy(GlobalLock(memory), bytes, size);
    GlobalUnlock(memory);
    return memory;
}

// One format, held as a block of bytes; every GetData hands out a fresh copy.
class OneFormatData final : public ComObject<IDataObject> {
public:
    OneFormatData(CLIPFORMAT format, std::vector<char> bytes) : bytes_(std::move(bytes))
    {
        format_ = FORMATETC{format, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
    }

    HRESULT STDMETHODCALLTYPE GetData(FORMATETC* format, STGMEDIUM* medium) noexcept override
    {
        if (!format || !medium)
            return E_INVALIDARG;
        if (const HRESULT hr = QueryGetData(format); hr != S_OK)
            return hr;
        medium->tymed = TYMED_HGLOBAL;
        medium->hGlobal = copyOf(bytes_.data(), bytes_.size());
        medium->pUnkForRelease = nullptr;
        return medium->hGlobal ? S_OK : E_OUTOFMEMORY;
    }
    HRESULT STDMETHODCALLTYPE GetDataHere(FORMATETC*, STGMEDIUM*) noexcept override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE QueryGetData(FORMATETC* format) noexcept override
    {
        if (!format)
            return E_INVALIDARG;
        if (format->cfFormat != format_.cfFormat)
            return DV_E_FORMATETC;
        if ((format->tymed & TYMED_HGLOBAL) == 0)
            return DV_E_TYMED;
        if (format->dwAspect != DVASPECT_CONTENT)
            return DV_E_DVASPECT;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetCanonicalFormatEtc(FORMATETC*, FORMATETC* out) noexcept override
    {
        if (out)
            out->ptd = nullptr;
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE SetData(FORMATETC*, STGMEDIUM*, BOOL) noexcept override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE EnumFormatEtc(DWORD direction, IEnumFORMATETC** formats) noexcept override
    {
        if (direction != DATADIR_GET)
            return E_NOTIMPL;
        return SHCreateStdEnumFmtEtc(1, &format_, formats);
    }
    HRESULT STDMETHODCALLTYPE DAdvise(FORMATETC*, DWORD, IAdviseSink*, DWORD*) noexcept override
    {
        return OLE_E_ADVISENOTSUPPORTED;
    }
    HRESULT STDMETHODCALLTYPE DUnadvise(DWORD) noexcept override { return OLE_E_ADVISENOTSUPPORTED; }
    HRESULT STDMETHODCALLTYPE EnumDAdvise(IEnumSTATDATA**) noexcept override { return OLE_E_ADVISENOTSUPPORTED; }

private:
    ~OneFormatData() override = default;

    FORMATETC format_{};
    std::vector<char> bytes_;
};

Microsoft::WRL::ComPtr<IDataObject> holding(CLIPFORMAT format, std::vector<char> bytes)
{
    return adoptReference<IDataObject>(new OneFormatData(format, std::move(bytes)));
}

} // namespace

Microsoft::WRL::ComPtr<IDataObject> fileDropData(const std::vector<std::wstring>& paths)
{
    // DROPFILES, then each path with its terminator, then one more terminator (two for an
    // empty list).
    std::wstring list;
    for (const std::wstring& path : paths) {
        list += path;
        list += L'\0';
    }
    if (paths.empty())
        list += L'\0';
    list += L'\0';
    DROPFILES header{};
    header.pFiles = sizeof(DROPFILES);
    header.fWide = TRUE;
    std::vector<char> bytes(sizeof(header) + list.size() * sizeof(wchar_t));
    std::memcpy(bytes.data(), &header, sizeof(header));
    std::memcpy(bytes.data() + sizeof(header), list.data(), list.size() * sizeof(wchar_t));
    return holding(CF_HDROP, std::move(bytes));
}

Microsoft::WRL::ComPtr<IDataObject> textData(const std::wstring& text)
{
    std::vector<char> bytes((text.size() + 1) * sizeof(wchar_t));
    std::memcpy(bytes.data(), text.c_str(), bytes.size());
    return holding(CF_UNICODETEXT, std::move(bytes));
}
