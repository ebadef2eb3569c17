#pragma once
// Data objects as a drag source hands them over: a file list in CF_HDROP (a DROPFILES block
// in global memory, as Explorer gives it), or text alone. Real COM objects that OLE can
// marshal to another process.
#include <windows.h>
#include <objidl.h>
#include <wrl/client.h>

#include <string>
#include <vector>

[[nodiscard]] Microsoft::WRL::ComPtr<IDataObject> fileDropData(const std::vector<std::wstring>& paths);
[[nodiscard]] Microsoft::WRL::ComPtr<IDataObject> textData(const std::wstring& text);
