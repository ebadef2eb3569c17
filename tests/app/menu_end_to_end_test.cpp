// The real context menu, opened from the tray icon's callback message of an in-process
// Application: what the menu window shows, and what choosing an item does.
//
// The menu runs its own modal loop on this thread. A message-filter hook (MSGF_MENU) sees
// every message of that loop; the test posts itself a probe message, and on each probe it
// reads the menu and posts the next key to the menu window (Down until the wanted item is
// highlighted, Right to open a submenu, Return to choose). Nothing waits for time.
#include "app/application.h"
#include "tests/support/fake_desktop_wallpaper.h"
#include "tests/support/menu_description.h"
#include "tests/support/recording_system.h"
#include "tests/support/temp_folder.h"
#include "tests/support/windowed_world.h"
#include "tray/menu_model.h"

#include <gtest/gtest.h>
#include <objbase.h>

#include <algorithm>
#include <optional>
#include <string>
#include <vector>

namespace {

constexpr UINT kGetMenuHandle = 0x01E1; // MN_GETHMENU: the HMENU that a "#32768" window shows
constexpr UINT kProbeMessage = WM_APP + 0x51;
constexpr int kStepLimit = 80;

std::wstring itemText(HMENU menu, int position)
{
    wchar_t text[128] = {};
    MENUITEMINFOW info{};
    info.cbSize = sizeof(info);
    info.fMask = MIIM_STRING;
    info.dwTypeData = text;
    info.cch = 128;
    return GetMenuItemInfoW(menu, static_cast<UINT>(position), TRUE, &info) ? text : L"(unreadable)";
}

// The live menu, one line per item, in the form of describeMenuModel.
void describeMenu(HMENU menu, const std::wstring& indent, std::vector<std::wstring>& lines)
{
    const int count = GetMenuItemCount(menu);
    for (int position = 0; position < count; ++position) {
        MENUITEMINFOW info{};
        info.cbSize = sizeof(info);
        info.fMask = MIIM_FTYPE | MIIM_STATE | MIIM_ID | MIIM_SUBMENU;
        if (!GetMenuItemInfoW(menu, static_cast<UINT>(position), TRUE, &info)) {
            lines.push_back(indent + L"(unreadable)");
            continue;
        }
        if (info.fType & MFT_SEPARATOR) {
            lines.push_back(indent + L"---");
            continue;
        }
        if (info.hSubMenu) {
            lines.push_back(indent + L"> " + itemText(menu, position));
            describeMenu(info.hSubMenu, indent + L"  ", lines);
            continue;
        }
        std::wstring line = indent + std::to_wstring(info.wID) + L" " + itemText(menu, position);
        if (info.fType & MFT_OWNERDRAW)
            line += L" [banner]";
        if (info.fState & MFS_CHECKED)
            line += (info.fType & MFT_RADIOCHECK) ? L" [radio]" : L" [checked]";
        if (info.fState & MFS_DISABLED)
            line += L" [greyed]";
        if (info.fState & MFS_DEFAULT)
            line += L" [default]";
        lines.push_back(line);
    }
}

int highlightedPosition(HMENU menu)
{
    const int count = GetMenuItemCount(menu);
    for (int position = 0; position < count; ++position)
        if (GetMenuState(menu, static_cast<UINT>(position), MF_BYPOSITION) & MF_HILITE)
            return position;
    return -1;
}

HWND visibleMenuWindow()
{
    for (HWND window = FindWindowExW(nullptr, nullptr, L"#32768", nullptr); window;
         window = FindWindowExW(nullptr, window, L"#32768", nullptr))
        if (IsWindowVisible(window) && GetWindowThreadProcessId(window, nullptr) == GetCurrentThreadId())
            return window;
    return nullptr;
}

// Reads the menu once it is shown, then walks the keyboard to one command (or dismisses it).
class MenuDriver {
public:
    MenuDriver(HWND probeTarget, std::wstring submenuText, UINT command)
        : probeTarget_(probeTarget), submenuText_(std::move(submenuText)), command_(command)
    {
        current = this;
        hook_ = SetWindowsHookExW(WH_MSGFILTER, filter, nullptr, GetCurrentThreadId());
    }
    ~MenuDriver()
    {
        if (hook_)
            UnhookWindowsHookEx(hook_);
        current = nullptr;
    }
    MenuDriver(const MenuDriver&) = delete;
    MenuDriver& operator=(const MenuDriver&) = delete;

    bool hooked() const { return hook_ != nullptr; }
    // The probe that starts the walk; it waits in the queue until the menu's loop takes it.
    void start() { probe(); }

    std::vector<std::wstring> shown; // the menu as it opened
    RECT shownAt{};                  // its window on the screen
    bool reachedCommand = false;
    bool gaveUp = false;

private:
    static LRESULT CALLBACK filter(int code, WPARAM wParam, LPARAM lParam)
    {
        if (code == MSGF_MENU && current) {
            const MSG& message = *reinterpret_cast<const MSG*>(lParam);
            if (message.hwnd == current->probeTarget_ && message.message == kProbeMessage &&
                message.wParam == current->probeNumber_)
                current->step();
        }
        return CallNextHookEx(nullptr, code, wParam, lParam);
    }

    void probe() { PostMessageW(probeTarget_, kProbeMessage, ++probeNumber_, 0); }
    void press(WPARAM key) { PostMessageW(menuWindow_, WM_KEYDOWN, key, 0); }

    void step()
    {
        if (++steps_ > kStepLimit) {
            gaveUp = true;
            press(VK_ESCAPE);
            press(VK_ESCAPE);
            return;
        }
        if (!menu_) {
            menuWindow_ = visibleMenuWindow();
            menu_ = menuWindow_ ? reinterpret_cast<HMENU>(SendMessageW(menuWindow_, kGetMenuHandle, 0, 0)) : nullptr;
            if (!menu_) {
                probe();
                return;
            }
            describeMenu(menu_, L"", shown);
            GetWindowRect(menuWindow_, &shownAt);
            if (command_ == 0) {
                press(VK_ESCAPE);
                return;
            }
            for (int position = 0; position < GetMenuItemCount(menu_); ++position)
                if (GetSubMenu(menu_, position) && itemText(menu_, position) == submenuText_)
                    submenuPosition_ = position;
            if (submenuPosition_ < 0) {
                gaveUp = true;
                press(VK_ESCAPE);
                return;
            }
        }
        if (!inSubmenu_) {
            if (highlightedPosition(menu_) == submenuPosition_) {
                press(VK_RIGHT);
                inSubmenu_ = true;
            } else {
                press(VK_DOWN);
            }
            probe();
            return;
        }
        const HMENU submenu = GetSubMenu(menu_, submenuPosition_);
        const int position = highlightedPosition(submenu);
        if (position >= 0 && GetMenuItemID(submenu, position) == command_) {
            reachedCommand = true;
            press(VK_RETURN);
            return;
        }
        press(VK_DOWN);
        probe();
    }

    static inline MenuDriver* current = nullptr;
    HHOOK hook_ = nullptr;
    HWND probeTarget_;
    std::wstring submenuText_;
    UINT command_;
    WPARAM probeNumber_ = 0;
    int steps_ = 0;
    HWND menuWindow_ = nullptr;
    HMENU menu_ = nullptr;
    int submenuPosition_ = -1;
    bool inSubmenu_ = false;
};

class MenuEndToEndTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_NE(nullptr, resources.get());
        ASSERT_EQ(S_OK, world.started);
    }

    // The test program carries no logo: the menu borrows peltorine.exe's resources.
    static HMODULE loadProgramResources()
    {
        std::wstring exe = L"" PELTORINE_EXE_PATH;
        std::replace(exe.begin(), exe.end(), L'/', L'\\');
        return LoadLibraryExW(exe.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
    }

    // An icon event as the shell reports it under the version-4 protocol: the anchor in WPARAM.
    void trayIconEvent(UINT event, POINT anchor = {0, 0})
    {
        SendMessageW(app.controlWindow(), TrayCallbackMessage, MAKEWPARAM(anchor.x, anchor.y),
                     MAKELPARAM(event, kTrayIconId));
    }
    void rightClickTrayIcon() { trayIconEvent(WM_CONTEXTMENU); }

    // What the menu model says the menu holds in the application's present state.
    std::vector<std::wstring> modelDescription() const
    {
        MenuState state;
        state.language = app.settings().language();
        state.fitMode = app.settings().fitMode();
        state.slideshowInterval = app.settings().slideshowInterval();
        state.targetMonitor = app.settings().targetMonitor();
        state.widgetSize = app.settings().widgetSize();
        state.currentMode = app.wallpaper().currentState().mode;
        state.startupKnown = true;
        state.banner = true;
        return describeMenuModel(buildMenuModel(state, {{L"\\\\?\\DISPLAY#1", {0, 0, 1920, 1080}, L""}}));
    }

    std::optional<std::wstring> setting(const wchar_t* key) const
    {
        wchar_t value[256] = {};
        GetPrivateProfileStringW(L"Peltorine", key, L"(missing)", value, 256, app.settings().settingsPath().c_str());
        if (std::wstring(value) == L"(missing)")
            return std::nullopt;
        return std::wstring(value);
    }

    const UniqueHandle<HMODULE, &FreeLibrary> resources{loadProgramResources()};
    WindowedWorld world{true, resources.get()};
    Application& app = world.app;
    RecordingSystem& system = world.system;
};

TEST_F(MenuEndToEndTest, RightClickOnTheIconShowsTheMenuAndChoosingAnIntervalSavesIt)
{
    MenuDriver driver(app.controlWindow(), L"Slideshow interval", kCommandFirstInterval);
    ASSERT_TRUE(driver.hooked());
    driver.start();
    // Taken before the command changes the state the menu showed.
    const std::vector<std::wstring> expected = modelDescription();
    rightClickTrayIcon();

    EXPECT_EQ(expected, driver.shown);
    // A few lines as the user reads them, whatever the model says.
    ASSERT_GE(driver.shown.size(), 3u);
    EXPECT_EQ(L"11 Peltorine [banner] [greyed]", driver.shown.front());
    EXPECT_EQ(L"6 Exit Peltorine", driver.shown.back());
    for (const wchar_t* line :
         {L"2 Restore default wallpaper [default]", L"3 Undo last change [greyed]", L"  34 Fill [checked]",
          L"  21 10 sec per image [checked]", L"  101 Display 1 · 1920 × 1080 (0, 0)", L"  41 64 (default) [checked]",
          L"  9 English [radio]"})
        EXPECT_NE(driver.shown.end(), std::find(driver.shown.begin(), driver.shown.end(), line))
            << testing::PrintToString(std::wstring(line));
    EXPECT_FALSE(driver.gaveUp);
    EXPECT_TRUE(driver.reachedCommand);

    EXPECT_EQ(L"5", setting(L"Interval"));
    EXPECT_EQ(5, app.settings().slideshowInterval());
    EXPECT_EQ(nullptr, visibleMenuWindow()) << "the menu is gone once the command has run";
}

TEST_F(MenuEndToEndTest, HighContrastMenuHasNoBannerAndDismissingItRunsNothing)
{
    system.highContrast = true;
    SendMessageW(app.controlWindow(), WM_SETTINGCHANGE, 0, 0);
    app.executeCommand(kCommandVietnamese, {});
    const std::string settingsBefore = readFileBytes(app.settings().settingsPath());

    MenuDriver driver(app.controlWindow(), L"", 0);
    ASSERT_TRUE(driver.hooked());
    driver.start();
    rightClickTrayIcon();

    ASSERT_FALSE(driver.shown.empty());
    EXPECT_EQ(L"4 Chọn hình nền…", driver.shown.front());
    EXPECT_EQ(L"6 Thoát Peltorine", driver.shown.back());
    EXPECT_TRUE(system.debugLines.empty());
    EXPECT_EQ(settingsBefore, readFileBytes(app.settings().settingsPath()));
    EXPECT_EQ(nullptr, visibleMenuWindow());
}

// The keyboard opens the menu too: Enter or Space on the focused icon (NIN_KEYSELECT) and the
// context-menu key (WM_CONTEXTMENU), each at the anchor the message carries.
TEST_F(MenuEndToEndTest, KeyboardOpensTheMenuAtTheAnchorTheMessageGives)
{
    const struct {
        const char* what;
        UINT event;
        POINT anchor;
    } cases[] = {
        {"NIN_KEYSELECT", NIN_KEYSELECT, {300, 200}},
        {"context-menu key", WM_CONTEXTMENU, {640, 120}},
    };
    for (const auto& row : cases) {
        SCOPED_TRACE(row.what);
        MenuDriver driver(app.controlWindow(), L"", 0);
        ASSERT_TRUE(driver.hooked());
        driver.start();
        trayIconEvent(row.event, row.anchor);

        ASSERT_FALSE(driver.shown.empty());
        EXPECT_EQ(row.anchor.x, driver.shownAt.left);
        EXPECT_EQ(row.anchor.y, driver.shownAt.top);
        EXPECT_EQ(nullptr, visibleMenuWindow());
    }
}

} // namespace
