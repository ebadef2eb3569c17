// "Start with Windows": real shell shortcuts in a Startup folder of the test's own, read
// back through the shell's link object.
#include <gtest/gtest.h>

#include <windows.h>
#include <objbase.h>
#include <objidl.h>
#include <shlobj.h>
#include <shobjidl.h>
#include <wrl/client.h>

#include <ostream>
#include <string>
#include <vector>

#include "platform/startup_shortcut.h"
#include "platform/unique_handle.h"
#include "tests/support/shortcuts.h"
#include "tests/support/temp_folder.h"

using Microsoft::WRL::ComPtr;

namespace {

std::wstring runningExecutable()
{
    std::vector<wchar_t> path(32768, L'\0');
    const DWORD length = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
    return std::wstring(path.data(), length);
}

std::wstring folderOf(const std::wstring& path)
{
    return path.substr(0, path.find_last_of(L"\\/"));
}

class StartupShortcutTest : public ::testing::Test {
protected:
    StartupShortcutTest()
    {
        shortcuts.folderOverride = startup.path();
        // Programs for the old shortcuts to point at.
        CreateDirectoryW((programs / L"Corvandelle").c_str(), nullptr);
        for (const wchar_t* name : {L"Corvandelle\\Corvandelle.exe", L"Corvandelle\\CORVANDELLE.EXE.bak",
                                    L"CORVANDELLE.EXE", L"Other.exe", L"Peltorine-old.exe"})
            writeFileBytes(programs / name, "MZ");
    }

    std::wstring shortcutPath() const { return startup / L"Peltorine.lnk"; }
    std::wstring oldShortcutPath() const { return startup / L"Corvandelle.lnk"; }

    OleScope ole;
    TempFolder startup;
    TempFolder programs;
    StartupShortcut shortcuts;
};

TEST_F(StartupShortcutTest, EmptyStartupFolderHasNoShortcut)
{
    std::wstring path = L"before";
    bool exists = true;

    EXPECT_EQ(S_OK, shortcuts.checkStartupShortcut(path, exists));

    EXPECT_EQ(shortcutPath(), path);
    EXPECT_FALSE(exists);
}

TEST_F(StartupShortcutTest, TurningOnWritesAShortcutToTheRunningExecutableAndTurningOffRemovesIt)
{
    std::wstring path;
    bool exists = false;
    ASSERT_EQ(S_OK, shortcuts.checkStartupShortcut(path, exists));

    ASSERT_EQ(S_OK, shortcuts.setStartWithWindows(path, true));

    ASSERT_EQ(S_OK, shortcuts.checkStartupShortcut(path, exists));
    EXPECT_TRUE(exists);
    const Shortcut written = readShortcut(shortcutPath());
    ASSERT_EQ(S_OK, written.loaded);
    EXPECT_EQ(runningExecutable(), written.target);
    EXPECT_EQ(folderOf(runningExecutable()), written.workingDirectory);
    EXPECT_EQ(L"Peltorine", written.description);

    // Turning it on again overwrites the shortcut in place.
    EXPECT_EQ(S_OK, shortcuts.setStartWithWindows(path, true));
    EXPECT_EQ(runningExecutable(), readShortcut(shortcutPath()).target);

    EXPECT_EQ(S_OK, shortcuts.setStartWithWindows(path, false));
    EXPECT_FALSE(fileExists(shortcutPath()));
    ASSERT_EQ(S_OK, shortcuts.checkStartupShortcut(path, exists));
    EXPECT_FALSE(exists);

    // A shortcut that vanished in between is still "off".
    EXPECT_EQ(S_OK, shortcuts.setStartWithWindows(path, false));
}

TEST_F(StartupShortcutTest, AShortcutTheUserCopiedInCountsAsOn)
{
    ASSERT_EQ(S_OK, writeShortcut(shortcutPath(), programs / L"Peltorine-old.exe"));
    std::wstring path;
    bool exists = false;

    EXPECT_EQ(S_OK, shortcuts.checkStartupShortcut(path, exists));

    EXPECT_TRUE(exists);
}

TEST_F(StartupShortcutTest, FolderNamedLikeTheShortcutFailsTheCheck)
{
    ASSERT_TRUE(CreateDirectoryW(shortcutPath().c_str(), nullptr));
    std::wstring path;
    bool exists = true;

    EXPECT_EQ(static_cast<HRESULT>(0x8007010B), shortcuts.checkStartupShortcut(path, exists));

    EXPECT_EQ(shortcutPath(), path);
    EXPECT_FALSE(exists);
}

TEST_F(StartupShortcutTest, MissingStartupFolderMeansOffAndTurningOnFails)
{
    shortcuts.folderOverride = startup / L"not here";
    std::wstring path;
    bool exists = true;

    EXPECT_EQ(S_OK, shortcuts.checkStartupShortcut(path, exists));
    EXPECT_FALSE(exists);

    EXPECT_TRUE(FAILED(shortcuts.setStartWithWindows(path, true)));
    EXPECT_FALSE(fileExists(path));
}

TEST_F(StartupShortcutTest, WithoutAnOverrideTheUsersStartupFolderIsUsed)
{
    shortcuts.folderOverride.clear();
    PWSTR folder = nullptr;
    ASSERT_EQ(S_OK, SHGetKnownFolderPath(FOLDERID_Startup, 0, nullptr, &folder));
    const std::wstring expected = std::wstring(folder) + L"\\Peltorine.lnk";
    CoTaskMemFree(folder);
    std::wstring path;
    bool exists = true;

    EXPECT_EQ(S_OK, shortcuts.checkStartupShortcut(path, exists));

    EXPECT_EQ(expected, path);
    EXPECT_EQ(fileExists(expected), exists);
}

// The previous version's shortcut, met at start.
struct MigrationCase {
    const char* name;
    const wchar_t* oldTarget;     // the target of Corvandelle.lnk; null: no such file
    bool peltorineShortcutExists; // Peltorine.lnk is there already (pointing at Peltorine-old.exe)
    HRESULT expected;
    bool oldShortcutRemains;
    const wchar_t* peltorineTarget; // Peltorine.lnk afterwards; null: none, L"": the running executable
};

void PrintTo(const MigrationCase& c, std::ostream* out)
{
    *out << c.name;
}

class StartupMigrationTest : public StartupShortcutTest, public ::testing::WithParamInterface<MigrationCase> {};

TEST_P(StartupMigrationTest, ReplacesOnlyThePreviousVersionsShortcut)
{
    const MigrationCase& c = GetParam();
    if (c.oldTarget) {
        ASSERT_EQ(S_OK, writeShortcut(oldShortcutPath(), programs / c.oldTarget));
    }
    if (c.peltorineShortcutExists) {
        ASSERT_EQ(S_OK, writeShortcut(shortcutPath(), programs / L"Peltorine-old.exe"));
    }

    // Every start runs the same steps, so a second start must not change the outcome.
    for (int start = 1; start <= 2; ++start) {
        std::wstring path;
        bool exists = false;
        ASSERT_EQ(S_OK, shortcuts.checkStartupShortcut(path, exists));
        const HRESULT result = shortcuts.migrateStartupShortcut(path, exists);
        // Nothing is left to do at the next start.
        EXPECT_EQ(start == 1 ? c.expected : S_FALSE, result) << "start " << start;

        EXPECT_EQ(c.oldShortcutRemains, fileExists(oldShortcutPath()));
        if (c.oldShortcutRemains) {
            EXPECT_EQ(programs / c.oldTarget, readShortcut(oldShortcutPath()).target);
        }
        if (!c.peltorineTarget) {
            EXPECT_FALSE(fileExists(shortcutPath()));
        } else {
            const Shortcut now = readShortcut(shortcutPath());
            ASSERT_EQ(S_OK, now.loaded);
            const std::wstring expected = *c.peltorineTarget ? programs / c.peltorineTarget : runningExecutable();
            EXPECT_EQ(expected, now.target);
        }
    }
}

INSTANTIATE_TEST_SUITE_P(
    Starts, StartupMigrationTest,
    ::testing::Values(MigrationCase{"OldShortcutIsReplaced", L"Corvandelle\\Corvandelle.exe", false, S_OK, false, L""},
                      MigrationCase{"NameIsComparedWithoutCase", L"CORVANDELLE.EXE", false, S_OK, false, L""},
                      MigrationCase{"ExistingShortcutIsKeptAndOnlyTheOldOneGoes", L"Corvandelle\\Corvandelle.exe", true,
                                    S_OK, false, L"Peltorine-old.exe"},
                      MigrationCase{"ShortcutToAnotherProgramIsLeftAlone", L"Other.exe", false, S_FALSE, true, nullptr},
                      MigrationCase{"AnotherExtensionIsAnotherProgram", L"Corvandelle\\CORVANDELLE.EXE.bak", false,
                                    S_FALSE, true, nullptr},
                      MigrationCase{"NoOldShortcutNothingHappens", nullptr, false, S_FALSE, false, nullptr},
                      MigrationCase{"NoOldShortcutAndTheSettingIsKept", nullptr, true, S_FALSE, false,
                                    L"Peltorine-old.exe"}),
    [](const ::testing::TestParamInfo<MigrationCase>& info) { return std::string(info.param.name); });

TEST_F(StartupShortcutTest, FolderNamedLikeTheOldShortcutIsNothingToMigrate)
{
    ASSERT_TRUE(CreateDirectoryW(oldShortcutPath().c_str(), nullptr));
    std::wstring path;
    bool exists = false;
    ASSERT_EQ(S_OK, shortcuts.checkStartupShortcut(path, exists));

    EXPECT_EQ(S_FALSE, shortcuts.migrateStartupShortcut(path, exists));

    EXPECT_FALSE(fileExists(shortcutPath()));
}

} // namespace
