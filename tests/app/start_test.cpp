// The real peltorine.exe started under Wine: single instance, start failure, orderly exit.
#include "app/application.h"
#include "tests/support/process.h"
#include "tools/desktop_wallpaper/registration.h"

#include <gtest/gtest.h>

namespace {

const std::wstring kExecutable = windowsPathOf(PELTORINE_EXE_PATH);
constexpr DWORD kStartTimeoutMs = 20000;

class StartTest : public ::testing::Test {
protected:
    void TearDown() override { (void)unregisterDevDesktopWallpaper(); }
};

TEST_F(StartTest, SecondCopyExitsAtOnceAndCloseEndsTheFirstWithZero)
{
    ASSERT_EQ(S_OK, registerDevDesktopWallpaper(windowsPathOf(PELTORINE_DEVDESKTOP_DLL)));

    ChildProcess first(kExecutable);
    ASSERT_TRUE(first.started());
    const HWND control = waitForWindow(first.id(), L"Peltorine.Control", L"Peltorine", kStartTimeoutMs);
    ASSERT_NE(nullptr, control) << "the first copy did not start";

    ChildProcess second(kExecutable);
    ASSERT_TRUE(second.started());
    EXPECT_EQ(0u, second.waitForExit(kStartTimeoutMs));
    EXPECT_EQ(static_cast<DWORD>(STILL_ACTIVE), first.waitForExit(0)) << "the running copy must be left alone";
    EXPECT_EQ(nullptr, waitForWindow(second.id(), L"#32770", nullptr, 0));

    PostMessageW(control, WM_CLOSE, 0, 0);
    EXPECT_EQ(0u, first.waitForExit(kStartTimeoutMs));
    EXPECT_FALSE(IsWindow(control));
}

TEST_F(StartTest, MissingDesktopWallpaperObjectShowsTheFailureInEnglishAndExitsWithOne)
{
    ASSERT_EQ(S_OK, unregisterDevDesktopWallpaper());

    ChildProcess process(kExecutable);
    ASSERT_TRUE(process.started());
    const HWND box = waitForWindow(process.id(), L"#32770", L"Peltorine", kStartTimeoutMs);
    ASSERT_NE(nullptr, box) << "no start failure message box";

    const HWND message = GetDlgItem(box, 0xFFFF);
    ASSERT_NE(nullptr, message);
    EXPECT_EQ(L"Couldn't start Peltorine (0x80040154).", windowText(message));
    EXPECT_NE(nullptr, GetDlgItem(box, IDOK)) << "one OK button";
    EXPECT_EQ(nullptr, GetDlgItem(box, IDCANCEL));

    PostMessageW(box, WM_COMMAND, IDOK, 0);
    EXPECT_EQ(1u, process.waitForExit(kStartTimeoutMs));
}

TEST(StartFailureMessage, NamesTheCodeAsEightUpperCaseHexDigitsInEitherLanguage)
{
    EXPECT_EQ(L"Couldn't start Peltorine (0x80040154).", startFailureMessage(kEnglish, REGDB_E_CLASSNOTREG));
    EXPECT_EQ(L"Couldn't start Peltorine (0x0000ABCD).", startFailureMessage(kEnglish, 0xABCD));
    EXPECT_EQ(L"Không thể khởi động Peltorine (0x8007007A).",
              startFailureMessage(kVietnamese, static_cast<HRESULT>(0x8007007A)));
}

} // namespace
