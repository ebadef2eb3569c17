// peltorine_user.exe: does on the development desktop what a user does with the mouse, so that
// scripts/run can show Peltorine at work without anything in peltorine.exe for it.
//
//     peltorine_user.exe double-click     double-clicks Peltorine's widget, or its notification-area
//                                         icon while there is no widget (restores the default wallpaper)
//     peltorine_user.exe drop FILE...     drags the files onto the widget and drops them there
//
// Waits up to 20 s for Peltorine to start. Exit code 0 when the gesture was made, 2 when
// Peltorine or its widget is not there, 1 on any other failure.
#include <windows.h>
#include <objbase.h>
#include <ole2.h>
#include <shellapi.h>
#include <shlobj.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

constexpr UINT kTrayCallbackMessage = 0x8001;
constexpr UINT kTrayIconId = 1;
constexpr DWORD kStartTimeoutMs = 20000;

void say(const wchar_t* text, const std::wstring& detail = {})
{
    std::fwprintf(stderr, L"peltorine_user: %ls%ls\n", text, detail.c_str());
}

HWND waitForWindow(const wchar_t* className, DWORD milliseconds)
{
    const ULONGLONG deadline = GetTickCount64() + milliseconds;
    for (;;) {
        if (HWND window = FindWindowW(className, nullptr))
            return window;
        if (GetTickCount64() >= deadline)
            return nullptr;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 100, QS_ALLINPUT);
    }
}

POINT centreOf(HWND window)
{
    RECT rect{};
    GetWindowRect(window, &rect);
    return {(rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2};
}

int doubleClick()
{
    HWND control = waitForWindow(L"Peltorine.Control", kStartTimeoutMs);
    if (!control) {
        say(L"Peltorine is not running");
        return 2;
    }
    if (HWND widget = waitForWindow(L"Peltorine.Widget", 3000); widget && IsWindowVisible(widget)) {
        const POINT point = centreOf(widget);
        SetCursorPos(point.x, point.y);
        INPUT clicks[4]{};
        for (int i = 0; i < 4; ++i) {
            clicks[i].type = INPUT_MOUSE;
            clicks[i].mi.dwFlags = i % 2 == 0 ? MOUSEEVENTF_LEFTDOWN : MOUSEEVENTF_LEFTUP;
        }
        return SendInput(4, clicks, sizeof(INPUT)) == 4 ? 0 : 1;
    }
    // No widget: the shell tells the icon's owner about a double-click with its callback message
    // (version 4: the event in the low word, the icon id in the high word, the point in wParam).
    POINT point{};
    GetCursorPos(&point);
    return PostMessageW(control, kTrayCallbackMessage, MAKEWPARAM(point.x, point.y),
                        MAKELPARAM(WM_LBUTTONDBLCLK, kTrayIconId))
               ? 0
               : 1;
}

// A data object that offers a list of files as CF_HDROP, as Explorer's would.
class FileListData final : public IDataObject {
public:
    explicit FileListData(const std::vector<std::wstring>& files)
    {
        std::wstring list;
        for (const std::wstring& file : files)
            list += file + L'\0';
        list += L'\0';
        const SIZE_T bytes = sizeof(DROPFILES) + list.size() * sizeof(wchar_t);
        drop_ = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, bytes);
        if (auto* header = static_cast<DROPFILES*>(GlobalLock(drop_))) {
            header->pFiles = sizeof(DROPFILES);
            header->fWide = TRUE;
            memcpy(reinterpret_cast<BYTE*>(header) + sizeof(DROPFILES), list.data(), list.size() * sizeof(wchar_t));
            GlobalUnlock(drop_);
        }
    }
    ~FileListData() { GlobalFree(drop_); }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) noexcept override
    {
        if (iid == IID_IUnknown || iid == IID_IDataObject) {
            *object = static_cast<IDataObject*>(this);
            AddRef();
            return S_OK;
        }
        *object = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() noexcept override { return ++references_; }
    ULONG STDMETHODCALLTYPE Release() noexcept override
    {
        const ULONG left = --references_;
        if (left == 0)
            delete this;
        return left;
    }

    HRESULT STDMETHODCALLTYPE GetData(FORMATETC* format, STGMEDIUM* medium) noexcept override
    {
        if (QueryGetData(format) != S_OK)
            return DV_E_FORMATETC;
        const SIZE_T bytes = GlobalSize(drop_);
        HGLOBAL copy = GlobalAlloc(GMEM_MOVEABLE, bytes);
        void* target = GlobalLock(copy);
        void* source = GlobalLock(drop_);
        if (!target || !source) {
            GlobalFree(copy);
            return E_OUTOFMEMORY;
        }
        memcpy(target, source, bytes);
        GlobalUnlock(drop_);
        GlobalUnlock(copy);
        medium->tymed = TYMED_HGLOBAL;
        medium->hGlobal = copy;
        medium->pUnkForRelease = nullptr;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetDataHere(FORMATETC*, STGMEDIUM*) noexcept override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE QueryGetData(FORMATETC* format) noexcept override
    {
        return format && format->cfFormat == CF_HDROP && (format->tymed & TYMED_HGLOBAL) &&
                       format->dwAspect == DVASPECT_CONTENT
                   ? S_OK
                   : DV_E_FORMATETC;
    }
    HRESULT STDMETHODCALLTYPE GetCanonicalFormatEtc(FORMATETC*, FORMATETC* out) noexcept override
    {
        out->ptd = nullptr;
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE SetData(FORMATETC*, STGMEDIUM*, BOOL) noexcept override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE EnumFormatEtc(DWORD direction, IEnumFORMATETC** formats) noexcept override
    {
        if (direction != DATADIR_GET)
            return E_NOTIMPL;
        FORMATETC format{CF_HDROP, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
        return SHCreateStdEnumFmtEtc(1, &format, formats);
    }
    HRESULT STDMETHODCALLTYPE DAdvise(FORMATETC*, DWORD, IAdviseSink*, DWORD*) noexcept override
    {
        return OLE_E_ADVISENOTSUPPORTED;
    }
    HRESULT STDMETHODCALLTYPE DUnadvise(DWORD) noexcept override { return OLE_E_ADVISENOTSUPPORTED; }
    HRESULT STDMETHODCALLTYPE EnumDAdvise(IEnumSTATDATA**) noexcept override { return OLE_E_ADVISENOTSUPPORTED; }

private:
    ULONG references_ = 1;
    HGLOBAL drop_ = nullptr;
};

// The hand that holds the files: it stays over the widget for a few polls, so that the widget sees
// the drag enter and move, then lets go.
class HoldThenDrop final : public IDropSource {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) noexcept override
    {
        if (iid == IID_IUnknown || iid == IID_IDropSource) {
            *object = static_cast<IDropSource*>(this);
            AddRef();
            return S_OK;
        }
        *object = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() noexcept override { return ++references_; }
    ULONG STDMETHODCALLTYPE Release() noexcept override
    {
        const ULONG left = --references_;
        if (left == 0)
            delete this;
        return left;
    }
    HRESULT STDMETHODCALLTYPE QueryContinueDrag(BOOL escape, DWORD) noexcept override
    {
        if (escape)
            return DRAGDROP_S_CANCEL;
        return ++polls_ < 4 ? S_OK : DRAGDROP_S_DROP;
    }
    HRESULT STDMETHODCALLTYPE GiveFeedback(DWORD) noexcept override { return DRAGDROP_S_USEDEFAULTCURSORS; }

private:
    ULONG references_ = 1;
    int polls_ = 0;
};

int drop(const std::vector<std::wstring>& files)
{
    if (!waitForWindow(L"Peltorine.Control", kStartTimeoutMs)) {
        say(L"Peltorine is not running");
        return 2;
    }
    HWND widget = waitForWindow(L"Peltorine.Widget", 3000);
    if (!widget || !IsWindowVisible(widget)) {
        say(L"Peltorine shows no widget to drop files on");
        return 2;
    }
    std::vector<std::wstring> fullPaths;
    for (const std::wstring& file : files) {
        wchar_t full[MAX_PATH] = {};
        if (GetFullPathNameW(file.c_str(), MAX_PATH, full, nullptr) == 0) {
            say(L"no such file: ", file);
            return 1;
        }
        fullPaths.emplace_back(full);
    }
    if (FAILED(OleInitialize(nullptr)))
        return 1;
    const POINT point = centreOf(widget);
    SetCursorPos(point.x, point.y);
    auto* data = new FileListData(fullPaths);
    auto* source = new HoldThenDrop();
    DWORD effect = DROPEFFECT_NONE;
    const HRESULT hr = DoDragDrop(data, source, DROPEFFECT_COPY, &effect);
    source->Release();
    data->Release();
    OleUninitialize();
    if (hr != DRAGDROP_S_DROP || effect == DROPEFFECT_NONE) {
        say(L"the widget did not take the files");
        return 1;
    }
    return 0;
}

} // namespace

int wmain(int argc, wchar_t** argv)
{
    const std::vector<std::wstring> words(argv + 1, argv + argc);
    if (words.size() == 1 && words[0] == L"double-click")
        return doubleClick();
    if (words.size() >= 2 && words[0] == L"drop")
        return drop({words.begin() + 1, words.end()});
    say(L"usage: peltorine_user.exe double-click | drop FILE...");
    return 1;
}
