// The development desktop: its desktop-wallpaper object (through a real CoCreateInstance of
// CLSID_DesktopWallpaper, registered per user for the test) and its desktop program (started
// as a child process, watched through its windows and the screen).
#include "tests/support/temp_folder.h"
#include "tools/desktop/wallpaper_layout.h"
#include "tools/desktop_wallpaper/registration.h"

#include <gtest/gtest.h>

#include <windows.h>
#include <objbase.h>
#include <shlobj.h>
#include <shobjidl.h>
#include <wrl/client.h>

#include <filesystem>
#include <string>
#include <thread>
#include <vector>

using Microsoft::WRL::ComPtr;

namespace {

constexpr wchar_t kStateVariable[] = L"PELTORINE_DEVDESKTOP_STATE";

// The build puts the tools next to peltorine.exe.
std::wstring toolPath(const wchar_t* fileName)
{
    const std::wstring relative = std::filesystem::path(PELTORINE_EXE_PATH).parent_path().wstring() + L"\\" + fileName;
    wchar_t full[MAX_PATH * 4] = {};
    GetFullPathNameW(relative.c_str(), MAX_PATH * 4, full, nullptr);
    return full;
}

std::wstring takeTaskString(LPWSTR text)
{
    std::wstring copy = text ? text : L"";
    CoTaskMemFree(text);
    return copy;
}

// A solid-colour 24-bit BMP, a format the shell accepts as wallpaper and WIC decodes.
void writeSolidBitmap(const std::wstring& path, int width, int height, COLORREF color)
{
    const int stride = (width * 3 + 3) & ~3;
    BITMAPFILEHEADER file{};
    BITMAPINFOHEADER info{};
    file.bfType = 0x4D42;
    file.bfOffBits = sizeof(file) + sizeof(info);
    file.bfSize = file.bfOffBits + static_cast<DWORD>(stride * height);
    info.biSize = sizeof(info);
    info.biWidth = width;
    info.biHeight = height;
    info.biPlanes = 1;
    info.biBitCount = 24;
    std::string bytes(reinterpret_cast<const char*>(&file), sizeof(file));
    bytes.append(reinterpret_cast<const char*>(&info), sizeof(info));
    std::string row(static_cast<size_t>(stride), '\0');
    for (int x = 0; x < width; ++x) {
        row[static_cast<size_t>(x * 3)] = static_cast<char>(GetBValue(color));
        row[static_cast<size_t>(x * 3 + 1)] = static_cast<char>(GetGValue(color));
        row[static_cast<size_t>(x * 3 + 2)] = static_cast<char>(GetRValue(color));
    }
    for (int y = 0; y < height; ++y)
        bytes += row;
    writeFileBytes(path, bytes);
}

ComPtr<IShellItemArray> shellItemsOf(const std::vector<std::wstring>& paths)
{
    std::vector<PIDLIST_ABSOLUTE> lists;
    for (const std::wstring& path : paths) {
        PIDLIST_ABSOLUTE list = nullptr;
        EXPECT_EQ(SHParseDisplayName(path.c_str(), nullptr, &list, 0, nullptr), S_OK);
        lists.push_back(list);
    }
    ComPtr<IShellItemArray> items;
    std::vector<PCIDLIST_ABSOLUTE> constLists(lists.begin(), lists.end());
    EXPECT_EQ(SHCreateShellItemArrayFromIDLists(static_cast<UINT>(constLists.size()), constLists.data(), &items), S_OK);
    for (PIDLIST_ABSOLUTE list : lists)
        CoTaskMemFree(list);
    return items;
}

struct Monitor {
    std::wstring device;
    RECT rect{};
};

std::vector<Monitor> monitorsOfWindows()
{
    std::vector<Monitor> monitors;
    EnumDisplayMonitors(
        nullptr, nullptr,
        [](HMONITOR monitor, HDC, LPRECT, LPARAM context) -> BOOL {
            MONITORINFOEXW info{};
            info.cbSize = sizeof(info);
            GetMonitorInfoW(monitor, &info);
            reinterpret_cast<std::vector<Monitor>*>(context)->push_back({info.szDevice, info.rcMonitor});
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&monitors));
    return monitors;
}

std::wstring classOf(HWND window)
{
    wchar_t name[64] = {};
    GetClassNameW(window, name, 64);
    return name;
}

// Registers the DLL for the test and puts the state in a temporary folder; undoes both.
class DevDesktopEnvironment : public ::testing::Test {
protected:
    void SetUp() override
    {
        const HRESULT init = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
        ASSERT_TRUE(SUCCEEDED(init));
        comInitialized_ = true;
        statePath_ = folder_ / L"state.ini";
        SetEnvironmentVariableW(kStateVariable, statePath_.c_str());
        ASSERT_EQ(registerDevDesktopWallpaper(toolPath(L"peltorine_devdesktop_wallpaper.dll")), S_OK);
    }

    void TearDown() override
    {
        EXPECT_EQ(unregisterDevDesktopWallpaper(), S_OK);
        SetEnvironmentVariableW(kStateVariable, nullptr);
        if (comInitialized_) {
            CoFreeUnusedLibraries();
            CoUninitialize();
        }
    }

    ComPtr<IDesktopWallpaper> createDesktopWallpaper()
    {
        ComPtr<IDesktopWallpaper> desktop;
        const HRESULT hr = CoCreateInstance(CLSID_DesktopWallpaper, nullptr, CLSCTX_ALL, IID_PPV_ARGS(&desktop));
        EXPECT_EQ(hr, S_OK);
        return desktop;
    }

    std::vector<std::wstring> displayIds(IDesktopWallpaper* desktop)
    {
        UINT count = 0;
        EXPECT_EQ(desktop->GetMonitorDevicePathCount(&count), S_OK);
        std::vector<std::wstring> ids;
        for (UINT i = 0; i < count; ++i) {
            LPWSTR id = nullptr;
            EXPECT_EQ(desktop->GetMonitorDevicePathAt(i, &id), S_OK);
            ids.push_back(takeTaskString(id));
        }
        return ids;
    }

    std::wstring wallpaperOf(IDesktopWallpaper* desktop, const wchar_t* monitorId, HRESULT expected = S_OK)
    {
        LPWSTR path = nullptr;
        EXPECT_EQ(desktop->GetWallpaper(monitorId, &path), expected);
        return takeTaskString(path);
    }

    TempFolder folder_;
    std::wstring statePath_;
    bool comInitialized_ = false;
};

using DevDesktopWallpaperObject = DevDesktopEnvironment;

TEST_F(DevDesktopWallpaperObject, ListsTheMonitorsWindowsReportsWithTheirRectangles)
{
    ComPtr<IDesktopWallpaper> desktop = createDesktopWallpaper();
    ASSERT_TRUE(desktop);
    const std::vector<Monitor> monitors = monitorsOfWindows();
    const std::vector<std::wstring> ids = displayIds(desktop.Get());
    ASSERT_GE(ids.size(), 1u);
    ASSERT_EQ(ids.size(), monitors.size());
    for (size_t i = 0; i < ids.size(); ++i) {
        EXPECT_EQ(ids[i], monitors[i].device);
        RECT rect{};
        EXPECT_EQ(desktop->GetMonitorRECT(ids[i].c_str(), &rect), S_OK);
        EXPECT_TRUE(EqualRect(&rect, &monitors[i].rect)) << "display " << i;
    }
}

TEST_F(DevDesktopWallpaperObject, AnswersBadArgumentsAsTheShellDocuments)
{
    ComPtr<IDesktopWallpaper> desktop = createDesktopWallpaper();
    ASSERT_TRUE(desktop);
    UINT count = 0;
    ASSERT_EQ(desktop->GetMonitorDevicePathCount(&count), S_OK);
    LPWSTR text = nullptr;
    RECT rect{};
    DESKTOP_WALLPAPER_POSITION position{};
    COLORREF color = 0;
    UINT tick = 0;
    DESKTOP_SLIDESHOW_OPTIONS options{};
    struct Case {
        const char* call;
        HRESULT result;
        HRESULT expected;
    };
    const Case cases[] = {
        {"GetMonitorDevicePathAt past the end", desktop->GetMonitorDevicePathAt(count, &text), E_INVALIDARG},
        {"GetMonitorDevicePathAt into null", desktop->GetMonitorDevicePathAt(0, nullptr), E_POINTER},
        {"GetMonitorDevicePathCount into null", desktop->GetMonitorDevicePathCount(nullptr), E_POINTER},
        {"GetMonitorRECT of an unknown display", desktop->GetMonitorRECT(L"\\\\.\\DISPLAY77", &rect), E_INVALIDARG},
        {"GetMonitorRECT into null", desktop->GetMonitorRECT(L"\\\\.\\DISPLAY1", nullptr), E_POINTER},
        {"GetWallpaper of an unknown display", desktop->GetWallpaper(L"\\\\.\\DISPLAY77", &text), E_INVALIDARG},
        {"SetWallpaper on an unknown display", desktop->SetWallpaper(L"\\\\.\\DISPLAY77", L""), E_INVALIDARG},
        {"SetWallpaper of a missing file", desktop->SetWallpaper(nullptr, (folder_ / L"missing.png").c_str()),
         HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND)},
        {"SetPosition past Span", desktop->SetPosition(static_cast<DESKTOP_WALLPAPER_POSITION>(6)), E_INVALIDARG},
        {"GetPosition into null", desktop->GetPosition(nullptr), E_POINTER},
        {"GetBackgroundColor into null", desktop->GetBackgroundColor(nullptr), E_POINTER},
        {"GetSlideshowOptions into null", desktop->GetSlideshowOptions(&options, nullptr), E_POINTER},
        {"GetStatus into null", desktop->GetStatus(nullptr), E_POINTER},
        {"AdvanceSlideshow without a slideshow", desktop->AdvanceSlideshow(nullptr, DSD_FORWARD),
         HRESULT_FROM_WIN32(ERROR_INVALID_STATE)},
    };
    for (const Case& check : cases)
        EXPECT_EQ(check.result, check.expected) << check.call;
    EXPECT_EQ(text, nullptr);
    // Nothing above changed the desktop: still the defaults.
    EXPECT_EQ(desktop->GetPosition(&position), S_OK);
    EXPECT_EQ(position, DWPOS_FILL);
    EXPECT_EQ(desktop->GetBackgroundColor(&color), S_OK);
    EXPECT_EQ(color, 0u);
    EXPECT_EQ(desktop->GetSlideshowOptions(&options, &tick), S_OK);
    EXPECT_EQ(tick, 0u);
    EXPECT_FALSE(fileExists(statePath_));
}

TEST_F(DevDesktopWallpaperObject, AnotherObjectSeesEveryChangeBecauseItIsOnDisk)
{
    const std::wstring first = folder_ / L"first.bmp";
    const std::wstring second = folder_ / L"second.bmp";
    writeSolidBitmap(first, 8, 8, RGB(255, 0, 0));
    writeSolidBitmap(second, 8, 8, RGB(0, 255, 0));
    std::vector<std::wstring> ids;
    {
        ComPtr<IDesktopWallpaper> writer = createDesktopWallpaper();
        ASSERT_TRUE(writer);
        ids = displayIds(writer.Get());
        ASSERT_FALSE(ids.empty());
        EXPECT_EQ(writer->SetWallpaper(nullptr, first.c_str()), S_OK);
        EXPECT_EQ(writer->SetWallpaper(ids.front().c_str(), second.c_str()), S_OK);
        EXPECT_EQ(writer->SetPosition(DWPOS_TILE), S_OK);
        EXPECT_EQ(writer->SetBackgroundColor(RGB(12, 34, 56)), S_OK);
        EXPECT_EQ(writer->Enable(FALSE), S_OK);
    }

    ComPtr<IDesktopWallpaper> reader = createDesktopWallpaper();
    ASSERT_TRUE(reader);
    EXPECT_EQ(wallpaperOf(reader.Get(), ids.front().c_str()), second);
    for (size_t i = 1; i < ids.size(); ++i)
        EXPECT_EQ(wallpaperOf(reader.Get(), ids[i].c_str()), first);
    DESKTOP_WALLPAPER_POSITION position{};
    EXPECT_EQ(reader->GetPosition(&position), S_OK);
    EXPECT_EQ(position, DWPOS_TILE);
    COLORREF color = 0;
    EXPECT_EQ(reader->GetBackgroundColor(&color), S_OK);
    EXPECT_EQ(color, RGB(12, 34, 56));
    DESKTOP_SLIDESHOW_STATE status{};
    EXPECT_EQ(reader->GetStatus(&status), S_OK);
    EXPECT_EQ(status, 0);

    // Setting a picture turns the wallpaper back on.
    EXPECT_EQ(reader->SetWallpaper(nullptr, first.c_str()), S_OK);
    EXPECT_EQ(reader->GetStatus(&status), S_OK);
    EXPECT_EQ(status, DSS_ENABLED);
    EXPECT_EQ(wallpaperOf(reader.Get(), nullptr), first);
    EXPECT_NE(readFileBytes(statePath_).find("first.bmp"), std::string::npos);
}

TEST_F(DevDesktopWallpaperObject, KeepsEachOfTheSixPositions)
{
    ComPtr<IDesktopWallpaper> desktop = createDesktopWallpaper();
    ASSERT_TRUE(desktop);
    for (const DESKTOP_WALLPAPER_POSITION position :
         {DWPOS_CENTER, DWPOS_TILE, DWPOS_STRETCH, DWPOS_FIT, DWPOS_FILL, DWPOS_SPAN}) {
        EXPECT_EQ(desktop->SetPosition(position), S_OK);
        DESKTOP_WALLPAPER_POSITION stored{};
        EXPECT_EQ(createDesktopWallpaper()->GetPosition(&stored), S_OK);
        EXPECT_EQ(stored, position);
    }
}

TEST_F(DevDesktopWallpaperObject, RunsTheShellSlideshowUntilAWallpaperIsSet)
{
    const std::wstring first = folder_ / L"slide 1.bmp";
    const std::wstring second = folder_ / L"slide 2.bmp";
    writeSolidBitmap(first, 4, 4, RGB(1, 2, 3));
    writeSolidBitmap(second, 4, 4, RGB(4, 5, 6));
    ComPtr<IDesktopWallpaper> desktop = createDesktopWallpaper();
    ASSERT_TRUE(desktop);
    const std::vector<std::wstring> ids = displayIds(desktop.Get());
    ASSERT_FALSE(ids.empty());

    const ComPtr<IShellItemArray> items = shellItemsOf({first, second});
    ASSERT_TRUE(items);
    EXPECT_EQ(desktop->SetSlideshow(items.Get()), S_OK);
    EXPECT_EQ(desktop->SetSlideshowOptions(DSO_SHUFFLEIMAGES, 60000), S_OK);
    ComPtr<IDesktopWallpaper> other = createDesktopWallpaper();
    DESKTOP_SLIDESHOW_STATE status{};
    EXPECT_EQ(other->GetStatus(&status), S_OK);
    EXPECT_EQ(status, DSS_ENABLED | DSS_SLIDESHOW);
    EXPECT_EQ(wallpaperOf(other.Get(), ids.front().c_str()), first);
    EXPECT_EQ(wallpaperOf(other.Get(), nullptr, S_FALSE), L"");
    EXPECT_EQ(other->AdvanceSlideshow(nullptr, DSD_FORWARD), S_OK);
    EXPECT_EQ(wallpaperOf(other.Get(), ids.front().c_str()), second);

    ComPtr<IShellItemArray> stored;
    ASSERT_EQ(other->GetSlideshow(&stored), S_OK);
    ASSERT_TRUE(stored);
    DWORD count = 0;
    EXPECT_EQ(stored->GetCount(&count), S_OK);
    ASSERT_EQ(count, 2u);
    ComPtr<IShellItem> item;
    ASSERT_EQ(stored->GetItemAt(1, &item), S_OK);
    PWSTR path = nullptr;
    ASSERT_EQ(item->GetDisplayName(SIGDN_FILESYSPATH, &path), S_OK);
    EXPECT_EQ(takeTaskString(path), second);
    DESKTOP_SLIDESHOW_OPTIONS options{};
    UINT tick = 0;
    EXPECT_EQ(other->GetSlideshowOptions(&options, &tick), S_OK);
    EXPECT_EQ(options, DSO_SHUFFLEIMAGES);
    EXPECT_EQ(tick, 60000u);

    EXPECT_EQ(desktop->SetWallpaper(nullptr, first.c_str()), S_OK);
    EXPECT_EQ(other->GetStatus(&status), S_OK);
    EXPECT_EQ(status, DSS_ENABLED);
    stored.Reset();
    EXPECT_EQ(other->GetSlideshow(&stored), S_OK);
    EXPECT_FALSE(stored);
}

TEST_F(DevDesktopWallpaperObject, ListsADetachedDisplayThatStillHasAWallpaper)
{
    writeFileBytes(statePath_, "[Wallpapers]\n\\\\.\\DISPLAY9=C:\\pictures\\gone.png\n");
    ComPtr<IDesktopWallpaper> desktop = createDesktopWallpaper();
    ASSERT_TRUE(desktop);
    const std::vector<std::wstring> ids = displayIds(desktop.Get());
    ASSERT_EQ(ids.size(), monitorsOfWindows().size() + 1);
    EXPECT_EQ(ids.back(), L"\\\\.\\DISPLAY9");
    RECT rect{1, 2, 3, 4};
    EXPECT_EQ(desktop->GetMonitorRECT(L"\\\\.\\DISPLAY9", &rect), S_FALSE);
    EXPECT_TRUE(IsRectEmpty(&rect));
    EXPECT_EQ(wallpaperOf(desktop.Get(), L"\\\\.\\DISPLAY9"), L"C:\\pictures\\gone.png");
}

TEST_F(DevDesktopWallpaperObject, TwoWritersAtOnceLoseNeitherChange)
{
    constexpr int kRounds = 25;
    const auto writer = [](bool colours) {
        CoInitializeEx(nullptr, COINIT_MULTITHREADED);
        {
            ComPtr<IDesktopWallpaper> desktop;
            if (SUCCEEDED(CoCreateInstance(CLSID_DesktopWallpaper, nullptr, CLSCTX_ALL, IID_PPV_ARGS(&desktop)))) {
                for (int i = 1; i <= kRounds; ++i) {
                    if (colours)
                        (void)desktop->SetBackgroundColor(RGB(i, 0, 0));
                    else
                        (void)desktop->SetPosition(static_cast<DESKTOP_WALLPAPER_POSITION>(i % 6));
                }
            }
        }
        CoUninitialize();
    };
    std::thread colours(writer, true);
    std::thread positions(writer, false);
    colours.join();
    positions.join();

    ComPtr<IDesktopWallpaper> desktop = createDesktopWallpaper();
    ASSERT_TRUE(desktop);
    COLORREF color = 0;
    DESKTOP_WALLPAPER_POSITION position{};
    EXPECT_EQ(desktop->GetBackgroundColor(&color), S_OK);
    EXPECT_EQ(desktop->GetPosition(&position), S_OK);
    EXPECT_EQ(color, RGB(kRounds, 0, 0));
    EXPECT_EQ(position, static_cast<DESKTOP_WALLPAPER_POSITION>(kRounds % 6));
}

TEST_F(DevDesktopWallpaperObject, TellsTheDesktopProgramAboutEveryChange)
{
    const UINT changed = RegisterWindowMessageW(L"PeltorineDevDesktop.Changed");
    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = DefWindowProcW;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.lpszClassName = L"PeltorineDevDesktop.Control";
    RegisterClassW(&windowClass);
    const HWND control = CreateWindowExW(0, windowClass.lpszClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                         windowClass.hInstance, nullptr);
    ASSERT_TRUE(control);
    ComPtr<IDesktopWallpaper> desktop = createDesktopWallpaper();
    ASSERT_TRUE(desktop);

    EXPECT_EQ(desktop->SetPosition(DWPOS_CENTER), S_OK);
    MSG message{};
    EXPECT_TRUE(PeekMessageW(&message, control, changed, changed, PM_REMOVE));
    // Asking changes nothing and tells nobody.
    DESKTOP_WALLPAPER_POSITION position{};
    EXPECT_EQ(desktop->GetPosition(&position), S_OK);
    EXPECT_FALSE(PeekMessageW(&message, control, changed, changed, PM_REMOVE));
    DestroyWindow(control);
    UnregisterClassW(windowClass.lpszClassName, windowClass.hInstance);
}

TEST_F(DevDesktopWallpaperObject, UnregisteringLeavesTheClassUnregisteredAsWineHasIt)
{
    HKEY key = nullptr;
    ASSERT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER,
                            L"Software\\Classes\\CLSID\\{C2CF3110-460E-4FC1-B9D0-8A1C0C9CC4BD}\\InprocServer32", 0,
                            KEY_READ, &key),
              ERROR_SUCCESS);
    wchar_t value[MAX_PATH * 4] = {};
    DWORD size = sizeof(value);
    EXPECT_EQ(RegGetValueW(key, nullptr, L"ThreadingModel", RRF_RT_REG_SZ, nullptr, value, &size), ERROR_SUCCESS);
    EXPECT_STREQ(value, L"Both");
    size = sizeof(value);
    EXPECT_EQ(RegGetValueW(key, nullptr, nullptr, RRF_RT_REG_SZ, nullptr, value, &size), ERROR_SUCCESS);
    EXPECT_EQ(std::wstring(value), toolPath(L"peltorine_devdesktop_wallpaper.dll"));
    RegCloseKey(key);

    ASSERT_EQ(unregisterDevDesktopWallpaper(), S_OK);
    ComPtr<IDesktopWallpaper> desktop;
    EXPECT_EQ(CoCreateInstance(CLSID_DesktopWallpaper, nullptr, CLSCTX_ALL, IID_PPV_ARGS(&desktop)),
              REGDB_E_CLASSNOTREG);
    EXPECT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, L"Software\\Classes\\CLSID\\{C2CF3110-460E-4FC1-B9D0-8A1C0C9CC4BD}", 0,
                            KEY_READ, &key),
              ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(unregisterDevDesktopWallpaper(), S_OK) << "a second unregistration finds nothing to do";
}

TEST(WallpaperLayout, PlacesAPictureOnADisplayForEachPosition)
{
    struct Case {
        DESKTOP_WALLPAPER_POSITION position;
        SIZE picture;
        RECT area;
        RECT expected;
        bool tiled;
    };
    const RECT hd{0, 0, 1920, 1080};
    const RECT leftOfPrimary{-1920, 0, 0, 1080};
    const Case cases[] = {
        {DWPOS_CENTER, {400, 300}, hd, {760, 390, 1160, 690}, false},
        {DWPOS_CENTER, {2000, 1000}, leftOfPrimary, {-1960, 40, 40, 1040}, false},
        {DWPOS_TILE, {400, 300}, leftOfPrimary, {-1920, 0, -1520, 300}, true},
        {DWPOS_STRETCH, {400, 300}, hd, hd, false},
        {DWPOS_FIT, {400, 300}, hd, {240, 0, 1680, 1080}, false},
        {DWPOS_FIT, {400, 100}, hd, {0, 300, 1920, 780}, false},
        {DWPOS_FILL, {400, 300}, hd, {0, -180, 1920, 1260}, false},
        {DWPOS_FILL, {400, 100}, hd, {-1200, 0, 3120, 1080}, false},
        {DWPOS_FILL, {1920, 1080}, hd, hd, false},
        {DWPOS_SPAN, {400, 100}, {-1920, 0, 1920, 1080}, {-2160, 0, 2160, 1080}, false},
        {DWPOS_FILL, {0, 300}, hd, {0, 0, 0, 0}, false},
    };
    for (const Case& check : cases) {
        const PicturePlacement placement = placePicture(check.position, check.picture, check.area);
        EXPECT_TRUE(EqualRect(&placement.destination, &check.expected))
            << "position " << check.position << ", picture " << check.picture.cx << "x" << check.picture.cy << ": got ("
            << placement.destination.left << "," << placement.destination.top << "," << placement.destination.right
            << "," << placement.destination.bottom << ")";
        EXPECT_EQ(placement.tiled, check.tiled) << "position " << check.position;
    }
}

// The desktop program, started in the test's prefix with the test's state file.
class DevDesktopProgram : public DevDesktopEnvironment {
protected:
    void TearDown() override
    {
        if (process_.hProcess) {
            if (WaitForSingleObject(process_.hProcess, 0) == WAIT_TIMEOUT)
                TerminateProcess(process_.hProcess, 1);
            WaitForSingleObject(process_.hProcess, 10000);
            CloseHandle(process_.hThread);
            CloseHandle(process_.hProcess);
        }
        DevDesktopEnvironment::TearDown();
    }

    // Starts the desktop and returns its "Progman" once it waits for input.
    HWND startDesktop(const wchar_t* options)
    {
        std::wstring commandLine = L"\"" + toolPath(L"peltorine_devdesktop.exe") + L"\" " + options;
        STARTUPINFOW startup{};
        startup.cb = sizeof(startup);
        if (!CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                            &process_)) {
            ADD_FAILURE() << "cannot start the desktop, error " << GetLastError();
            return nullptr;
        }
        EXPECT_EQ(WaitForInputIdle(process_.hProcess, 20000), 0u);
        const HWND progman = FindWindowW(L"Progman", nullptr);
        EXPECT_TRUE(progman);
        return progman;
    }

    // The top-level windows that are shown, from the top of the z-order down.
    static std::vector<HWND> visibleStack()
    {
        std::vector<HWND> stack;
        for (HWND window = GetTopWindow(nullptr); window; window = GetWindow(window, GW_HWNDNEXT))
            if (IsWindowVisible(window))
                stack.push_back(window);
        return stack;
    }

    static void askForWorker(HWND progman)
    {
        DWORD_PTR ignored = 0;
        SendMessageTimeoutW(progman, 0x052C, 0x0D, 0, SMTO_ABORTIFHUNG, 5000, &ignored);
        SendMessageTimeoutW(progman, 0x052C, 0x0D, 1, SMTO_ABORTIFHUNG, 5000, &ignored);
    }

    // Makes the desktop reread the state and paint `window` now, so the screen can be read.
    static void repaintNow(HWND window)
    {
        const HWND control = FindWindowExW(HWND_MESSAGE, nullptr, L"PeltorineDevDesktop.Control", nullptr);
        ASSERT_TRUE(control);
        DWORD_PTR ignored = 0;
        SendMessageTimeoutW(control, RegisterWindowMessageW(L"PeltorineDevDesktop.Changed"), 0, 0, SMTO_ABORTIFHUNG,
                            10000, &ignored);
        UpdateWindow(window);
    }

    // The colour the screen shows at `point` once the desktop's picture reached it (Wine copies
    // a window's drawing to the screen when its process next goes idle), or the last colour read.
    static COLORREF screenPixelOnceItIs(POINT point, COLORREF expected)
    {
        COLORREF color = CLR_INVALID;
        for (int attempt = 0; attempt < 500 && color != expected; ++attempt) {
            if (attempt > 0)
                MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
            const HDC screen = GetDC(nullptr);
            color = GetPixel(screen, point.x, point.y);
            ReleaseDC(nullptr, screen);
        }
        return color;
    }

    PROCESS_INFORMATION process_{};
};

TEST_F(DevDesktopProgram, Windows10LayoutPutsTheWallpaperWorkerRightBehindTheIconHost)
{
    const HWND progman = startDesktop(L"");
    ASSERT_TRUE(progman);
    const HWND iconView = FindWindowExW(progman, nullptr, L"SHELLDLL_DefView", nullptr);
    ASSERT_TRUE(iconView);
    EXPECT_TRUE(GetWindowLongPtrW(iconView, GWL_EXSTYLE) & WS_EX_TRANSPARENT);
    EXPECT_FALSE(GetWindowLongPtrW(progman, GWL_EXSTYLE) & WS_EX_NOREDIRECTIONBITMAP);
    RECT area{};
    GetWindowRect(progman, &area);
    const RECT screen{GetSystemMetrics(SM_XVIRTUALSCREEN), GetSystemMetrics(SM_YVIRTUALSCREEN),
                      GetSystemMetrics(SM_XVIRTUALSCREEN) + GetSystemMetrics(SM_CXVIRTUALSCREEN),
                      GetSystemMetrics(SM_YVIRTUALSCREEN) + GetSystemMetrics(SM_CYVIRTUALSCREEN)};
    EXPECT_TRUE(EqualRect(&area, &screen));
    EXPECT_EQ(visibleStack().back(), progman) << "the desktop is at the bottom";

    askForWorker(progman);
    askForWorker(progman);
    const HWND worker = GetWindow(progman, GW_HWNDNEXT);
    ASSERT_TRUE(worker);
    EXPECT_EQ(classOf(worker), L"WorkerW");
    EXPECT_TRUE(IsWindowVisible(worker));
    GetWindowRect(worker, &area);
    EXPECT_TRUE(EqualRect(&area, &screen));
    const std::vector<HWND> stack = visibleStack();
    ASSERT_GE(stack.size(), 2u);
    EXPECT_EQ(stack.back(), worker);
    EXPECT_EQ(stack[stack.size() - 2], progman);
    int workers = 0;
    for (HWND window : stack)
        workers += classOf(window) == L"WorkerW";
    EXPECT_EQ(workers, 1) << "asking again creates no second worker";
}

TEST_F(DevDesktopProgram, Windows11LayoutHasNoWorkerAndNoRedirectionBitmap)
{
    const HWND progman = startDesktop(L"--layout=win11");
    ASSERT_TRUE(progman);
    EXPECT_TRUE(GetWindowLongPtrW(progman, GWL_EXSTYLE) & WS_EX_NOREDIRECTIONBITMAP);
    EXPECT_TRUE(FindWindowExW(progman, nullptr, L"SHELLDLL_DefView", nullptr));
    askForWorker(progman);
    EXPECT_EQ(FindWindowW(L"WorkerW", nullptr), nullptr);
    EXPECT_EQ(visibleStack().back(), progman);
}

TEST_F(DevDesktopProgram, StaysAtTheBottomWhenAProgramRaisesIt)
{
    const HWND progman = startDesktop(L"");
    ASSERT_TRUE(progman);
    SetWindowPos(progman, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    EXPECT_EQ(visibleStack().back(), progman);
    askForWorker(progman);
    const HWND worker = GetWindow(progman, GW_HWNDNEXT);
    ASSERT_EQ(classOf(worker), L"WorkerW");
    SetWindowPos(worker, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    SetWindowPos(progman, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    EXPECT_EQ(GetWindow(progman, GW_HWNDNEXT), worker);
    EXPECT_EQ(visibleStack().back(), worker);
}

TEST_F(DevDesktopProgram, PaintsTheWallpaperInThePositionWithTheBackgroundColourAround)
{
    const std::wstring picture = folder_ / L"wide.bmp";
    writeSolidBitmap(picture, 400, 100, RGB(255, 0, 0));
    const COLORREF background = RGB(0, 0, 255);
    ComPtr<IDesktopWallpaper> desktop = createDesktopWallpaper();
    ASSERT_TRUE(desktop);
    ASSERT_EQ(desktop->SetBackgroundColor(background), S_OK);
    ASSERT_EQ(desktop->SetWallpaper(nullptr, picture.c_str()), S_OK);
    const HWND progman = startDesktop(L"");
    ASSERT_TRUE(progman);
    RECT display{};
    const std::vector<std::wstring> ids = displayIds(desktop.Get());
    ASSERT_EQ(desktop->GetMonitorRECT(ids.front().c_str(), &display), S_OK);
    const POINT centre{(display.left + display.right) / 2, (display.top + display.bottom) / 2};
    const POINT nearTop{centre.x, display.top + 40};
    const POINT leftOfCentre{display.left + 100, centre.y};

    struct Case {
        DESKTOP_WALLPAPER_POSITION position;
        BOOL enabled;
        POINT point;
        COLORREF expected;
        const char* what;
    };
    const Case cases[] = {
        {DWPOS_FIT, TRUE, centre, RGB(255, 0, 0), "Fit: the picture in the middle"},
        {DWPOS_FIT, TRUE, nearTop, background, "Fit: the colour above the picture"},
        {DWPOS_FILL, TRUE, nearTop, RGB(255, 0, 0), "Fill: the picture covers the display"},
        {DWPOS_CENTER, TRUE, leftOfCentre, background, "Center: the colour beside the picture"},
        {DWPOS_STRETCH, TRUE, leftOfCentre, RGB(255, 0, 0), "Stretch: the picture everywhere"},
        {DWPOS_TILE, TRUE, leftOfCentre, RGB(255, 0, 0), "Tile: tiles everywhere"},
        {DWPOS_SPAN, TRUE, nearTop, RGB(255, 0, 0), "Span: one picture over all displays, like Fill"},
        {DWPOS_FILL, FALSE, centre, background, "Disabled: only the colour"},
    };
    for (const Case& check : cases) {
        // First make the screen show the other colour there, so that every case has to repaint.
        const bool showRed = check.expected != RGB(255, 0, 0);
        ASSERT_EQ(desktop->SetPosition(DWPOS_STRETCH), S_OK);
        ASSERT_EQ(desktop->Enable(showRed ? TRUE : FALSE), S_OK);
        repaintNow(progman);
        const COLORREF other = showRed ? RGB(255, 0, 0) : background;
        ASSERT_EQ(screenPixelOnceItIs(check.point, other), other) << check.what;

        ASSERT_EQ(desktop->SetPosition(check.position), S_OK);
        ASSERT_EQ(desktop->Enable(check.enabled), S_OK);
        repaintNow(progman);
        EXPECT_EQ(screenPixelOnceItIs(check.point, check.expected), check.expected) << check.what;
    }

    // After 0x052C the worker paints the same desktop.
    ASSERT_EQ(desktop->Enable(TRUE), S_OK);
    askForWorker(progman);
    const HWND worker = GetWindow(progman, GW_HWNDNEXT);
    ASSERT_EQ(classOf(worker), L"WorkerW");
    repaintNow(worker);
    ASSERT_EQ(screenPixelOnceItIs(nearTop, RGB(255, 0, 0)), RGB(255, 0, 0));
    ASSERT_EQ(desktop->SetPosition(DWPOS_FIT), S_OK);
    repaintNow(worker);
    EXPECT_EQ(screenPixelOnceItIs(nearTop, background), background);
    EXPECT_EQ(screenPixelOnceItIs(centre, RGB(255, 0, 0)), RGB(255, 0, 0));
}

TEST_F(DevDesktopProgram, TheWallpaperWorkerShowsBehindAWindowThatWasThereBeforeIt)
{
    ComPtr<IDesktopWallpaper> desktop = createDesktopWallpaper();
    ASSERT_TRUE(desktop);
    ASSERT_EQ(desktop->Enable(FALSE), S_OK);
    ASSERT_EQ(desktop->SetBackgroundColor(RGB(255, 0, 0)), S_OK);
    const HWND progman = startDesktop(L"");
    ASSERT_TRUE(progman);

    // A program's window, shown on the desktop before anything asks for the worker.
    const COLORREF windowColour = RGB(0, 255, 0);
    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = DefWindowProcW;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.hbrBackground = CreateSolidBrush(windowColour);
    windowClass.lpszClassName = L"PeltorineTest.ProgramWindow";
    RegisterClassW(&windowClass);
    const HWND window = CreateWindowExW(WS_EX_TOOLWINDOW, windowClass.lpszClassName, L"", WS_POPUP, 100, 100, 200, 200,
                                        nullptr, nullptr, windowClass.hInstance, nullptr);
    ASSERT_TRUE(window);
    SetWindowPos(window, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE | SWP_SHOWWINDOW);
    UpdateWindow(window);
    const POINT inWindow{200, 200};
    const POINT besideIt{600, 200};
    ASSERT_EQ(screenPixelOnceItIs(inWindow, windowColour), windowColour);

    askForWorker(progman);
    const HWND worker = GetWindow(progman, GW_HWNDNEXT);
    ASSERT_EQ(classOf(worker), L"WorkerW");
    // Once the worker's own picture is on the screen beside the window, the window still shows.
    ASSERT_EQ(desktop->SetBackgroundColor(RGB(0, 0, 255)), S_OK);
    repaintNow(worker);
    ASSERT_EQ(screenPixelOnceItIs(besideIt, RGB(0, 0, 255)), RGB(0, 0, 255));
    const HDC screen = GetDC(nullptr);
    EXPECT_EQ(GetPixel(screen, inWindow.x, inWindow.y), windowColour);
    ReleaseDC(nullptr, screen);

    DestroyWindow(window);
    UnregisterClassW(windowClass.lpszClassName, windowClass.hInstance);
    DeleteObject(windowClass.hbrBackground);
}

TEST_F(DevDesktopProgram, AdvancesTheShellSlideshowWhenItsTimerFires)
{
    const std::wstring first = folder_ / L"a.bmp";
    const std::wstring second = folder_ / L"b.bmp";
    writeSolidBitmap(first, 4, 4, RGB(10, 20, 30));
    writeSolidBitmap(second, 4, 4, RGB(40, 50, 60));
    ComPtr<IDesktopWallpaper> desktop = createDesktopWallpaper();
    ASSERT_TRUE(desktop);
    const std::vector<std::wstring> ids = displayIds(desktop.Get());
    ASSERT_FALSE(ids.empty());
    ASSERT_EQ(desktop->SetSlideshow(shellItemsOf({first, second}).Get()), S_OK);
    ASSERT_EQ(desktop->SetSlideshowOptions(DESKTOP_SLIDESHOW_OPTIONS{}, 60000), S_OK);
    ASSERT_TRUE(startDesktop(L""));
    const HWND control = FindWindowExW(HWND_MESSAGE, nullptr, L"PeltorineDevDesktop.Control", nullptr);
    ASSERT_TRUE(control);

    constexpr WPARAM kSlideshowTimer = 2; // the desktop program's timer id for the shell slideshow
    DWORD_PTR ignored = 0;
    SendMessageTimeoutW(control, WM_TIMER, kSlideshowTimer, 0, SMTO_ABORTIFHUNG, 10000, &ignored);
    EXPECT_EQ(wallpaperOf(desktop.Get(), ids.front().c_str()), second);
    SendMessageTimeoutW(control, WM_TIMER, kSlideshowTimer, 0, SMTO_ABORTIFHUNG, 10000, &ignored);
    EXPECT_EQ(wallpaperOf(desktop.Get(), ids.front().c_str()), first);
}

TEST_F(DevDesktopProgram, EndsOnWmClose)
{
    const HWND progman = startDesktop(L"");
    ASSERT_TRUE(progman);
    PostMessageW(progman, WM_CLOSE, 0, 0);
    ASSERT_EQ(WaitForSingleObject(process_.hProcess, 20000), WAIT_OBJECT_0);
    DWORD exitCode = 1;
    GetExitCodeProcess(process_.hProcess, &exitCode);
    EXPECT_EQ(exitCode, 0u);
    EXPECT_EQ(FindWindowW(L"Progman", nullptr), nullptr);
}

} // namespace
