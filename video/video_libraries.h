#pragma once
// Direct3D 11, the HLSL compiler and Media Foundation are loaded on first use, from the system
// folder only: they are not among Windows' known DLLs, and a program started from a folder
// such as Downloads must not pick up a planted DLL of the same name. A program that never
// plays a video never loads them.
#include <windows.h>
#include <d3d11.h>
#include <d3dcompiler.h>

#include "video/media_foundation.h"

struct VideoLibraries {
    decltype(&::D3D11CreateDevice) createDevice = nullptr;
    decltype(&::D3DCompile) compile = nullptr;
    decltype(&::MFStartup) startup = nullptr;
    decltype(&::MFShutdown) shutdown = nullptr;
    decltype(&::MFCreateAttributes) createAttributes = nullptr;
    decltype(&::MFCreateDXGIDeviceManager) createDeviceManager = nullptr;
};

// Loads the libraries once per process and keeps them loaded; later calls return the same
// table, or the same failure.
[[nodiscard]] HRESULT loadVideoLibraries(const VideoLibraries*& libraries) noexcept;
