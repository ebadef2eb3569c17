// The context menu's content as the user reads it: texts, order, checks, radio marks and
// greyed items for representative states, in both languages.
#include "tray/menu_model.h"
#include "tests/support/menu_description.h"
#include "common/strings.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

namespace {

const std::wstring kLeft = L"\\\\?\\DISPLAY#PEL0001#{e6f07b5f-ee97-4a90-b076-33f57bf4eaa7}";
const std::wstring kRight = L"\\\\?\\DISPLAY#PEL0002#{e6f07b5f-ee97-4a90-b076-33f57bf4eaa7}";

// Two displays as the shell lists them: the primary first, the second to its left.
std::vector<DisplayWallpaper> twoDisplays()
{
    return {{kLeft, {0, 0, 1920, 1080}, L""}, {kRight, {-1920, 0, 0, 1080}, L""}};
}

std::vector<std::wstring> describe(const std::vector<MenuItem>& items)
{
    return describeMenuModel(items);
}

const MenuItem* findItem(const std::vector<MenuItem>& items, UINT id)
{
    for (const MenuItem& item : items) {
        if (!item.separator && item.submenu.empty() && item.id == id)
            return &item;
        if (const MenuItem* found = findItem(item.submenu, id))
            return found;
    }
    return nullptr;
}

TEST(MenuModel, EnglishMenuAtFirstStartWithTwoDisplays)
{
    MenuState state;
    state.startupKnown = true;
    state.banner = true;

    const std::vector<std::wstring> expected = {
        L"11 Peltorine [banner] [greyed]",
        L"---",
        L"4 Choose wallpaper…",
        L"1 Choose default wallpaper…",
        L"2 Restore default wallpaper [default]",
        L"3 Undo last change [greyed]",
        L"---",
        L"> Wallpaper fit",
        L"  34 Fill [checked]",
        L"  33 Fit",
        L"  32 Stretch",
        L"  31 Tile",
        L"  30 Center",
        L"  35 Span",
        L"> Slideshow interval",
        L"  20 5 sec per image",
        L"  21 10 sec per image [checked]",
        L"  22 15 sec per image",
        L"  23 30 sec per image",
        L"> Display for the next change",
        L"  100 All displays [checked]",
        L"  101 Display 1 · 1920 × 1080 (0, 0)",
        L"  102 Display 2 · 1920 × 1080 (-1920, 0)",
        L"5 Use current video frame [greyed]",
        L"---",
        L"> Widget size and position",
        L"  40 48",
        L"  41 64 (default) [checked]",
        L"  42 96",
        L"  43 128",
        L"  ---",
        L"  7 Move to the top-right corner",
        L"8 Start with Windows",
        L"> Language",
        L"  9 English [radio]",
        L"  10 Tiếng Việt",
        L"---",
        L"6 Exit Peltorine",
    };
    EXPECT_EQ(expected, describe(buildMenuModel(state, twoDisplays())));
}

TEST(MenuModel, VietnameseMenuWithAPictureOnOneDisplayAndNoBanner)
{
    // High contrast: no banner. A still picture on the second display with Fit, which is
    // also the display chosen for the next change.
    MenuState state;
    state.language = kVietnamese;
    state.fitMode = FitFill;
    state.slideshowInterval = 30;
    state.targetMonitor = kRight;
    state.widgetSize = 128;
    state.currentMode = ModeStill;
    state.currentFit = FitFit;
    state.currentMonitor = kRight;
    state.undoAvailable = true;
    state.startupKnown = true;
    state.startupExists = true;

    const std::vector<std::wstring> expected = {
        L"4 Chọn hình nền…",
        L"1 Chọn hình nền mặc định…",
        L"2 Về hình nền mặc định [default]",
        L"3 Hoàn tác lần đổi gần nhất",
        L"---",
        L"> Kiểu hiển thị hình nền",
        L"  34 Lấp đầy (Fill)",
        L"  33 Vừa khung (Fit) [checked]",
        L"  32 Kéo giãn (Stretch)",
        L"  31 Lặp ô (Tile)",
        L"  30 Căn giữa (Center)",
        L"  35 Trải nhiều màn hình (Span) [greyed]",
        L"> Thời gian chuyển ảnh",
        L"  20 5 giây/ảnh",
        L"  21 10 giây/ảnh",
        L"  22 15 giây/ảnh",
        L"  23 30 giây/ảnh [checked]",
        L"> Màn hình cho lần đổi sau",
        L"  100 Tất cả màn hình",
        L"  101 Màn hình 1 · 1920 × 1080 (0, 0)",
        L"  102 Màn hình 2 · 1920 × 1080 (-1920, 0) [checked]",
        L"5 Dùng khung hình hiện tại [greyed]",
        L"---",
        L"> Kích thước và vị trí widget",
        L"  40 48",
        L"  41 64 (mặc định)",
        L"  42 96",
        L"  43 128 [checked]",
        L"  ---",
        L"  7 Đưa về góc trên bên phải",
        L"8 Khởi động cùng Windows [checked]",
        L"> Ngôn ngữ",
        L"  9 English",
        L"  10 Tiếng Việt [radio]",
        L"---",
        L"6 Thoát Peltorine",
    };
    EXPECT_EQ(expected, describe(buildMenuModel(state, twoDisplays())));
}

TEST(MenuModel, WithoutDisplaysTheDisplaySubmenuHoldsOnlyAllDisplays)
{
    const std::vector<MenuItem> menu = buildMenuModel(MenuState{}, {});
    const auto submenu = std::find_if(menu.begin(), menu.end(),
                                      [](const MenuItem& item) { return item.text == L"Display for the next change"; });
    ASSERT_NE(submenu, menu.end());
    EXPECT_EQ(std::vector<std::wstring>{L"100 All displays [checked]"}, describe(submenu->submenu));
}

struct ItemRule {
    const char* name;
    std::function<void(MenuState&)> prepare;
    UINT id;
    bool checked;
    bool greyed;
};

class MenuItemRules : public ::testing::TestWithParam<ItemRule> {};

TEST_P(MenuItemRules, CheckAndGreyFollowTheState)
{
    const ItemRule& rule = GetParam();
    MenuState state;
    state.startupKnown = true;
    rule.prepare(state);
    const std::vector<MenuItem> menu = buildMenuModel(state, twoDisplays());
    const MenuItem* item = findItem(menu, rule.id);
    ASSERT_NE(nullptr, item);
    EXPECT_EQ(rule.checked, item->checked);
    EXPECT_EQ(rule.greyed, item->greyed);

    // Exactly one fit and one interval are checked, whatever the state.
    int fitsChecked = 0;
    int intervalsChecked = 0;
    for (UINT id = 30; id <= 35; ++id)
        fitsChecked += findItem(menu, id)->checked ? 1 : 0;
    for (UINT id = 20; id <= 23; ++id)
        intervalsChecked += findItem(menu, id)->checked ? 1 : 0;
    EXPECT_EQ(1, fitsChecked);
    EXPECT_EQ(1, intervalsChecked);
}

INSTANTIATE_TEST_SUITE_P(
    States, MenuItemRules,
    ::testing::Values(
        // With nothing of ours shown, the fit setting is the one in force ...
        ItemRule{"TileSettingIsCheckedWhenNothingIsShown",
                 [](MenuState& s) {
                     s.fitMode = FitTile;
                     s.currentFit = FitCenter;
                 },
                 31, true, false},
        // ... otherwise the fit of what is shown.
        ItemRule{"ShownWallpapersFitIsChecked",
                 [](MenuState& s) {
                     s.fitMode = FitFill;
                     s.currentMode = ModeSlideshow;
                     s.currentFit = FitCenter;
                 },
                 30, true, false},
        ItemRule{"FillSettingIsNotCheckedWhileAnotherFitIsShown",
                 [](MenuState& s) {
                     s.currentMode = ModeVideo;
                     s.currentFit = FitStretch;
                 },
                 34, false, false},
        ItemRule{"SpanIsAvailableForAllDisplays", [](MenuState&) {}, 35, false, false},
        ItemRule{"SpanIsGreyedWhenADisplayIsChosen", [](MenuState& s) { s.targetMonitor = kLeft; }, 35, false, true},
        ItemRule{"SpanIsGreyedWhileAWallpaperIsOnOneDisplay",
                 [](MenuState& s) {
                     s.currentMode = ModeStill;
                     s.currentMonitor = kRight;
                 },
                 35, false, true},
        ItemRule{"ChosenDisplayIsChecked", [](MenuState& s) { s.targetMonitor = kLeft; }, 101, true, false},
        ItemRule{"AllDisplaysIsUncheckedWhenADisplayIsChosen", [](MenuState& s) { s.targetMonitor = kLeft; }, 100,
                 false, false},
        // Display ids are compared exactly, case included.
        ItemRule{
            "DisplayIdDifferingInCaseIsNotChecked",
            [](MenuState& s) { s.targetMonitor = L"\\\\?\\display#pel0001#{e6f07b5f-ee97-4a90-b076-33f57bf4eaa7}"; },
            101, false, false},
        ItemRule{"DisplaysAreGreyedUnderSpan", [](MenuState& s) { s.fitMode = FitSpan; }, 102, false, true},
        ItemRule{"AllDisplaysStaysAvailableUnderSpan", [](MenuState& s) { s.fitMode = FitSpan; }, 100, true, false},
        ItemRule{"SpanSettingIsChecked", [](MenuState& s) { s.fitMode = FitSpan; }, 35, true, false},
        ItemRule{"IntervalSettingIsChecked", [](MenuState& s) { s.slideshowInterval = 15; }, 22, true, false},
        ItemRule{"UndoIsAvailableWithAnUndoEntry", [](MenuState& s) { s.undoAvailable = true; }, 3, false, false},
        ItemRule{"VideoFrameIsAvailableWhileAVideoPlays", [](MenuState& s) { s.videoActive = true; }, 5, false, false},
        ItemRule{"StartWithWindowsIsCheckedWhenTheShortcutExists", [](MenuState& s) { s.startupExists = true; }, 8,
                 true, false},
        ItemRule{"StartWithWindowsIsGreyedAndUncheckedWhenItCannotBeLookedUp",
                 [](MenuState& s) {
                     s.startupKnown = false;
                     s.startupExists = true;
                 },
                 8, false, true},
        ItemRule{"WidgetSizeIsChecked", [](MenuState& s) { s.widgetSize = 48; }, 40, true, false},
        ItemRule{"VietnameseIsMarkedWhenInUse", [](MenuState& s) { s.language = kVietnamese; }, 10, true, false}),
    [](const ::testing::TestParamInfo<ItemRule>& info) { return std::string(info.param.name); });

TEST(MenuModel, DisplayLabelsUsePlainDecimalsWithSigns)
{
    EXPECT_EQ(L"Display 3 · 1280 × 1024 (1920, -200)", displayLabel(kEnglish, 2, RECT{1920, -200, 3200, 824}));
    EXPECT_EQ(L"Màn hình 1 · 3840 × 2160 (-3840, -2160)", displayLabel(kVietnamese, 0, RECT{-3840, -2160, 0, 0}));
}

} // namespace
