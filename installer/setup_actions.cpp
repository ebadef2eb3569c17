// Custom actions of the Windows Installer package. They run inside msiexec, as the user who
// installs, so they see that user's windows and known folders.
#include <windows.h>
#include <msi.h>
#include <msiquery.h>
#include <objbase.h>
#include <shlobj.h>
#include <shobjidl.h>

#include <string>

namespace {

constexpr wchar_t kControlWindowClass[] = L"Peltorine.Control";
constexpr wchar_t kStartupShortcutName[] = L"Peltorine.lnk";
constexpr wchar_t kProgramName[] = L"peltorine.exe";
constexpr DWORD kCloseTimeoutMs = 10000;

// Asks one running Peltorine to close and waits until its process has ended, so that none of its
// files is locked when the installer replaces or removes them.
bool closeOne(HWND control)
{
    DWORD processId = 0;
    GetWindowThreadProcessId(control, &processId);
    HANDLE process = processId != 0 ? OpenProcess(SYNCHRONIZE, FALSE, processId) : nullptr;
    if (!PostMessageW(control, WM_CLOSE, 0, 0)) {
        if (process != nullptr)
            CloseHandle(process);
        return false;
    }
    bool ended = true;
    if (process != nullptr) {
        ended = WaitForSingleObject(process, kCloseTimeoutMs) == WAIT_OBJECT_0;
        CloseHandle(process);
    }
    return ended;
}

std::wstring property(MSIHANDLE install, const wchar_t* name)
{
    std::wstring value(MAX_PATH, L'\0');
    DWORD size = static_cast<DWORD>(value.size());
    UINT result = MsiGetPropertyW(install, name, value.data(), &size);
    if (result == ERROR_MORE_DATA) {
        value.resize(++size);
        result = MsiGetPropertyW(install, name, value.data(), &size);
    }
    if (result != ERROR_SUCCESS)
        return {};
    value.resize(size);
    return value;
}

std::wstring lower(std::wstring text)
{
    CharLowerBuffW(text.data(), static_cast<DWORD>(text.size()));
    return text;
}

// The target that a shell link names, or nothing when it cannot be read.
std::wstring shortcutTarget(const std::wstring& path)
{
    std::wstring target;
    const HRESULT init = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    IShellLinkW* link = nullptr;
    if (SUCCEEDED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                   reinterpret_cast<void**>(&link)))) {
        IPersistFile* file = nullptr;
        if (SUCCEEDED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file)))) {
            if (SUCCEEDED(file->Load(path.c_str(), STGM_READ))) {
                std::wstring buffer(32768, L'\0');
                if (SUCCEEDED(link->GetPath(buffer.data(), static_cast<int>(buffer.size()), nullptr, SLGP_RAWPATH)))
                    target = buffer.c_str();
            }
            file->Release();
        }
        link->Release();
    }
    if (SUCCEEDED(init))
        CoUninitialize();
    return target;
}

std::wstring startupShortcutPath()
{
    PWSTR startup = nullptr;
    std::wstring path;
    if (SUCCEEDED(SHGetKnownFolderPath(FOLDERID_Startup, 0, nullptr, &startup)))
        path = std::wstring(startup) + L'\\' + kStartupShortcutName;
    CoTaskMemFree(startup);
    return path;
}

// The installed program's path, from the install folder that a property holds.
std::wstring installedProgram(std::wstring folder)
{
    if (folder.empty())
        return {};
    if (folder.back() != L'\\')
        folder += L'\\';
    return folder + kProgramName;
}

// A deferred action sees only its CustomActionData, which the package sets to the install folder.
std::wstring deferredInstallFolder(MSIHANDLE install)
{
    std::wstring folder = property(install, L"CustomActionData");
    return folder.empty() ? property(install, L"INSTALLDIR") : folder;
}

// Whether the Startup folder holds "Start with Windows" for this very program.
bool startsWithWindows(const std::wstring& program)
{
    const std::wstring shortcut = startupShortcutPath();
    return !program.empty() && !shortcut.empty() && GetFileAttributesW(shortcut.c_str()) != INVALID_FILE_ATTRIBUTES &&
           lower(shortcutTarget(shortcut)) == lower(program);
}

// The shortcut as the program itself writes it: target, its folder, description "Peltorine".
void writeStartupShortcut(const std::wstring& program)
{
    const std::wstring shortcut = startupShortcutPath();
    if (shortcut.empty())
        return;
    const HRESULT init = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    IShellLinkW* link = nullptr;
    if (SUCCEEDED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                   reinterpret_cast<void**>(&link)))) {
        const std::wstring folder = program.substr(0, program.find_last_of(L'\\'));
        IPersistFile* file = nullptr;
        if (SUCCEEDED(link->SetPath(program.c_str())) && SUCCEEDED(link->SetWorkingDirectory(folder.c_str())) &&
            SUCCEEDED(link->SetDescription(L"Peltorine")) &&
            SUCCEEDED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file)))) {
            file->Save(shortcut.c_str(), TRUE);
            file->Release();
        }
        link->Release();
    }
    if (SUCCEEDED(init))
        CoUninitialize();
}

} // namespace

// Before an upgrade or an uninstall: every running Peltorine is asked to close (WM_CLOSE to its
// control window). A copy that does not end in time is left alone; the installer then reports
// the file in use as it would for any other program.
extern "C" __declspec(dllexport) UINT __stdcall ClosePeltorine(MSIHANDLE)
{
    for (int attempt = 0; attempt < 8; ++attempt) {
        HWND control = FindWindowW(kControlWindowClass, nullptr);
        if (control == nullptr)
            control = FindWindowExW(HWND_MESSAGE, nullptr, kControlWindowClass, nullptr);
        if (control == nullptr || !closeOne(control))
            break;
    }
    return ERROR_SUCCESS;
}

// Before an upgrade: remembers whether "Start with Windows" is on for the installed program, in the
// property PELTORINE_STARTWITHWINDOWS. Removing the older version may take the shortcut with it.
extern "C" __declspec(dllexport) UINT __stdcall RememberStartWithWindows(MSIHANDLE install)
{
    if (startsWithWindows(installedProgram(property(install, L"INSTALLDIR"))))
        MsiSetPropertyW(install, L"PELTORINE_STARTWITHWINDOWS", L"1");
    return ERROR_SUCCESS;
}

// After an upgrade has put the new program in place: "Start with Windows" is on again if it was.
extern "C" __declspec(dllexport) UINT __stdcall RestoreStartWithWindows(MSIHANDLE install)
{
    const std::wstring program = installedProgram(deferredInstallFolder(install));
    if (!program.empty() && !startsWithWindows(program))
        writeStartupShortcut(program);
    return ERROR_SUCCESS;
}

// On uninstall: the Startup shortcut that "Start with Windows" made for the installed program goes
// with it. A shortcut to another copy of Peltorine stays.
extern "C" __declspec(dllexport) UINT __stdcall RemoveStartupShortcut(MSIHANDLE install)
{
    if (startsWithWindows(installedProgram(deferredInstallFolder(install))))
        DeleteFileW(startupShortcutPath().c_str());
    return ERROR_SUCCESS;
}
