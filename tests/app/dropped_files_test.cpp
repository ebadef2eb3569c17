// Dropped or chosen pictures in the running program: the widget says they are being opened while
// the check runs off the control window's thread, the result arrives through the control window,
// and a check still running at exit leaves no thread behind.
#include <gtest/gtest.h>

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "common/strings.h"
#include "tests/support/file_checks.h"
#include "tests/support/temp_folder.h"
#include "tests/support/wallpaper_world.h"
#include "tests/support/windowed_world.h"
#include "tray/menu_model.h"

namespace {

constexpr const wchar_t* kDisplay = L"\\\\?\\DISPLAY#1";

void handlePostedMessages()
{
    MSG message{};
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
}

// Handles messages as they come until done holds. It waits for messages, not for time; the limit
// only keeps a broken build from hanging the run.
bool handleMessagesUntil(const std::function<bool()>& done)
{
    const ULONGLONG end = GetTickCount64() + 30000;
    handlePostedMessages();
    while (!done()) {
        const ULONGLONG now = GetTickCount64();
        if (now >= end)
            return false;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, static_cast<DWORD>(end - now), QS_ALLINPUT);
        handlePostedMessages();
    }
    return true;
}

std::wstring tooltip(const WindowedWorld& world)
{
    return world.app.widget().tooltipText();
}

TEST(DroppedFiles, TheWidgetSaysPicturesAreOpeningInTheLanguageInUseUntilTheSlideshowStarts)
{
    PictureFolder pictures;
    const std::wstring a = pictures.png(L"a.png");
    const std::wstring b = pictures.png(L"b.png");
    HeldFileChecks checks;
    WindowedWorld world;
    ASSERT_EQ(S_OK, world.started);
    world.fileChecks = &checks;
    world.chooseFiles = [&](HWND, bool, std::uint32_t) { return std::vector<std::wstring>{b, a}; };

    world.app.executeCommand(kCommandChooseWallpaper, {});

    EXPECT_EQ(L"Peltorine · Opening pictures…", tooltip(world));
    EXPECT_EQ(L"C:\\old.jpg", world.fake->wallpaperOf(kDisplay));
    EXPECT_FALSE(world.system.isArmed(SlideshowTimer));
    world.app.executeCommand(kCommandVietnamese, {});
    EXPECT_EQ(L"Peltorine · Đang mở ảnh…", tooltip(world));

    checks.runAll();
    EXPECT_EQ(L"C:\\old.jpg", world.fake->wallpaperOf(kDisplay)) << "the result waits for the control window";
    handlePostedMessages();

    EXPECT_EQ(a, world.fake->wallpaperOf(kDisplay));
    EXPECT_EQ(pick(kSlideshowTooltip, kVietnamese), tooltip(world));
    EXPECT_EQ(10000u, world.system.periodOf(SlideshowTimer));
    EXPECT_EQ(std::vector<std::wstring>{}, world.system.debugLines);
}

TEST(DroppedFiles, APictureThatDoesNotOpenIsToldByNameAsBefore)
{
    PictureFolder pictures;
    const std::wstring a = pictures.png(L"a.png");
    const std::wstring bad = pictures.garbage(L"z bad.png");
    const std::wstring worse = pictures.garbage(L"b worse.png");
    HeldFileChecks checks;
    WindowedWorld world;
    ASSERT_EQ(S_OK, world.started);
    world.fileChecks = &checks;

    world.app.applyFileList({a, bad, worse});
    checks.runAll();
    handlePostedMessages();

    EXPECT_EQ(L"C:\\old.jpg", world.fake->wallpaperOf(kDisplay));
    EXPECT_EQ(L"Couldn't open image z bad.png", tooltip(world));
    ASSERT_EQ(1u, world.system.debugLines.size());
    EXPECT_EQ(0u, world.system.debugLines[0].find(L"Peltorine: Couldn't open image z bad.png ["))
        << utf8(world.system.debugLines[0]);
}

TEST(DroppedFiles, AreCheckedOnAnotherThreadWhileTheControlWindowGoesOn)
{
    PictureFolder pictures;
    const std::wstring a = pictures.png(L"a.png");
    const std::wstring b = pictures.png(L"b.png");
    GatedFileChecks checks;
    WindowedWorld world;
    ASSERT_EQ(S_OK, world.started);
    world.fileChecks = &checks;

    // Returns while the check is held at the gate, as by a share that does not answer.
    world.app.applyFileList({b, a});
    EXPECT_EQ(L"Peltorine · Opening pictures…", tooltip(world));
    SendMessageW(world.app.controlWindow(), WM_DISPLAYCHANGE, 0, 0);
    EXPECT_TRUE(world.system.isArmed(RelayoutTimer)) << "the control window answers";
    handlePostedMessages();
    EXPECT_EQ(L"C:\\old.jpg", world.fake->wallpaperOf(kDisplay));

    checks.open();
    ASSERT_TRUE(handleMessagesUntil([&] { return world.fake->wallpaperOf(kDisplay) == a; }));
    EXPECT_NE(GetCurrentThreadId(), checks.checkingThread.load());
    EXPECT_EQ(pick(kSlideshowTooltip, kEnglish), tooltip(world));
    EXPECT_EQ(std::vector<std::wstring>{}, world.system.debugLines);
}

TEST(DroppedFiles, ACheckStillRunningAtExitLeavesNoThreadAndChangesNothing)
{
    PictureFolder pictures;
    std::vector<std::wstring> files;
    for (int i = 0; i < 40; ++i)
        files.push_back(pictures.png(L"p" + std::to_wstring(i) + L".png"));
    GatedFileChecks checks;
    WindowedWorld world;
    ASSERT_EQ(S_OK, world.started);
    world.fileChecks = &checks;

    world.app.applyFileList(files);
    checks.open();
    world.app.shutdown();

    EXPECT_EQ(0u, checks.threads.running());
    handlePostedMessages();
    EXPECT_EQ(L"C:\\old.jpg", world.fake->wallpaperOf(kDisplay));
    EXPECT_EQ(std::vector<std::wstring>{}, world.system.debugLines);
}

} // namespace
