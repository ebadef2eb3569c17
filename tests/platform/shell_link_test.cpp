// The shell-link helpers that the program and its installer share, checked against what the
// shell's own link object reads back from the file.
#include <gtest/gtest.h>

#include <windows.h>
#include <objbase.h>
#include <objidl.h>
#include <shlobj.h>
#include <shobjidl.h>
#include <wrl/client.h>

#include <string>
#include <vector>

#include "platform/shell_link.h"
#include "tests/support/temp_folder.h"

using Microsoft::WRL::ComPtr;

namespace {

struct LinkFields {
    std::wstring target;
    std::wstring workingFolder;
    std::wstring description;
};

LinkFields readWithTheShell(const std::wstring& path)
{
    LinkFields fields;
    ComPtr<IShellLinkW> link;
    ComPtr<IPersistFile> file;
    if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&link))) ||
        FAILED(link.As(&file)) || FAILED(file->Load(path.c_str(), STGM_READ)))
        return fields;
    std::vector<wchar_t> text(32768, L'\0');
    if (SUCCEEDED(link->GetPath(text.data(), static_cast<int>(text.size()), nullptr, SLGP_RAWPATH)))
        fields.target = text.data();
    text.assign(text.size(), L'\0');
    if (SUCCEEDED(link->GetWorkingDirectory(text.data(), static_cast<int>(text.size()))))
        fields.workingFolder = text.data();
    text.assign(text.size(), L'\0');
    if (SUCCEEDED(link->GetDescription(text.data(), static_cast<int>(text.size()))))
        fields.description = text.data();
    return fields;
}

class ShellLinkTest : public testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(SUCCEEDED(com)); }
    void TearDown() override
    {
        if (SUCCEEDED(com))
            CoUninitialize();
    }
    HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    TempFolder folder;
};

TEST_F(ShellLinkTest, WhatIsWrittenIsWhatTheShellReads)
{
    // A program that exists, and two that do not. (Wine 8's link object keeps a target's names in
    // the ANSI code page: Vietnamese letters come back as "?", so no such case can pass here.)
    const std::wstring portable = folder / L"Peltorine Portable";
    ASSERT_TRUE(CreateDirectoryW(portable.c_str(), nullptr));
    writeFileBytes(portable + L"\\peltorine.exe", "MZ");
    const std::wstring cases[][2] = {
        {portable + L"\\peltorine.exe", portable},
        {L"C:\\Program Files\\Peltorine\\peltorine.exe", L"C:\\Program Files\\Peltorine"},
        {L"\\\\server\\share\\Peltorine\\peltorine.exe", L"\\\\server\\share\\Peltorine"},
    };
    for (const auto& [program, workingFolder] : cases) {
        const std::wstring link = folder / L"Peltorine.lnk";
        ASSERT_EQ(writeShellLink(link, program, workingFolder, L"Peltorine"), S_OK) << utf8(program);

        const LinkFields fields = readWithTheShell(link);
        EXPECT_EQ(fields.target, program);
        EXPECT_EQ(fields.workingFolder, workingFolder);
        EXPECT_EQ(fields.description, L"Peltorine");
        std::wstring target;
        EXPECT_EQ(readShellLinkTarget(link, target), S_OK);
        EXPECT_EQ(target, program);
    }
}

TEST_F(ShellLinkTest, AWrittenLinkReplacesTheOldOne)
{
    const std::wstring link = folder / L"Peltorine.lnk";
    ASSERT_EQ(writeShellLink(link, L"C:\\Old\\peltorine.exe", L"C:\\Old", L"Peltorine"), S_OK);
    ASSERT_EQ(writeShellLink(link, L"C:\\New\\peltorine.exe", L"C:\\New", L"Peltorine"), S_OK);
    std::wstring target;
    ASSERT_EQ(readShellLinkTarget(link, target), S_OK);
    EXPECT_EQ(target, L"C:\\New\\peltorine.exe");
}

TEST_F(ShellLinkTest, ALinkThatCannotBeSavedOrReadIsAFailure)
{
    // A folder that does not exist cannot take the file.
    EXPECT_TRUE(FAILED(writeShellLink(folder / L"missing\\Peltorine.lnk", L"C:\\x.exe", L"C:\\", L"Peltorine")));
    EXPECT_FALSE(fileExists(folder / L"missing\\Peltorine.lnk"));

    // A file held open by another handle cannot be replaced.
    const std::wstring held = folder / L"Held.lnk";
    ASSERT_EQ(writeShellLink(held, L"C:\\Old\\peltorine.exe", L"C:\\Old", L"Peltorine"), S_OK);
    {
        HeldOpen lock(held);
        ASSERT_TRUE(lock.held());
        EXPECT_TRUE(FAILED(writeShellLink(held, L"C:\\New\\peltorine.exe", L"C:\\New", L"Peltorine")));
    }
    std::wstring target = L"stale";
    EXPECT_EQ(readShellLinkTarget(held, target), S_OK);
    EXPECT_EQ(target, L"C:\\Old\\peltorine.exe");

    // Nothing there, or no link at all.
    target = L"stale";
    EXPECT_TRUE(FAILED(readShellLinkTarget(folder / L"none.lnk", target)));
    EXPECT_TRUE(target.empty());
    const std::wstring text = folder / L"text.lnk";
    writeFileBytes(text, "not a shell link");
    EXPECT_TRUE(FAILED(readShellLinkTarget(text, target)));
    EXPECT_TRUE(target.empty());
}

} // namespace
