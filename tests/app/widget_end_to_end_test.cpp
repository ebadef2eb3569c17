// The real peltorine.exe on the development desktop, driven from this process as a user
// would: files dragged with the mouse onto its widget start the slideshow on the
// desktop-wallpaper object.
#include <windows.h>
#include <objbase.h>
#include <shobjidl.h>
#include <wrl/client.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cwctype>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/unique_handle.h"
#include "tests/support/file_drop_data.h"
#include "tests/support/mouse_drag.h"
#include "tests/support/desktop_object.h"
#include "tests/support/process.h"
#include "tests/support/temp_folder.h"
#include "tests/support/wallpaper_world.h"
#include "tools/desktop_wallpaper/registration.h"

using Microsoft::WRL::ComPtr;

namespace {

constexpr DWORD kStartTimeoutMs = 20000;
constexpr wchar_t kStateVariable[] = L"PELTORINE_DEVDESKTOP_STATE";

std::wstring toolPath(const wchar_t* fileName)
{
    return windowsPathOf((std::filesystem::path(PELTORINE_EXE_PATH).parent_path() / fileName).string().c_str());
}

std::wstring lower(std::wstring text)
{
    std::transform(text.begin(), text.end(), text.begin(), [](wchar_t c) { return std::towlower(c); });
    return text;
}

// Pumps this thread's messages until `done` holds or the time is up.
template <typename Condition>
bool pumpUntil(Condition done, DWORD milliseconds)
{
    const DWORD deadline = GetTickCount() + milliseconds;
    while (!done()) {
        if (GetTickCount() > deadline)
            return false;
        MSG message{};
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE))
            DispatchMessageW(&message);
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
    }
    return true;
}

class WidgetEndToEnd : public ::testing::Test {
protected:
    void SetUp() override
    {
        SetEnvironmentVariableW(kStateVariable, (folder.path() + L"\\state.ini").c_str());
        ASSERT_EQ(S_OK, registerDevDesktopWallpaper(toolPath(L"peltorine_devdesktop_wallpaper.dll")));
    }
    void TearDown() override
    {
        if (desktopProcess.hProcess) {
            TerminateProcess(desktopProcess.hProcess, 1);
            WaitForSingleObject(desktopProcess.hProcess, 10000);
            CloseHandle(desktopProcess.hThread);
            CloseHandle(desktopProcess.hProcess);
        }
        (void)unregisterDevDesktopWallpaper();
        SetEnvironmentVariableW(kStateVariable, nullptr);
    }

    HWND startDesktop()
    {
        std::wstring commandLine = L"\"" + toolPath(L"peltorine_devdesktop.exe") + L"\"";
        STARTUPINFOW startup{};
        startup.cb = sizeof(startup);
        if (!CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                            &desktopProcess))
            return nullptr;
        WaitForInputIdle(desktopProcess.hProcess, kStartTimeoutMs);
        return FindWindowW(L"Progman", nullptr);
    }

    // The wallpaper of every display, as the desktop-wallpaper object reports it.
    std::vector<std::wstring> wallpapers()
    {
        std::vector<std::wstring> paths = wallpapersOfEveryDisplay();
        std::transform(paths.begin(), paths.end(), paths.begin(), lower);
        return paths;
    }

    bool everyDisplayShows(const std::wstring& path)
    {
        const std::vector<std::wstring> shown = wallpapers();
        return !shown.empty() &&
               std::all_of(shown.begin(), shown.end(), [&](const std::wstring& each) { return each == lower(path); });
    }

    PictureFolder pictures; // OLE for this thread, too
    TempFolder folder;
    PROCESS_INFORMATION desktopProcess{};
};

TEST_F(WidgetEndToEnd, PicturesDraggedOntoTheWidgetStartTheSlideshowInNaturalOrder)
{
    ASSERT_NE(startDesktop(), nullptr) << "the development desktop did not start";
    const std::wstring second = pictures.png(L"b 2.png", RGB(200, 40, 40));
    const std::wstring third = pictures.png(L"b 10.png", RGB(40, 200, 40));
    const std::wstring first = pictures.jpeg(L"a.jpg", RGB(40, 40, 200));

    ChildProcess peltorine(windowsPathOf(PELTORINE_EXE_PATH));
    ASSERT_TRUE(peltorine.started());
    const HWND widget = waitForWindow(peltorine.id(), L"Peltorine.Widget", L"Peltorine", kStartTimeoutMs);
    ASSERT_NE(widget, nullptr) << "no widget on the desktop";
    const HWND control = waitForWindow(peltorine.id(), L"Peltorine.Control", L"Peltorine", kStartTimeoutMs);
    ASSERT_NE(control, nullptr);
    ASSERT_TRUE(pumpUntil([&] { return IsWindowVisible(widget) != FALSE; }, kStartTimeoutMs));
    EXPECT_EQ(GetWindow(widget, GW_OWNER), FindWindowW(L"Progman", nullptr)) << "owned by the icon host";

    RECT rect{};
    ASSERT_TRUE(GetWindowRect(widget, &rect));
    const POINT centre{(rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2};

    // Text is refused and changes nothing.
    const std::vector<std::wstring> before = wallpapers();
    const MouseDragResult text = dragWithMouse(textData(L"C:\\a.png").Get(), DROPEFFECT_COPY, centre);
    ASSERT_TRUE(text.pressed) << text.trouble;
    EXPECT_EQ(text.effect, static_cast<DWORD>(DROPEFFECT_NONE));

    // Three pictures, in the order a file manager might list them.
    const MouseDragResult drop =
        dragWithMouse(fileDropData({third, first, second}).Get(), DROPEFFECT_COPY | DROPEFFECT_MOVE, centre);
    ASSERT_TRUE(drop.pressed) << drop.trouble;
    EXPECT_EQ(drop.result, DRAGDROP_S_DROP);
    EXPECT_EQ(drop.effect, static_cast<DWORD>(DROPEFFECT_COPY));
    EXPECT_TRUE(pumpUntil([&] { return everyDisplayShows(first); }, kStartTimeoutMs))
        << "the first picture in natural order is shown";

    // The slideshow's timer, delivered now rather than waited for.
    PostMessageW(control, WM_TIMER, 1, 0);
    EXPECT_TRUE(pumpUntil([&] { return everyDisplayShows(second); }, kStartTimeoutMs));
    PostMessageW(control, WM_TIMER, 1, 0);
    EXPECT_TRUE(pumpUntil([&] { return everyDisplayShows(third); }, kStartTimeoutMs));
    EXPECT_NE(before, wallpapers());

    PostMessageW(control, WM_CLOSE, 0, 0);
    EXPECT_EQ(0u, peltorine.waitForExit(kStartTimeoutMs));
}

TEST_F(WidgetEndToEnd, ComesBackUnderTheNewDesktopWhenTheShellRestarts)
{
    ASSERT_NE(startDesktop(), nullptr) << "the development desktop did not start";
    ChildProcess peltorine(windowsPathOf(PELTORINE_EXE_PATH));
    ASSERT_TRUE(peltorine.started());
    const HWND first = waitForWindow(peltorine.id(), L"Peltorine.Widget", L"Peltorine", kStartTimeoutMs);
    ASSERT_NE(first, nullptr);
    const HWND control = waitForWindow(peltorine.id(), L"Peltorine.Control", L"Peltorine", kStartTimeoutMs);
    ASSERT_NE(control, nullptr);

    // The shell goes, and its desktop windows with it. (Windows destroys the widget they owned
    // too; Wine leaves it with an owner that is gone.)
    TerminateProcess(desktopProcess.hProcess, 1);
    WaitForSingleObject(desktopProcess.hProcess, kStartTimeoutMs);
    CloseHandle(desktopProcess.hThread);
    CloseHandle(desktopProcess.hProcess);
    desktopProcess = {};

    // It comes back and tells every program, as Explorer does.
    const HWND progman = startDesktop();
    ASSERT_NE(progman, nullptr);
    DWORD_PTR ignored = 0;
    SendMessageTimeoutW(HWND_BROADCAST, RegisterWindowMessageW(L"TaskbarCreated"), 0, 0, SMTO_ABORTIFHUNG, 5000,
                        &ignored);
    // The relayout after the debounce, delivered now rather than waited for.
    PostMessageW(control, WM_TIMER, 3, 0);
    HWND second = nullptr;
    EXPECT_TRUE(pumpUntil(
        [&] {
            second = FindWindowW(L"Peltorine.Widget", L"Peltorine");
            return second != nullptr && GetWindow(second, GW_OWNER) == progman && IsWindowVisible(second);
        },
        kStartTimeoutMs));
    EXPECT_NE(second, first);
    EXPECT_FALSE(IsWindow(first)) << "the old widget is gone";

    PostMessageW(control, WM_CLOSE, 0, 0);
    EXPECT_EQ(0u, peltorine.waitForExit(kStartTimeoutMs));
}

} // namespace
