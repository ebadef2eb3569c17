// The desktop-wallpaper object in front of the shell's: a call that finds the shell's object
// disconnected (Explorer restarted) is made once more on a new object; nothing else is retried.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/desktop_wallpaper_connection.h"
#include "tests/support/fake_desktop_wallpaper.h"

namespace {

using Microsoft::WRL::ComPtr;

constexpr wchar_t kDisplay[] = L"\\\\?\\DISPLAY#1";

class DesktopWallpaperConnectionTest : public testing::Test {
protected:
    DesktopWallpaperConnectionTest()
    {
        for (const ComPtr<FakeDesktopWallpaper>& fake : {first, second})
            fake->addDisplay(kDisplay, {0, 0, 1920, 1080}, L"C:\\old.jpg");
    }

    // The object under test over `first`; each new object it asks for is `second`, or fails with
    // factoryResult.
    ComPtr<ReconnectingDesktopWallpaper> connect()
    {
        return ReconnectingDesktopWallpaper::create(first, [this](ComPtr<IDesktopWallpaper>& made) {
            ++factoryCalls;
            if (FAILED(factoryResult))
                return factoryResult;
            made = second;
            return S_OK;
        });
    }

    ComPtr<FakeDesktopWallpaper> first = FakeDesktopWallpaper::create();
    ComPtr<FakeDesktopWallpaper> second = FakeDesktopWallpaper::create();
    HRESULT factoryResult = S_OK;
    int factoryCalls = 0;
};

struct Disconnection {
    const char* name;
    HRESULT code;
};

class DisconnectedDesktop : public DesktopWallpaperConnectionTest, public testing::WithParamInterface<Disconnection> {};

TEST_P(DisconnectedDesktop, TheCallIsMadeAgainOnANewObjectThatServesTheLaterCalls)
{
    ComPtr<ReconnectingDesktopWallpaper> desktop = connect();
    ASSERT_TRUE(desktop);
    first->failNthCallOf(L"SetWallpaper", 1, GetParam().code);

    EXPECT_EQ(desktop->SetWallpaper(kDisplay, L"C:\\new.jpg"), S_OK);
    EXPECT_EQ(second->wallpaperOf(kDisplay), L"C:\\new.jpg");
    EXPECT_EQ(first->wallpaperOf(kDisplay), L"C:\\old.jpg");
    EXPECT_EQ(desktop->reconnections(), 1);
    EXPECT_EQ(desktop->current(), static_cast<IDesktopWallpaper*>(second.Get()));

    // What the new object answers comes back through the out-parameters.
    first->clearCalls();
    LPWSTR wallpaper = nullptr;
    ASSERT_EQ(desktop->GetWallpaper(kDisplay, &wallpaper), S_OK);
    ASSERT_NE(wallpaper, nullptr);
    EXPECT_EQ(std::wstring(wallpaper), L"C:\\new.jpg");
    CoTaskMemFree(wallpaper);
    EXPECT_EQ(first->totalCalls(), 0) << "the disconnected object is asked nothing more";
    EXPECT_EQ(factoryCalls, 1);
}

INSTANTIATE_TEST_SUITE_P(Errors, DisconnectedDesktop,
                         testing::Values(Disconnection{"Disconnected", RPC_E_DISCONNECTED},
                                         Disconnection{"ServerUnavailable", HRESULT_FROM_WIN32(RPC_S_SERVER_UNAVAILABLE)},
                                         Disconnection{"NotConnected", CO_E_OBJNOTCONNECTED}),
                         [](const testing::TestParamInfo<Disconnection>& info) { return std::string(info.param.name); });

TEST_F(DesktopWallpaperConnectionTest, AnyOtherFailureIsTheShellsAnswerAndNoNewObjectIsMade)
{
    ComPtr<ReconnectingDesktopWallpaper> desktop = connect();
    first->failNthCallOf(L"SetWallpaper", 1, E_ACCESSDENIED);
    EXPECT_EQ(desktop->SetWallpaper(kDisplay, L"C:\\new.jpg"), E_ACCESSDENIED);
    EXPECT_EQ(factoryCalls, 0);
    EXPECT_EQ(first->callCount(L"SetWallpaper"), 1) << "not tried again";
    EXPECT_EQ(second->totalCalls(), 0);
}

TEST_F(DesktopWallpaperConnectionTest, WhileNoNewObjectCanBeMadeTheFailureStaysAndTheNextCallTriesAgain)
{
    ComPtr<ReconnectingDesktopWallpaper> desktop = connect();
    first->failEveryCallOf(L"GetMonitorDevicePathCount", RPC_E_DISCONNECTED);
    factoryResult = REGDB_E_CLASSNOTREG; // Explorer not back yet
    UINT count = 0;
    EXPECT_EQ(desktop->GetMonitorDevicePathCount(&count), RPC_E_DISCONNECTED);
    EXPECT_EQ(desktop->current(), static_cast<IDesktopWallpaper*>(first.Get()));
    EXPECT_EQ(desktop->reconnections(), 0);

    factoryResult = S_OK;
    EXPECT_EQ(desktop->GetMonitorDevicePathCount(&count), S_OK);
    EXPECT_EQ(count, 1u);
    EXPECT_EQ(factoryCalls, 2);
    EXPECT_EQ(desktop->reconnections(), 1);
}

TEST_F(DesktopWallpaperConnectionTest, ACallIsMadeAgainOnlyOnce)
{
    ComPtr<ReconnectingDesktopWallpaper> desktop = connect();
    first->failNthCallOf(L"SetPosition", 1, RPC_E_DISCONNECTED);
    second->failNthCallOf(L"SetPosition", 1, RPC_E_DISCONNECTED);
    EXPECT_EQ(desktop->SetPosition(DWPOS_CENTER), RPC_E_DISCONNECTED);
    EXPECT_EQ(factoryCalls, 1);
    EXPECT_EQ(second->callCount(L"SetPosition"), 1);
}

} // namespace
