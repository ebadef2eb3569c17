// The program across an Explorer restart: the shell's desktop-wallpaper object is made again
// when the old one answers that it is disconnected.
#include <gtest/gtest.h>

#include "app/application.h"
#include "tests/support/fake_desktop_wallpaper.h"
#include "tests/support/wallpaper_world.h"
#include "tests/support/windowed_world.h"

namespace {

constexpr wchar_t kDisplay[] = L"\\\\?\\DISPLAY#1";

TEST(ShellRestart, TheDesktopObjectIsMadeAgainWhenTheOldOneIsDisconnected)
{
    WindowedWorld world;
    ASSERT_EQ(S_OK, world.started);
    // The restarted shell's object, as CoCreateInstance(CLSID_DesktopWallpaper) gives it now.
    Microsoft::WRL::ComPtr<FakeDesktopWallpaper> restarted = FakeDesktopWallpaper::create();
    restarted->addDisplay(kDisplay, {0, 0, 1920, 1080}, L"C:\\old.jpg");
    DesktopWallpaperRegistration registration = restarted->registerAsDesktopWallpaperClass();
    ASSERT_EQ(registration.result(), S_OK);
    world.fake->failEveryCallOf(L"SetWallpaper", RPC_E_DISCONNECTED);

    PictureFolder pictures;
    const std::wstring picture = pictures.png(L"new.png");
    world.app.applyFileList({picture});

    EXPECT_EQ(restarted->wallpaperOf(kDisplay), picture) << restarted->callsText();
    EXPECT_EQ(world.app.wallpaper().currentState().mode, ModeStill);
    EXPECT_EQ(world.app.wallpaper().currentState().files, std::vector<std::wstring>{picture});
    EXPECT_TRUE(world.system.debugLines.empty()) << "no failure was told";
    // Every later call reaches the new object.
    const int oldCalls = world.fake->totalCalls();
    world.app.applyFileList({pictures.png(L"second.png")});
    EXPECT_EQ(world.fake->totalCalls(), oldCalls);
    EXPECT_EQ(restarted->wallpaperOf(kDisplay), pictures.path() + L"\\second.png");
}

} // namespace
