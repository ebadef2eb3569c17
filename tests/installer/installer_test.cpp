// The Windows Installer package as a user meets it: installed, started, upgraded and uninstalled
// with msiexec in a fresh Windows profile. tests/installer/run.sh builds two packages of the same
// program (an older and a newer version) and runs this program in a prefix of its own.
#include <gtest/gtest.h>

#include <windows.h>
#include <msi.h>
#include <objbase.h>
#include <shlobj.h>
#include <shobjidl.h>
#include <wrl/client.h>

#include <string>
#include <vector>

#include "tests/support/process.h"
#include "tests/support/temp_folder.h"
#include "tools/desktop_wallpaper/registration.h"

using Microsoft::WRL::ComPtr;

namespace {

constexpr wchar_t kUpgradeCode[] = L"{60648915-252B-4759-A59C-CE60BE27DC55}";
constexpr DWORD kMsiexecTimeoutMs = 180000;
constexpr DWORD kStartTimeoutMs = 20000;

std::wstring environment(const wchar_t* name)
{
    wchar_t value[4096] = {};
    const DWORD length = GetEnvironmentVariableW(name, value, 4096);
    return length > 0 && length < 4096 ? std::wstring(value, length) : std::wstring{};
}

std::wstring knownFolder(REFKNOWNFOLDERID id)
{
    PWSTR path = nullptr;
    std::wstring result;
    if (SUCCEEDED(SHGetKnownFolderPath(id, 0, nullptr, &path)))
        result = path;
    CoTaskMemFree(path);
    return result;
}

std::wstring installFolder()
{
    return knownFolder(FOLDERID_LocalAppData) + L"\\Programs\\Peltorine";
}
std::wstring installedProgram()
{
    return installFolder() + L"\\peltorine.exe";
}
std::wstring startMenuShortcut()
{
    return knownFolder(FOLDERID_Programs) + L"\\Peltorine.lnk";
}
std::wstring startupShortcut()
{
    return knownFolder(FOLDERID_Startup) + L"\\Peltorine.lnk";
}
std::wstring dataFolder()
{
    return knownFolder(FOLDERID_LocalAppData) + L"\\Peltorine";
}

bool exists(const std::wstring& path)
{
    return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

// Runs msiexec with the arguments and gives its exit code (STILL_ACTIVE when it did not end).
DWORD msiexec(const std::wstring& arguments)
{
    std::wstring commandLine = L"msiexec.exe " + arguments;
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION info{};
    if (!CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &info))
        return GetLastError();
    CloseHandle(info.hThread);
    DWORD code = STILL_ACTIVE;
    if (WaitForSingleObject(info.hProcess, kMsiexecTimeoutMs) == WAIT_OBJECT_0)
        GetExitCodeProcess(info.hProcess, &code);
    CloseHandle(info.hProcess);
    return code;
}

DWORD installSilently(const std::wstring& package)
{
    return msiexec(L"/i \"" + package + L"\" /qn");
}

// The products of this upgrade code that Windows Installer knows as installed.
std::vector<std::wstring> installedProducts()
{
    std::vector<std::wstring> products;
    wchar_t product[39] = {};
    for (DWORD index = 0; MsiEnumRelatedProductsW(kUpgradeCode, 0, index, product) == ERROR_SUCCESS; ++index)
        products.emplace_back(product);
    return products;
}

std::wstring productInfo(const std::wstring& product, const wchar_t* property)
{
    wchar_t value[1024] = {};
    DWORD size = 1024;
    return MsiGetProductInfoW(product.c_str(), property, value, &size) == ERROR_SUCCESS ? std::wstring(value, size)
                                                                                        : std::wstring{};
}

struct UninstallEntry {
    std::wstring version;
    std::wstring publisher;
    std::wstring uninstallString;
    std::wstring installLocation;
};

std::wstring registryString(HKEY key, const wchar_t* name)
{
    wchar_t value[1024] = {};
    DWORD size = sizeof(value) - sizeof(wchar_t);
    DWORD type = 0;
    if (RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(value), &size) != ERROR_SUCCESS ||
        (type != REG_SZ && type != REG_EXPAND_SZ))
        return {};
    return value;
}

// The entries named "Peltorine" that Installed apps lists, from the user's and the machine's lists.
std::vector<UninstallEntry> uninstallEntries()
{
    std::vector<UninstallEntry> entries;
    for (const HKEY root : {HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE}) {
        HKEY list = nullptr;
        if (RegOpenKeyExW(root, L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall", 0,
                          KEY_READ | KEY_WOW64_64KEY, &list) != ERROR_SUCCESS)
            continue;
        wchar_t name[256];
        for (DWORD index = 0;; ++index) {
            DWORD length = 256;
            if (RegEnumKeyExW(list, index, name, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
                break;
            HKEY entry = nullptr;
            if (RegOpenKeyExW(list, name, 0, KEY_READ, &entry) != ERROR_SUCCESS)
                continue;
            if (registryString(entry, L"DisplayName") == L"Peltorine")
                entries.push_back({registryString(entry, L"DisplayVersion"), registryString(entry, L"Publisher"),
                                   registryString(entry, L"UninstallString"),
                                   registryString(entry, L"InstallLocation")});
            RegCloseKey(entry);
        }
        RegCloseKey(list);
    }
    return entries;
}

std::wstring shortcutTarget(const std::wstring& path)
{
    ComPtr<IShellLinkW> link;
    ComPtr<IPersistFile> file;
    wchar_t target[MAX_PATH] = {};
    if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&link))) ||
        FAILED(link.As(&file)) || FAILED(file->Load(path.c_str(), STGM_READ)) ||
        FAILED(link->GetPath(target, MAX_PATH, nullptr, SLGP_RAWPATH)))
        return {};
    return target;
}

// What "Start with Windows" leaves in the Startup folder.
bool makeStartupShortcut(const std::wstring& target)
{
    ComPtr<IShellLinkW> link;
    ComPtr<IPersistFile> file;
    return SUCCEEDED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&link))) &&
           SUCCEEDED(link->SetPath(target.c_str())) && SUCCEEDED(link.As(&file)) &&
           SUCCEEDED(file->Save(startupShortcut().c_str(), TRUE));
}

bool sameText(const std::wstring& a, const std::wstring& b)
{
    return CompareStringOrdinal(a.c_str(), -1, b.c_str(), -1, TRUE) == CSTR_EQUAL;
}

// A running Peltorine: its control window and its process.
struct RunningPeltorine {
    HWND control = nullptr;
    DWORD processId = 0;
    std::wstring program;
};

std::wstring imageOf(DWORD processId)
{
    HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, processId);
    if (process == nullptr)
        return {};
    wchar_t path[MAX_PATH] = {};
    DWORD size = MAX_PATH;
    const BOOL read = QueryFullProcessImageNameW(process, 0, path, &size);
    CloseHandle(process);
    return read ? std::wstring(path, size) : std::wstring{};
}

// Waits for the control window of a Peltorine that runs `program`, started by someone else
// (the installer), and tells which process it is.
RunningPeltorine waitForPeltorineRunning(const std::wstring& program)
{
    const ULONGLONG deadline = GetTickCount64() + kStartTimeoutMs;
    for (;;) {
        HWND control = nullptr;
        while ((control = FindWindowExW(nullptr, control, L"Peltorine.Control", nullptr)) != nullptr) {
            DWORD processId = 0;
            GetWindowThreadProcessId(control, &processId);
            const std::wstring image = imageOf(processId);
            if (sameText(image, program))
                return {control, processId, image};
        }
        if (GetTickCount64() >= deadline)
            return {};
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 50, QS_ALLINPUT);
    }
}

std::wstring settingText(const std::wstring& file, const wchar_t* key)
{
    wchar_t value[256] = {};
    GetPrivateProfileStringW(L"Peltorine", key, L"", value, 256, file.c_str());
    return value;
}

// msiexec with its full user interface, as a double-click on the package starts it.
class InteractiveInstall {
public:
    explicit InteractiveInstall(const std::wstring& package)
    {
        std::wstring commandLine = L"msiexec.exe /i \"" + package + L"\"";
        STARTUPINFOW startup{};
        startup.cb = sizeof(startup);
        PROCESS_INFORMATION info{};
        if (CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                           &info)) {
            CloseHandle(info.hThread);
            process_ = info.hProcess;
        }
    }
    ~InteractiveInstall()
    {
        if (process_ && WaitForSingleObject(process_, 0) == WAIT_TIMEOUT)
            TerminateProcess(process_, 1);
        if (process_)
            CloseHandle(process_);
    }
    InteractiveInstall(const InteractiveInstall&) = delete;
    InteractiveInstall& operator=(const InteractiveInstall&) = delete;

    bool started() const { return process_ != nullptr; }
    DWORD waitForExit()
    {
        DWORD code = STILL_ACTIVE;
        if (WaitForSingleObject(process_, kMsiexecTimeoutMs) == WAIT_OBJECT_0)
            GetExitCodeProcess(process_, &code);
        return code;
    }

private:
    HANDLE process_ = nullptr;
};

// Waits for a top-level window with this title (and class, when given) from any process.
HWND waitForTopLevel(const wchar_t* title, const wchar_t* className = nullptr)
{
    const ULONGLONG deadline = GetTickCount64() + kStartTimeoutMs;
    for (;;) {
        if (HWND window = FindWindowW(className, title))
            return window;
        if (GetTickCount64() >= deadline)
            return nullptr;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 50, QS_ALLINPUT);
    }
}

BOOL CALLBACK collectChild(HWND window, LPARAM list)
{
    reinterpret_cast<std::vector<HWND>*>(list)->push_back(window);
    return TRUE;
}

std::vector<HWND> childrenOf(HWND window)
{
    std::vector<HWND> children;
    EnumChildWindows(window, collectChild, reinterpret_cast<LPARAM>(&children));
    return children;
}

HWND childWithText(const std::vector<HWND>& children, const std::wstring& text)
{
    for (const HWND child : children)
        if (windowText(child).find(text) != std::wstring::npos)
            return child;
    return nullptr;
}

// Waits for a control of the dialog whose text holds this text: the installer fills its dialog
// after the window appears.
HWND waitForChild(HWND dialog, const std::wstring& text)
{
    const ULONGLONG deadline = GetTickCount64() + kStartTimeoutMs;
    for (;;) {
        if (HWND child = childWithText(childrenOf(dialog), text))
            return child;
        if (GetTickCount64() >= deadline)
            return nullptr;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 50, QS_ALLINPUT);
    }
}

class Installer : public testing::Test {
protected:
    static void SetUpTestSuite()
    {
        // The stand-in for the shell's desktop-wallpaper object, without which Peltorine does not start.
        ASSERT_EQ(registerDevDesktopWallpaper(windowsPathOf(PELTORINE_DEVDESKTOP_DLL)), S_OK);
    }

    void SetUp() override
    {
        ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)));
        olderPackage = environment(L"PELTORINE_OLDER_MSI");
        newerPackage = environment(L"PELTORINE_NEWER_MSI");
        olderVersion = environment(L"PELTORINE_OLDER_VERSION");
        newerVersion = environment(L"PELTORINE_NEWER_VERSION");
        failingPackage = environment(L"PELTORINE_FAILING_MSI");
        ASSERT_FALSE(olderPackage.empty()) << "run through tests/installer/run.sh";
        ASSERT_TRUE(exists(olderPackage)) << utf8(olderPackage);
        ASSERT_TRUE(exists(newerPackage)) << utf8(newerPackage);
        ASSERT_TRUE(exists(failingPackage)) << utf8(failingPackage);
        ASSERT_TRUE(installedProducts().empty()) << "an earlier test left Peltorine installed";
    }

    void TearDown() override
    {
        for (const std::wstring& product : installedProducts())
            msiexec(L"/x " + product + L" /qn");
        DeleteFileW(startupShortcut().c_str());
        CoUninitialize();
    }

    // Starts the installed program as the Start-menu shortcut would and waits for its control window.
    static HWND startInstalled(ChildProcess& process)
    {
        return process.started() ? waitForWindow(process.id(), L"Peltorine.Control", L"Peltorine", kStartTimeoutMs)
                                 : nullptr;
    }

    std::wstring olderPackage, newerPackage, olderVersion, newerVersion;
    // The older package with one more deferred action, late in the script, that fails an
    // uninstall given PELTORINE_TEST_FAIL_LATE=1 (tests/installer/run.sh).
    std::wstring failingPackage;
};

TEST_F(Installer, SilentInstallPutsTheProgramItsShortcutAndOneEntryInPlace)
{
    ASSERT_EQ(installSilently(olderPackage), 0u);

    EXPECT_TRUE(exists(installedProgram())) << utf8(installedProgram());
    EXPECT_TRUE(exists(installFolder() + L"\\LICENSE.txt"));
    ASSERT_TRUE(exists(startMenuShortcut())) << utf8(startMenuShortcut());
    EXPECT_TRUE(sameText(shortcutTarget(startMenuShortcut()), installedProgram()))
        << utf8(shortcutTarget(startMenuShortcut()));

    const std::vector<UninstallEntry> entries = uninstallEntries();
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries[0].version, olderVersion);
    EXPECT_EQ(entries[0].publisher, L"Peltorine");
    EXPECT_NE(entries[0].uninstallString.find(L"MsiExec.exe /X"), std::wstring::npos)
        << utf8(entries[0].uninstallString);
    EXPECT_TRUE(sameText(entries[0].installLocation, installFolder() + L"\\")) << utf8(entries[0].installLocation);

    const std::vector<std::wstring> products = installedProducts();
    ASSERT_EQ(products.size(), 1u);
    EXPECT_EQ(productInfo(products[0], INSTALLPROPERTY_INSTALLEDPRODUCTNAME), L"Peltorine");
    EXPECT_EQ(productInfo(products[0], INSTALLPROPERTY_VERSIONSTRING), olderVersion);
    const std::wstring icon = productInfo(products[0], INSTALLPROPERTY_PRODUCTICON);
    EXPECT_TRUE(exists(icon)) << "product icon: " << utf8(icon);
}

TEST_F(Installer, InstalledProgramStartsAndUninstallClosesIt)
{
    ASSERT_EQ(installSilently(olderPackage), 0u);
    ChildProcess program(shortcutTarget(startMenuShortcut()));
    ASSERT_NE(startInstalled(program), nullptr) << "no Peltorine.Control window";

    ASSERT_EQ(msiexec(L"/x \"" + olderPackage + L"\" /qn"), 0u);
    EXPECT_EQ(program.waitForExit(0), 0u) << "Peltorine was not asked to close before its files went";
    EXPECT_FALSE(exists(installedProgram()));
    EXPECT_TRUE(installedProducts().empty());
}

TEST_F(Installer, NewerPackageReplacesTheOlderInPlaceAndKeepsTheSettings)
{
    ASSERT_EQ(installSilently(olderPackage), 0u);
    ChildProcess program(installedProgram());
    ASSERT_NE(startInstalled(program), nullptr);
    const std::wstring settings = dataFolder() + L"\\settings.ini";
    ASSERT_TRUE(exists(settings)) << "the first start makes the settings file";
    ASSERT_TRUE(WritePrivateProfileStringW(L"Peltorine", L"Interval", L"15", settings.c_str()));
    const std::string settingsBefore = readFileBytes(settings);
    ASSERT_TRUE(makeStartupShortcut(installedProgram()));

    ASSERT_EQ(installSilently(newerPackage), 0u);

    EXPECT_EQ(program.waitForExit(0), 0u) << "the running Peltorine was not closed before the upgrade";
    const std::vector<UninstallEntry> entries = uninstallEntries();
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries[0].version, newerVersion);
    const std::vector<std::wstring> products = installedProducts();
    ASSERT_EQ(products.size(), 1u);
    EXPECT_EQ(productInfo(products[0], INSTALLPROPERTY_VERSIONSTRING), newerVersion);
    EXPECT_TRUE(exists(installedProgram()));
    EXPECT_TRUE(exists(startMenuShortcut()));
    EXPECT_TRUE(exists(startupShortcut())) << "an upgrade keeps Start with Windows";

    // A silent upgrade that closed Peltorine starts the new version, with the same settings.
    const RunningPeltorine upgraded = waitForPeltorineRunning(installedProgram());
    ASSERT_NE(upgraded.control, nullptr) << "Peltorine did not run again after the upgrade";
    EXPECT_NE(upgraded.processId, program.id());
    EXPECT_EQ(readFileBytes(settings), settingsBefore);
    EXPECT_EQ(settingText(settings, L"Interval"), L"15");
}

TEST_F(Installer, AnUpgradeLeavesARunningPortableCopyAlone)
{
    ASSERT_EQ(installSilently(olderPackage), 0u);
    const std::wstring portableFolder = L"C:\\Portable Peltorine";
    const std::wstring portable = portableFolder + L"\\peltorine.exe";
    ASSERT_TRUE(CreateDirectoryW(portableFolder.c_str(), nullptr) || GetLastError() == ERROR_ALREADY_EXISTS);
    ASSERT_TRUE(CopyFileW(installedProgram().c_str(), portable.c_str(), FALSE));
    ChildProcess program(portable);
    const HWND control = startInstalled(program);
    ASSERT_NE(control, nullptr);

    ASSERT_EQ(installSilently(newerPackage), 0u);

    EXPECT_EQ(program.waitForExit(0), static_cast<DWORD>(STILL_ACTIVE)) << "the upgrade closed a portable copy";
    EXPECT_TRUE(IsWindow(control));
    const std::vector<std::wstring> products = installedProducts();
    ASSERT_EQ(products.size(), 1u);
    EXPECT_EQ(productInfo(products[0], INSTALLPROPERTY_VERSIONSTRING), newerVersion);
    EXPECT_TRUE(exists(installedProgram()));
}

TEST_F(Installer, StartWithWindowsOfAnOlderVersionElsewhereFollowsTheUpgrade)
{
    const std::wstring olderFolder = L"C:\\Older Peltorine";
    const std::wstring olderProgram = olderFolder + L"\\peltorine.exe";
    ASSERT_EQ(msiexec(L"/i \"" + olderPackage + L"\" INSTALLDIR=\"" + olderFolder + L"\" /qn"), 0u);
    ASSERT_TRUE(exists(olderProgram)) << "INSTALLDIR did not take";
    ChildProcess program(olderProgram);
    ASSERT_NE(startInstalled(program), nullptr);
    ASSERT_TRUE(makeStartupShortcut(olderProgram));

    ASSERT_EQ(installSilently(newerPackage), 0u);

    // Wine 8 leaves the older version's files where they were (its uninstall looks for them in the
    // default folder), so only what the package itself does is asserted here.
    EXPECT_EQ(program.waitForExit(0), 0u) << "the older version was not closed before the upgrade";
    EXPECT_TRUE(exists(installedProgram()));
    ASSERT_TRUE(exists(startupShortcut())) << "the upgrade lost Start with Windows";
    EXPECT_TRUE(sameText(shortcutTarget(startupShortcut()), installedProgram()))
        << utf8(shortcutTarget(startupShortcut()));
    const RunningPeltorine upgraded = waitForPeltorineRunning(installedProgram());
    EXPECT_NE(upgraded.control, nullptr) << "the new version did not start in place of the old";
}

TEST_F(Installer, AnUninstallThatFailsLateKeepsStartWithWindows)
{
    ASSERT_EQ(installSilently(failingPackage), 0u);
    ASSERT_TRUE(makeStartupShortcut(installedProgram()));

    // Windows Installer answers ERROR_INSTALL_FAILURE; Wine passes on the failed action's error.
    const DWORD result = msiexec(L"/x \"" + failingPackage + L"\" PELTORINE_TEST_FAIL_LATE=1 /qn");
    EXPECT_NE(result, 0u) << "the uninstall did not fail";
    EXPECT_NE(result, static_cast<DWORD>(STILL_ACTIVE));

    ASSERT_TRUE(exists(startupShortcut())) << "the rolled-back uninstall took Start with Windows with it";
    EXPECT_TRUE(sameText(shortcutTarget(startupShortcut()), installedProgram()))
        << utf8(shortcutTarget(startupShortcut()));
    // Wine 8's rollback stops at its first step that fails and leaves the product half removed,
    // without the upgrade-code registration that TearDown goes by: remove it by its package.
    EXPECT_EQ(msiexec(L"/x \"" + failingPackage + L"\" /qn"), 0u);
}

TEST_F(Installer, AnOlderPackageDoesNotReplaceANewerOne)
{
    ASSERT_EQ(installSilently(newerPackage), 0u);

    EXPECT_EQ(installSilently(olderPackage), static_cast<DWORD>(ERROR_INSTALL_FAILURE));

    const std::vector<UninstallEntry> entries = uninstallEntries();
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries[0].version, newerVersion);
    EXPECT_TRUE(exists(installedProgram()));
}

TEST_F(Installer, UninstallRemovesProgramAndShortcutsAndKeepsTheDataFolder)
{
    ASSERT_EQ(installSilently(olderPackage), 0u);
    ASSERT_TRUE(CreateDirectoryW(dataFolder().c_str(), nullptr) || GetLastError() == ERROR_ALREADY_EXISTS);
    const std::wstring picture = dataFolder() + L"\\stored-default.png";
    writeFileBytes(picture, "stored default wallpaper");
    ASSERT_TRUE(makeStartupShortcut(installedProgram()));

    ASSERT_EQ(msiexec(L"/x \"" + olderPackage + L"\" /qn"), 0u);

    EXPECT_FALSE(exists(installedProgram()));
    EXPECT_FALSE(exists(installFolder())) << "the install folder is left behind";
    EXPECT_FALSE(exists(startMenuShortcut()));
    EXPECT_FALSE(exists(startupShortcut()));
    EXPECT_TRUE(uninstallEntries().empty());
    EXPECT_TRUE(installedProducts().empty());
    EXPECT_EQ(readFileBytes(picture), "stored default wallpaper");
}

TEST_F(Installer, UninstallLeavesAStartupShortcutOfAnotherCopy)
{
    ASSERT_EQ(installSilently(olderPackage), 0u);
    const std::wstring portable = L"C:\\Portable\\Peltorine\\peltorine.exe";
    ASSERT_TRUE(makeStartupShortcut(portable));

    ASSERT_EQ(msiexec(L"/x \"" + olderPackage + L"\" /qn"), 0u);

    EXPECT_FALSE(exists(installedProgram()));
    ASSERT_TRUE(exists(startupShortcut()));
    EXPECT_TRUE(sameText(shortcutTarget(startupShortcut()), portable));
}

TEST_F(Installer, InteractiveInstallShowsTheLicenceAndEndsWithPeltorineRunning)
{
    InteractiveInstall install(newerPackage);
    ASSERT_TRUE(install.started());
    const HWND dialog = waitForTopLevel(L"Peltorine Setup");
    ASSERT_NE(dialog, nullptr) << "no licence dialog";
    const HWND licence = waitForChild(dialog, L"Permission is hereby granted, free of charge");
    ASSERT_NE(licence, nullptr) << "the dialog does not show the licence";
    const std::vector<HWND> children = childrenOf(dialog);
    EXPECT_NE(windowText(licence).find(L"MIT License"), std::wstring::npos);
    const HWND accept = childWithText(children, L"I &accept the terms of the licence");
    const HWND installButton = childWithText(children, L"&Install");
    ASSERT_NE(accept, nullptr);
    ASSERT_NE(installButton, nullptr);
    EXPECT_FALSE(IsWindowEnabled(installButton)) << "Install before the licence is accepted";

    SendMessageW(accept, BM_CLICK, 0, 0);
    EXPECT_TRUE(IsWindowEnabled(installButton));
    SendMessageW(installButton, BM_CLICK, 0, 0);
    ASSERT_EQ(install.waitForExit(), 0u);

    // The installer starts Peltorine and does not wait for it, so the window may come a little later.
    const HWND control = waitForTopLevel(L"Peltorine", L"Peltorine.Control");
    ASSERT_NE(control, nullptr) << "Peltorine did not start at the end of the install";
    DWORD processId = 0;
    GetWindowThreadProcessId(control, &processId);
    wchar_t path[MAX_PATH] = {};
    DWORD size = MAX_PATH;
    HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION | SYNCHRONIZE, FALSE, processId);
    ASSERT_NE(process, nullptr);
    EXPECT_TRUE(QueryFullProcessImageNameW(process, 0, path, &size));
    EXPECT_TRUE(sameText(path, installedProgram())) << utf8(path);

    ASSERT_EQ(msiexec(L"/x \"" + newerPackage + L"\" /qn"), 0u);
    EXPECT_EQ(WaitForSingleObject(process, 0), WAIT_OBJECT_0);
    CloseHandle(process);
}

TEST_F(Installer, CancellingTheLicenceInstallsNothing)
{
    InteractiveInstall install(newerPackage);
    ASSERT_TRUE(install.started());
    const HWND dialog = waitForTopLevel(L"Peltorine Setup");
    ASSERT_NE(dialog, nullptr);
    const HWND cancel = waitForChild(dialog, L"Cancel");
    ASSERT_NE(cancel, nullptr);

    SendMessageW(cancel, BM_CLICK, 0, 0);

    EXPECT_EQ(install.waitForExit(), static_cast<DWORD>(ERROR_INSTALL_USEREXIT));
    EXPECT_FALSE(exists(installedProgram()));
    EXPECT_TRUE(installedProducts().empty());
    EXPECT_EQ(FindWindowW(L"Peltorine.Control", nullptr), nullptr);
}

} // namespace
