#include "tests/support/shortcuts.h"

#include <objbase.h>
#include <objidl.h>
#include <shlobj.h>
#include <shobjidl.h>
#include <wrl/client.h>

#include <vector>

using Microsoft::WRL::ComPtr;

Shortcut readShortcut(const std::wstring& path)
{
    Shortcut shortcut;
    ComPtr<IShellLinkW> link;
    ComPtr<IPersistFile> file;
    shortcut.loaded = CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&link));
    if (SUCCEEDED(shortcut.loaded))
        shortcut.loaded = link.As(&file);
    if (SUCCEEDED(shortcut.loaded))
        shortcut.loaded = file->Load(path.c_str(), STGM_READ);
    if (FAILED(shortcut.loaded))
        return shortcut;
    std::vector<wchar_t> text(32768, L'\0');
    if (SUCCEEDED(link->GetPath(text.data(), static_cast<int>(text.size()), nullptr, SLGP_RAWPATH)))
        shortcut.target = text.data();
    text.assign(text.size(), L'\0');
    if (SUCCEEDED(link->GetWorkingDirectory(text.data(), static_cast<int>(text.size()))))
        shortcut.workingDirectory = text.data();
    text.assign(text.size(), L'\0');
    if (SUCCEEDED(link->GetDescription(text.data(), static_cast<int>(text.size()))))
        shortcut.description = text.data();
    return shortcut;
}

HRESULT writeShortcut(const std::wstring& path, const std::wstring& target)
{
    ComPtr<IShellLinkW> link;
    ComPtr<IPersistFile> file;
    HRESULT hr = CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&link));
    if (SUCCEEDED(hr))
        hr = link->SetPath(target.c_str());
    if (SUCCEEDED(hr))
        hr = link.As(&file);
    if (SUCCEEDED(hr))
        hr = file->Save(path.c_str(), TRUE);
    return hr;
}

