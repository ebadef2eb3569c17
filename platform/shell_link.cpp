#include "platform/shell_link.h"

#include <objbase.h>
#include <objidl.h>
#include <shlobj.h>
#include <shobjidl.h>
#include <wrl/client.h>

#include <vector>

using Microsoft::WRL::ComPtr;

namespace {

// The longest path Windows knows.
constexpr int kLongPathBuffer = 32768;

} // namespace

HRESULT writeShellLink(const std::wstring& linkPath, const std::wstring& target, const std::wstring& workingFolder,
                       const std::wstring& description) noexcept
{
    ComPtr<IShellLinkW> link;
    if (const HRESULT hr = CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&link));
        FAILED(hr))
        return hr;
    if (const HRESULT hr = link->SetPath(target.c_str()); FAILED(hr))
        return hr;
    if (const HRESULT hr = link->SetWorkingDirectory(workingFolder.c_str()); FAILED(hr))
        return hr;
    if (const HRESULT hr = link->SetDescription(description.c_str()); FAILED(hr))
        return hr;
    ComPtr<IPersistFile> file;
    if (const HRESULT hr = link.As(&file); FAILED(hr))
        return hr;
    return file->Save(linkPath.c_str(), TRUE);
}

HRESULT readShellLinkTarget(const std::wstring& linkPath, std::wstring& target) noexcept
{
    target.clear();
    ComPtr<IShellLinkW> link;
    if (const HRESULT hr = CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&link));
        FAILED(hr))
        return hr;
    ComPtr<IPersistFile> file;
    if (const HRESULT hr = link.As(&file); FAILED(hr))
        return hr;
    if (const HRESULT hr = file->Load(linkPath.c_str(), STGM_READ); FAILED(hr))
        return hr;
    std::vector<wchar_t> buffer;
    try {
        buffer.assign(kLongPathBuffer, L'\0');
    } catch (...) {
        return E_OUTOFMEMORY;
    }
    // S_FALSE means the link names no file system path: no target to report.
    const HRESULT hr = link->GetPath(buffer.data(), kLongPathBuffer, nullptr, SLGP_RAWPATH);
    if (FAILED(hr))
        return hr;
    try {
        target = buffer.data();
    } catch (...) {
        return E_OUTOFMEMORY;
    }
    return hr;
}
