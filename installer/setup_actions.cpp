// Custom actions of the Windows Installer package. They run inside msiexec, as the user who
// installs, so they see that user's windows and known folders. Every action that fails returns
// ERROR_INSTALL_FAILURE, so that Windows Installer ends the installation and rolls it back.
#include <windows.h>
#include <msi.h>
#include <msiquery.h>
#include <objbase.h>
#include <shlobj.h>

#include <string>
#include <vector>

#include "platform/known_folder.h"
#include "platform/paths.h"
#include "platform/product_names.h"
#include "platform/shell_link.h"
#include "platform/unique_handle.h"
#include "platform/win32_error.h"

namespace {

// The component that holds peltorine.exe, the same in every version of the package
// (installer/peltorine.wxs): where an installed version keeps its program.
constexpr const wchar_t* kProgramComponent = L"{ADF76DAF-EAE6-44D3-A52B-68B6A5EC89BE}";
constexpr DWORD kCloseTimeoutMs = 10000;
// The longest path Windows knows.
constexpr DWORD kLongPathBuffer = 32768;

// Writes a line to the installation's log; with a user interface, an error is also shown.
void report(MSIHANDLE install, INSTALLMESSAGE kind, const std::wstring& text)
{
    const MSIHANDLE record = MsiCreateRecord(0);
    if (record == 0)
        return;
    MsiRecordSetStringW(record, 0, text.c_str());
    MsiProcessMessage(install, kind, record);
    MsiCloseHandle(record);
}

void reportFailure(MSIHANDLE install, const std::wstring& text, HRESULT hr)
{
    wchar_t code[16] = {};
    swprintf(code, 16, L"0x%08lX", static_cast<unsigned long>(hr));
    report(install, INSTALLMESSAGE_INFO, L"Peltorine: " + text + L" (" + code + L")");
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

// The same file for Windows: letter case aside, and a short (8.3) name read as its long name.
bool samePath(const std::wstring& left, const std::wstring& right)
{
    const auto longName = [](const std::wstring& path) {
        std::vector<wchar_t> buffer(kLongPathBuffer, L'\0');
        const DWORD length = GetLongPathNameW(path.c_str(), buffer.data(), kLongPathBuffer);
        return length > 0 && length < kLongPathBuffer ? std::wstring(buffer.data(), length) : path;
    };
    return !left.empty() && !right.empty() && equalsIgnoringAsciiCase(longName(left), longName(right));
}

bool isOneOf(const std::wstring& path, const std::vector<std::wstring>& paths)
{
    for (const std::wstring& candidate : paths)
        if (samePath(path, candidate))
            return true;
    return false;
}

// Where an installed product keeps peltorine.exe: its component's key file, or else the
// install location it published.
std::wstring installedProgramOf(const std::wstring& product)
{
    std::vector<wchar_t> buffer(kLongPathBuffer, L'\0');
    DWORD size = kLongPathBuffer;
    if (MsiGetComponentPathW(product.c_str(), kProgramComponent, buffer.data(), &size) == INSTALLSTATE_LOCAL)
        return std::wstring(buffer.data(), size);
    size = kLongPathBuffer;
    if (MsiGetProductInfoW(product.c_str(), INSTALLPROPERTY_INSTALLLOCATION, buffer.data(), &size) == ERROR_SUCCESS &&
        size > 0)
        return joinPath(std::wstring(buffer.data(), size), kProgramFileName);
    return {};
}

// Every peltorine.exe that this installation replaces or removes: the one in its own folder, this
// product's own, and that of each older version it upgrades, wherever that was installed.
std::vector<std::wstring> replacedPrograms(MSIHANDLE install)
{
    std::vector<std::wstring> programs;
    const auto add = [&programs](const std::wstring& program) {
        if (!program.empty() && !isOneOf(program, programs))
            programs.push_back(program);
    };
    if (const std::wstring folder = property(install, L"INSTALLDIR"); !folder.empty())
        add(joinPath(folder, kProgramFileName));
    if (!property(install, L"Installed").empty())
        add(installedProgramOf(property(install, L"ProductCode")));
    const std::wstring upgraded = property(install, L"WIX_UPGRADE_DETECTED");
    for (std::size_t start = 0; start < upgraded.size();) {
        std::size_t end = upgraded.find(L';', start);
        if (end == std::wstring::npos)
            end = upgraded.size();
        if (end > start)
            add(installedProgramOf(upgraded.substr(start, end - start)));
        start = end + 1;
    }
    return programs;
}

HRESULT startupShortcutPath(std::wstring& path) noexcept
{
    std::wstring folder;
    if (const HRESULT hr = knownFolderPath(FOLDERID_Startup, folder); FAILED(hr))
        return hr;
    path = joinPath(folder, kStartupShortcutName);
    return S_OK;
}

bool exists(const std::wstring& path)
{
    return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

// What the Startup shortcut starts: empty when there is no shortcut.
HRESULT startupShortcutTarget(const std::wstring& shortcut, std::wstring& target) noexcept
{
    target.clear();
    if (!exists(shortcut))
        return S_OK;
    return readShellLinkTarget(shortcut, target);
}

// The shortcut as the program itself writes it: target, its folder, its description.
HRESULT writeStartupShortcut(const std::wstring& shortcut, const std::wstring& program) noexcept
{
    return writeShellLink(shortcut, program, parentFolderOf(program), kShortcutDescription);
}

// COM for the shell-link object, for the length of one action.
class ComScope {
public:
    ComScope() noexcept : result_(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)) {}
    ~ComScope()
    {
        if (SUCCEEDED(result_))
            CoUninitialize();
    }
    ComScope(const ComScope&) = delete;
    ComScope& operator=(const ComScope&) = delete;

private:
    HRESULT result_;
};

// The control windows of every running Peltorine, top-level or message-only.
std::vector<HWND> controlWindows()
{
    std::vector<HWND> windows;
    for (const HWND parent : {HWND(nullptr), HWND_MESSAGE}) {
        HWND window = nullptr;
        while ((window = FindWindowExW(parent, window, kControlWindowClass, nullptr)) != nullptr)
            windows.push_back(window);
    }
    return windows;
}

enum class CloseResult { NotOurs, Closed, Failed };

// Asks the Peltorine behind one control window to close, when it runs one of `programs`, and
// waits until its process has ended, so that none of the files to replace is in use.
CloseResult closeIfReplaced(MSIHANDLE install, HWND control, const std::vector<std::wstring>& programs)
{
    DWORD processId = 0;
    if (GetWindowThreadProcessId(control, &processId) == 0)
        return CloseResult::NotOurs; // the window went away meanwhile
    UniqueKernelHandle process(OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION | SYNCHRONIZE, FALSE, processId));
    if (!process) {
        reportFailure(install, L"cannot open a running Peltorine to see which copy it is", failureFromLastError());
        return CloseResult::Failed;
    }
    std::vector<wchar_t> image(kLongPathBuffer, L'\0');
    DWORD size = kLongPathBuffer;
    if (!QueryFullProcessImageNameW(process.get(), 0, image.data(), &size)) {
        reportFailure(install, L"cannot tell which copy of Peltorine is running", failureFromLastError());
        return CloseResult::Failed;
    }
    const std::wstring program(image.data(), size);
    // A copy elsewhere (a portable one) holds none of the files that the installer touches.
    if (!isOneOf(program, programs))
        return CloseResult::NotOurs;

    report(install, INSTALLMESSAGE_INFO, L"Peltorine: closing " + program);
    if (!PostMessageW(control, WM_CLOSE, 0, 0) && WaitForSingleObject(process.get(), 0) != WAIT_OBJECT_0) {
        reportFailure(install, L"cannot ask " + program + L" to close", failureFromLastError());
        return CloseResult::Failed;
    }
    if (WaitForSingleObject(process.get(), kCloseTimeoutMs) != WAIT_OBJECT_0) {
        reportFailure(install, program + L" did not close in time", hresultFromWin32(ERROR_TIMEOUT));
        return CloseResult::Failed;
    }
    return CloseResult::Closed;
}

bool upgrading(MSIHANDLE install)
{
    return !property(install, L"WIX_UPGRADE_DETECTED").empty() && property(install, L"REMOVE").empty();
}

} // namespace

// Before an upgrade or an uninstall: the Peltorine that runs the program being replaced or
// removed is asked to close. A copy elsewhere keeps running. When the copy cannot be closed
// the installation ends here, before anything has changed, instead of meeting the file in use.
// After an upgrade the new version is started again (PELTORINE_RESTART).
extern "C" __declspec(dllexport) UINT __stdcall ClosePeltorine(MSIHANDLE install)
{
    const std::vector<std::wstring> programs = replacedPrograms(install);
    bool closed = false;
    for (const HWND control : controlWindows()) {
        switch (closeIfReplaced(install, control, programs)) {
        case CloseResult::Failed:
            report(install, static_cast<INSTALLMESSAGE>(INSTALLMESSAGE_ERROR | MB_OK | MB_ICONERROR),
                   L"Peltorine is running and could not be closed. Close Peltorine, then run Setup again.");
            return ERROR_INSTALL_FAILURE;
        case CloseResult::Closed:
            closed = true;
            break;
        case CloseResult::NotOurs:
            break;
        }
    }
    if (closed && upgrading(install))
        MsiSetPropertyW(install, L"PELTORINE_RESTART", L"1");
    return ERROR_SUCCESS;
}

namespace {

// The Startup shortcut's path and its target (empty when there is none); a failure is logged.
UINT readStartupShortcut(MSIHANDLE install, std::wstring& shortcut, std::wstring& target)
{
    if (const HRESULT hr = startupShortcutPath(shortcut); FAILED(hr)) {
        reportFailure(install, L"cannot find the Startup folder", hr);
        return ERROR_INSTALL_FAILURE;
    }
    if (const HRESULT hr = startupShortcutTarget(shortcut, target); FAILED(hr)) {
        reportFailure(install, L"cannot read " + shortcut, hr);
        return ERROR_INSTALL_FAILURE;
    }
    return ERROR_SUCCESS;
}

} // namespace

// Before an upgrade: remembers in PELTORINE_STARTWITHWINDOWS whether "Start with Windows" is on
// for the program being replaced. Removing the older version may take the shortcut with it, and
// an older version in another folder leaves a shortcut to a program that will be gone.
extern "C" __declspec(dllexport) UINT __stdcall RememberStartWithWindows(MSIHANDLE install)
{
    ComScope com;
    std::wstring shortcut;
    std::wstring target;
    if (const UINT result = readStartupShortcut(install, shortcut, target); result != ERROR_SUCCESS)
        return result;
    if (isOneOf(target, replacedPrograms(install)))
        MsiSetPropertyW(install, L"PELTORINE_STARTWITHWINDOWS", L"1");
    return ERROR_SUCCESS;
}

// After an upgrade has put the new program in place (deferred; CustomActionData is the install
// folder): "Start with Windows" is on again, for the new program.
extern "C" __declspec(dllexport) UINT __stdcall RestoreStartWithWindows(MSIHANDLE install)
{
    ComScope com;
    const std::wstring folder = property(install, L"CustomActionData");
    if (folder.empty())
        return ERROR_SUCCESS;
    const std::wstring program = joinPath(folder, kProgramFileName);
    std::wstring shortcut;
    std::wstring target;
    if (const HRESULT hr = startupShortcutPath(shortcut); FAILED(hr)) {
        reportFailure(install, L"cannot find the Startup folder", hr);
        return ERROR_INSTALL_FAILURE;
    }
    if (SUCCEEDED(startupShortcutTarget(shortcut, target)) && samePath(target, program))
        return ERROR_SUCCESS;
    if (const HRESULT hr = writeStartupShortcut(shortcut, program); FAILED(hr)) {
        reportFailure(install, L"cannot write " + shortcut, hr);
        return ERROR_INSTALL_FAILURE;
    }
    return ERROR_SUCCESS;
}

// Before an uninstall changes anything: when the Startup shortcut starts the program being
// removed, RemoveStartupShortcut (a commit action) and RemoveStartupShortcutWithoutRollback are
// told its target. A shortcut to another copy of Peltorine stays.
extern "C" __declspec(dllexport) UINT __stdcall PlanStartupShortcutRemoval(MSIHANDLE install)
{
    ComScope com;
    std::wstring shortcut;
    std::wstring target;
    if (const UINT result = readStartupShortcut(install, shortcut, target); result != ERROR_SUCCESS)
        return result;
    if (!isOneOf(target, replacedPrograms(install)))
        return ERROR_SUCCESS;
    MsiSetPropertyW(install, L"RemoveStartupShortcut", target.c_str());
    MsiSetPropertyW(install, L"RemoveStartupShortcutWithoutRollback", target.c_str());
    return ERROR_SUCCESS;
}

// Once an uninstall has succeeded (commit, or deferred when rollback is disabled; CustomActionData
// is the shortcut's target): the Startup shortcut of "Start with Windows" goes with the program.
extern "C" __declspec(dllexport) UINT __stdcall RemoveStartupShortcut(MSIHANDLE install)
{
    ComScope com;
    const std::wstring program = property(install, L"CustomActionData");
    std::wstring shortcut;
    std::wstring target;
    if (const HRESULT hr = startupShortcutPath(shortcut); FAILED(hr)) {
        reportFailure(install, L"cannot find the Startup folder", hr);
        return ERROR_INSTALL_FAILURE;
    }
    // The user may have pointed it elsewhere since the uninstall began.
    if (FAILED(startupShortcutTarget(shortcut, target)) || !samePath(target, program))
        return ERROR_SUCCESS;
    if (!DeleteFileW(shortcut.c_str())) {
        const DWORD error = GetLastError();
        if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND)
            return ERROR_SUCCESS;
        reportFailure(install, L"cannot delete " + shortcut, failureFromLastError());
        return ERROR_INSTALL_FAILURE;
    }
    return ERROR_SUCCESS;
}
