// The icon in the notification area, with the recording system in place of the shell's.
#include <gtest/gtest.h>

#include "tests/support/recording_system.h"
#include "tray/tray_icon.h"

namespace {

constexpr UINT kCallbackMessage = 0x8001;

TEST(TrayIcon, AddsVersionFourIconWithTooltipAndCallback)
{
    RecordingSystem system;
    TrayIcon icon(system, GetModuleHandleW(nullptr));
    icon.add(reinterpret_cast<HWND>(0x1234), kCallbackMessage);

    ASSERT_EQ(2u, system.iconCalls.size());
    const NOTIFYICONDATAW& add = system.iconCalls[0].data;
    EXPECT_EQ(static_cast<DWORD>(NIM_ADD), system.iconCalls[0].message);
    EXPECT_EQ(static_cast<UINT>(NIF_MESSAGE | NIF_ICON | NIF_TIP | NIF_SHOWTIP), add.uFlags);
    EXPECT_EQ(0x8001u, add.uCallbackMessage);
    EXPECT_STREQ(L"Peltorine", add.szTip);
    EXPECT_NE(nullptr, add.hIcon);
    EXPECT_EQ(static_cast<DWORD>(NIM_SETVERSION), system.iconCalls[1].message);
    EXPECT_EQ(4u, system.iconCalls[1].data.uVersion);
    EXPECT_TRUE(icon.added());
}

TEST(TrayIcon, MissingTaskbarLeavesNoIconAndNoVersionCall)
{
    RecordingSystem system;
    system.iconCallResult = FALSE;
    TrayIcon icon(system, GetModuleHandleW(nullptr));
    icon.add(reinterpret_cast<HWND>(0x1234), kCallbackMessage);
    EXPECT_EQ(1u, system.iconCalls.size());
    EXPECT_FALSE(icon.added());
}

} // namespace
