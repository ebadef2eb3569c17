// The previous version's Startup shortcut is replaced at every start; only a real failure is told.
#include <gtest/gtest.h>

#include <windows.h>
#include <objbase.h>
#include <shobjidl.h>
#include <wrl/client.h>

#include <string>
#include <vector>

#include "common/strings.h"
#include "tests/support/shortcuts.h"
#include "tests/support/temp_folder.h"
#include "tests/support/windowed_world.h"

namespace {

std::wstring runningExecutable()
{
    std::vector<wchar_t> path(32768, L'\0');
    const DWORD length = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
    return std::wstring(path.data(), length);
}

TEST(StartupMigrationAtStart, AnUnreadableOldShortcutIsReportedAndLeftAsItWas)
{
    WindowedWorld world(false);
    const std::wstring oldShortcut = world.startupFolder / L"Corvandelle.lnk";
    writeFileBytes(oldShortcut, "not a shell link");

    ASSERT_EQ(S_OK, world.start());

    ASSERT_EQ(1u, world.system.debugLines.size());
    EXPECT_EQ(0u, world.system.debugLines[0].find(std::wstring(L"Peltorine: ") + kStartupChangeFailed.english + L" ["))
        << world.system.debugLines[0];
    EXPECT_EQ("not a shell link", readFileBytes(oldShortcut));
    EXPECT_FALSE(fileExists(world.startupFolder / L"Peltorine.lnk"));
}

TEST(StartupMigrationAtStart, ASuccessfulMigrationIsSilent)
{
    WindowedWorld world(false);
    TempFolder programs;
    const std::wstring oldProgram = programs / L"Corvandelle.exe";
    writeFileBytes(oldProgram, "MZ");
    ASSERT_EQ(S_OK, writeShortcut(world.startupFolder / L"Corvandelle.lnk", oldProgram));

    ASSERT_EQ(S_OK, world.start());

    EXPECT_TRUE(world.system.debugLines.empty());
    EXPECT_FALSE(fileExists(world.startupFolder / L"Corvandelle.lnk"));
    EXPECT_EQ(runningExecutable(), readShortcut(world.startupFolder / L"Peltorine.lnk").target);
}

} // namespace
