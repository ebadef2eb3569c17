#include "platform/win32_error.h"
#include "video/video_libraries.h"

#include <initializer_list>

namespace {

template <typename Function>
HRESULT bind(HMODULE module, const char* name, Function& function) noexcept
{
    // GetProcAddress returns an untyped pointer; the table's types come from the SDK headers.
    function = reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(module, name)));
    return function ? S_OK : failureFromLastError();
}

HRESULT loadSystemLibrary(const wchar_t* name, HMODULE& module) noexcept
{
    module = LoadLibraryExW(name, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
    return module ? S_OK : failureFromLastError();
}

HRESULT loadAll(VideoLibraries& libraries) noexcept
{
    HMODULE d3d11 = nullptr;
    HMODULE compiler = nullptr;
    HMODULE mediaFoundation = nullptr;
    if (const HRESULT hr = loadSystemLibrary(L"d3d11.dll", d3d11); FAILED(hr))
        return hr;
    if (const HRESULT hr = loadSystemLibrary(L"d3dcompiler_47.dll", compiler); FAILED(hr))
        return hr;
    if (const HRESULT hr = loadSystemLibrary(L"mfplat.dll", mediaFoundation); FAILED(hr))
        return hr;
    for (const HRESULT hr :
         {bind(d3d11, "D3D11CreateDevice", libraries.createDevice), bind(compiler, "D3DCompile", libraries.compile),
          bind(mediaFoundation, "MFStartup", libraries.startup),
          bind(mediaFoundation, "MFShutdown", libraries.shutdown),
          bind(mediaFoundation, "MFCreateAttributes", libraries.createAttributes),
          bind(mediaFoundation, "MFCreateDXGIDeviceManager", libraries.createDeviceManager)}) {
        if (FAILED(hr))
            return hr;
    }
    return S_OK;
}

} // namespace

HRESULT loadVideoLibraries(const VideoLibraries*& libraries) noexcept
{
    struct Loaded {
        VideoLibraries table;
        HRESULT result = E_FAIL;
    };
    static const Loaded loaded = [] {
        Loaded once;
        once.result = loadAll(once.table);
        return once;
    }();
    libraries = SUCCEEDED(loaded.result) ? &loaded.table : nullptr;
    return loaded.result;
}
