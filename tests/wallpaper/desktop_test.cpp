#include <gtest/gtest.h>
#include <windows.h>
#include <objbase.h>
#include <shobjidl.h>
#include <wrl/client.h>

#include <algorithm>
#include <cstring>
#include <cwctype>
#include <string>
#include <vector>

#include "tests/support/fake_desktop_wallpaper.h"
#include "tests/support/temp_folder.h"
#include "wallpaper/desktop.h"

using Microsoft::WRL::ComPtr;

namespace {

const std::wstring kLeft = L"\\\\?\\DISPLAY#DEL40F3#5&2b1c9a&0&UID4353#{e6f07b5f-ee97-4a90-b076-33f57bf4eaa7}";
const std::wstring kRight = L"\\\\?\\DISPLAY#GSM5B7F#5&2b1c9a&0&UID4354#{e6f07b5f-ee97-4a90-b076-33f57bf4eaa7}";
const std::wstring kThird = L"\\\\?\\DISPLAY#ACR0408#5&2b1c9a&0&UID4355#{e6f07b5f-ee97-4a90-b076-33f57bf4eaa7}";
constexpr RECT kLeftRect{0, 0, 1920, 1080};
constexpr RECT kRightRect{1920, -200, 4480, 1240};
constexpr RECT kThirdRect{-1280, 0, 0, 1024};
constexpr HRESULT kNotFound = static_cast<HRESULT>(0x80070490);

std::vector<std::wstring> idsOf(const std::vector<DisplayWallpaper>& displays)
{
    std::vector<std::wstring> ids;
    for (const DisplayWallpaper& display : displays)
        ids.push_back(display.monitorId);
    return ids;
}

bool sameRect(const RECT& a, const RECT& b)
{
    return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

class Desktop : public testing::Test {
protected:
    void SetUp() override { comInitialized_ = SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)); }
    void TearDown() override
    {
        fake_.Reset();
        if (comInitialized_)
            CoUninitialize();
    }

    IDesktopWallpaper& desktop() { return *fake_.Get(); }

    // Two displays side by side, each with its own picture, placed with Fit on a dark blue desktop.
    void twoDisplaysWithPictures()
    {
        fake_->addDisplay(kLeft, kLeftRect, leftPicture_);
        fake_->addDisplay(kRight, kRightRect, rightPicture_);
        fake_->setPosition(DWPOS_FIT);
        fake_->setBackgroundColor(RGB(0, 0, 128));
    }

    std::wstring picture(const std::wstring& name)
    {
        const std::wstring path = folder_ / name;
        writeFileBytes(path, "picture");
        return path;
    }

    TempFolder folder_;
    ComPtr<FakeDesktopWallpaper> fake_ = FakeDesktopWallpaper::create();
    const std::wstring leftPicture_ = picture(L"left.jpg");
    const std::wstring rightPicture_ = picture(L"right.png");
    const std::wstring newPicture_ = picture(L"new \u1EA2nh.png");

private:
    bool comInitialized_ = false;
};

// ---- display list -------------------------------------------------------------------------

TEST_F(Desktop, ListsAttachedDisplaysInShellOrder)
{
    fake_->addDisplay(kLeft, kLeftRect);
    fake_->addDisplay(kRight, kRightRect, L"C:\\shown.jpg");
    fake_->addDisplay(kThird, kThirdRect);

    const std::vector<DisplayWallpaper> displays = listDisplays(desktop());
    ASSERT_EQ(idsOf(displays), (std::vector<std::wstring>{kLeft, kRight, kThird}));
    EXPECT_TRUE(sameRect(displays[1].rect, kRightRect));
    EXPECT_TRUE(sameRect(displays[2].rect, kThirdRect));
    EXPECT_EQ(displays[1].wallpaper, L""); // the list never asks for wallpapers
}

TEST_F(Desktop, LeavesOutDisplaysThatCannotBeRead)
{
    struct Case {
        const char* what;
        void (*arrange)(FakeDesktopWallpaper&);
        std::vector<std::wstring> listed;
    };
    const Case cases[] = {
        {"rectangle query fails", [](FakeDesktopWallpaper& f) { f.failMonitorRect(kRight, E_FAIL); }, {kLeft, kThird}},
        {"rectangle query gives S_FALSE",
         [](FakeDesktopWallpaper& f) { f.failMonitorRect(kLeft, S_FALSE); },
         {kRight, kThird}},
        {"device path query fails",
         [](FakeDesktopWallpaper& f) { f.failNthCallOf(L"GetMonitorDevicePathAt", 2, E_OUTOFMEMORY); },
         {kLeft, kThird}},
        {"count query fails",
         [](FakeDesktopWallpaper& f) { f.failNthCallOf(L"GetMonitorDevicePathCount", 1, E_FAIL); },
         {}},
    };
    for (const Case& row : cases) {
        SCOPED_TRACE(row.what);
        fake_ = FakeDesktopWallpaper::create();
        fake_->addDisplay(kLeft, kLeftRect);
        fake_->addDisplay(kRight, kRightRect);
        fake_->addDisplay(kThird, kThirdRect);
        row.arrange(*fake_.Get());
        EXPECT_EQ(idsOf(listDisplays(desktop())), row.listed);
    }
}

TEST_F(Desktop, TargetDisplaysAreAllOrTheOneWithExactlyThatId)
{
    fake_->addDisplay(kLeft, kLeftRect);
    fake_->addDisplay(kRight, kRightRect);
    fake_->addDisplay(kThird, kThirdRect);
    fake_->failMonitorRect(kRight, E_FAIL);

    std::wstring upperCase = kThird;
    for (wchar_t& c : upperCase)
        c = static_cast<wchar_t>(towupper(c));

    EXPECT_EQ(idsOf(targetDisplaysOf(desktop(), L"")), (std::vector<std::wstring>{kLeft, kThird}));
    EXPECT_EQ(idsOf(targetDisplaysOf(desktop(), kThird)), std::vector<std::wstring>{kThird});
    EXPECT_EQ(idsOf(targetDisplaysOf(desktop(), kRight)), std::vector<std::wstring>{});
    EXPECT_EQ(idsOf(targetDisplaysOf(desktop(), upperCase)), std::vector<std::wstring>{});
    EXPECT_EQ(idsOf(targetDisplaysOf(desktop(), kThird.substr(0, 20))), std::vector<std::wstring>{});
}

TEST(DisplayForNextChange, SpanAlwaysMeansAllDisplays)
{
    EXPECT_EQ(displayForNextChange(FitSpan, kLeft), L"");
    EXPECT_EQ(displayForNextChange(FitSpan, L""), L"");
    EXPECT_EQ(displayForNextChange(FitFill, kLeft), kLeft);
    EXPECT_EQ(displayForNextChange(FitCenter, kRight), kRight);
    EXPECT_EQ(displayForNextChange(FitFit, L""), L"");
}

// ---- capture and restore ------------------------------------------------------------------

TEST_F(Desktop, RestorePutsBackWhatCaptureRecorded)
{
    twoDisplaysWithPictures();
    const FakeDesktopState before = fake_->state();

    DesktopSnapshot snapshot;
    ASSERT_EQ(captureDesktop(desktop(), snapshot), S_OK) << fake_->callsText();
    EXPECT_EQ(snapshot.position, FitFit);
    EXPECT_EQ(snapshot.backgroundColor, RGB(0, 0, 128));
    EXPECT_TRUE(snapshot.enabled);
    EXPECT_EQ(snapshot.slideshowItems.Get(), nullptr);
    ASSERT_EQ(idsOf(snapshot.displays), (std::vector<std::wstring>{kLeft, kRight}));
    EXPECT_EQ(snapshot.displays[0].wallpaper, leftPicture_);
    EXPECT_EQ(snapshot.displays[1].wallpaper, rightPicture_);
    EXPECT_EQ(fake_->callCount(L"GetSlideshow"), 0);

    ASSERT_EQ(applyStillImage(desktop(), L"", newPicture_, FitTile), S_OK);
    fake_->setBackgroundColor(RGB(255, 255, 255));
    fake_->setEnabled(false);
    fake_->clearCalls();

    EXPECT_EQ(restoreDesktop(desktop(), snapshot), S_OK);
    EXPECT_EQ(fake_->state(), before) << fake_->callsText();
    EXPECT_EQ(fake_->callCount(L"SetWallpaper"), 2);
    EXPECT_EQ(fake_->calls().back(), (FakeDesktopCall{L"Enable", {L"1"}, S_OK}));
}

TEST_F(Desktop, ShellSlideshowIsCapturedAndStartedAgain)
{
    fake_->addDisplay(kLeft, kLeftRect);
    fake_->addDisplay(kRight, kRightRect);
    ComPtr<IShellItemArray> items = makeShellItemArray({leftPicture_, rightPicture_});
    ASSERT_NE(items.Get(), nullptr);
    fake_->setShellSlideshow(items, DSO_SHUFFLEIMAGES, 600000);
    const FakeDesktopState before = fake_->state();

    DesktopSnapshot snapshot;
    ASSERT_EQ(captureDesktop(desktop(), snapshot), S_OK) << fake_->callsText();
    EXPECT_EQ(shellItemArrayPaths(snapshot.slideshowItems.Get()),
              (std::vector<std::wstring>{leftPicture_, rightPicture_}));
    EXPECT_EQ(snapshot.slideshowOptions, static_cast<std::uint32_t>(DSO_SHUFFLEIMAGES));
    EXPECT_EQ(snapshot.slideshowTick, 600000u);

    ASSERT_EQ(applyStillImage(desktop(), kLeft, newPicture_, FitCenter), S_OK);
    ASSERT_FALSE(fake_->state().slideshow);
    fake_->clearCalls();

    EXPECT_EQ(restoreDesktop(desktop(), snapshot), S_OK);
    EXPECT_EQ(fake_->state(), before) << fake_->callsText();
    EXPECT_EQ(fake_->callCount(L"SetWallpaper"), 0) << fake_->callsText();
    EXPECT_EQ(fake_->callCount(L"SetSlideshowOptions"), 1);
}

TEST_F(Desktop, SpannedPictureIsRestoredOnceForAllDisplays)
{
    const std::wstring panorama = picture(L"panorama.jpg");
    fake_->addDisplay(kLeft, kLeftRect, panorama);
    fake_->addDisplay(kRight, kRightRect, panorama);
    fake_->setPosition(DWPOS_SPAN);
    const FakeDesktopState before = fake_->state();

    DesktopSnapshot snapshot;
    ASSERT_EQ(captureDesktop(desktop(), snapshot), S_OK);
    ASSERT_EQ(applyStillImage(desktop(), kRight, newPicture_, FitFill), S_OK);
    fake_->clearCalls();

    EXPECT_EQ(restoreDesktop(desktop(), snapshot), S_OK);
    EXPECT_EQ(fake_->state(), before);
    ASSERT_EQ(fake_->callCount(L"SetWallpaper"), 1) << fake_->callsText();
    EXPECT_EQ(fake_->calls()[2], (FakeDesktopCall{L"SetWallpaper", {L"(null)", panorama}, S_OK}));
}

TEST_F(Desktop, RestoreSkipsAnUnpluggedDisplayWithoutError)
{
    twoDisplaysWithPictures();
    DesktopSnapshot snapshot;
    ASSERT_EQ(captureDesktop(desktop(), snapshot), S_OK);

    ASSERT_EQ(applyStillImage(desktop(), L"", newPicture_, FitFill), S_OK);
    fake_->removeDisplay(kLeft);
    fake_->clearCalls();

    EXPECT_EQ(restoreDesktop(desktop(), snapshot), S_OK) << fake_->callsText();
    EXPECT_EQ(fake_->wallpaperOf(kRight), rightPicture_);
    ASSERT_EQ(fake_->callCount(L"SetWallpaper"), 1) << fake_->callsText();
    EXPECT_EQ(fake_->state().position, DWPOS_FIT);
}

TEST_F(Desktop, RestoreOfDisabledDesktopWithoutPictureIgnoresRefusedEmptyPath)
{
    fake_->addDisplay(kLeft, kLeftRect, L"");
    fake_->setEnabled(false);
    fake_->failEmptyWallpaper(E_INVALIDARG);
    const FakeDesktopState before = fake_->state();

    DesktopSnapshot snapshot;
    ASSERT_EQ(captureDesktop(desktop(), snapshot), S_OK);
    EXPECT_FALSE(snapshot.enabled);
    ASSERT_EQ(applyStillImage(desktop(), L"", newPicture_, FitFill), S_OK);
    ASSERT_TRUE(fake_->state().enabled);
    fake_->clearCalls();

    EXPECT_EQ(restoreDesktop(desktop(), snapshot), S_OK) << fake_->callsText();
    EXPECT_EQ(fake_->callCount(L"SetWallpaper"), 1);
    const std::vector<FakeDesktopCall>& calls = fake_->calls();
    ASSERT_GE(calls.size(), 2u);
    EXPECT_EQ(calls[calls.size() - 2], (FakeDesktopCall{L"SetWallpaper", {kLeft, L""}, E_INVALIDARG}));
    EXPECT_EQ(calls.back(), (FakeDesktopCall{L"Enable", {L"0"}, S_OK}));
    EXPECT_FALSE(fake_->state().enabled);
    EXPECT_EQ(fake_->state().position, before.position);
}

TEST_F(Desktop, RefusedEmptyPathCountsWhileTheDesktopWasEnabled)
{
    fake_->addDisplay(kLeft, kLeftRect, L"");
    fake_->failEmptyWallpaper(E_INVALIDARG);
    DesktopSnapshot snapshot;
    ASSERT_EQ(captureDesktop(desktop(), snapshot), S_OK);
    ASSERT_TRUE(snapshot.enabled);

    EXPECT_EQ(restoreDesktop(desktop(), snapshot), E_INVALIDARG) << fake_->callsText();
    EXPECT_EQ(fake_->calls().back().method, L"Enable");
}

TEST_F(Desktop, CaptureStopsAtTheFirstFailure)
{
    // The reads of the whole desktop; one display's reads are in the next test.
    const char* methods[] = {"GetPosition", "GetBackgroundColor", "GetStatus", "GetSlideshow", "GetSlideshowOptions"};
    for (const char* name : methods) {
        SCOPED_TRACE(name);
        const std::wstring method(name, name + strlen(name));
        fake_ = FakeDesktopWallpaper::create();
        fake_->addDisplay(kLeft, kLeftRect, leftPicture_);
        fake_->addDisplay(kRight, kRightRect, rightPicture_);
        fake_->setShellSlideshow(makeShellItemArray({leftPicture_}), DSO_SHUFFLEIMAGES, 60000);
        fake_->failNthCallOf(method, 1, E_ACCESSDENIED);

        DesktopSnapshot snapshot;
        EXPECT_EQ(captureDesktop(desktop(), snapshot), E_ACCESSDENIED);
        EXPECT_EQ(fake_->calls().back(), (FakeDesktopCall{method, fake_->calls().back().arguments, E_ACCESSDENIED}))
            << fake_->callsText();
        EXPECT_EQ(fake_->callCount(L"GetWallpaper"), 0);
    }
}

TEST_F(Desktop, CaptureRecordsADisplayItCannotReadAndGoesOn)
{
    struct Case {
        const char* what;
        void (*arrange)(FakeDesktopWallpaper&);
        std::wstring unreadableId; // empty: the display's path itself could not be read
    };
    const Case cases[] = {
        {"wallpaper", [](FakeDesktopWallpaper& f) { f.failNthCallOf(L"GetWallpaper", 1, E_ACCESSDENIED); }, kLeft},
        {"rectangle", [](FakeDesktopWallpaper& f) { f.failMonitorRect(kLeft, E_ACCESSDENIED); }, kLeft},
        {"device path", [](FakeDesktopWallpaper& f) { f.failNthCallOf(L"GetMonitorDevicePathAt", 1, E_ACCESSDENIED); },
         L""},
    };
    for (const Case& row : cases) {
        SCOPED_TRACE(row.what);
        fake_ = FakeDesktopWallpaper::create();
        twoDisplaysWithPictures();
        fake_->addDisplay(kThird, kThirdRect, newPicture_);
        row.arrange(*fake_.Get());

        DesktopSnapshot snapshot;
        ASSERT_EQ(captureDesktop(desktop(), snapshot), S_OK) << fake_->callsText();
        EXPECT_EQ(idsOf(snapshot.displays), (std::vector<std::wstring>{kRight, kThird}));
        EXPECT_EQ(snapshot.displays[0].wallpaper, rightPicture_);
        ASSERT_EQ(snapshot.unreadable.size(), 1u);
        EXPECT_EQ(snapshot.unreadable[0].monitorId, row.unreadableId);
        EXPECT_EQ(snapshot.unreadable[0].error, E_ACCESSDENIED);

        // A change may go to a display that was read, but not to one that was not, nor to all.
        EXPECT_EQ(unreadableTouchedBy(snapshot, L""), E_ACCESSDENIED);
        EXPECT_EQ(unreadableTouchedBy(snapshot, kLeft), E_ACCESSDENIED);
        EXPECT_EQ(unreadableTouchedBy(snapshot, kRight), row.unreadableId.empty() ? E_ACCESSDENIED : S_OK);
    }
}

TEST_F(Desktop, CaptureWithNoReadableDisplayFailsWithTheFirstFailure)
{
    fake_->addDisplay(kLeft, kLeftRect, leftPicture_);
    fake_->failMonitorRect(kLeft, E_ACCESSDENIED);
    DesktopSnapshot snapshot;
    EXPECT_EQ(captureDesktop(desktop(), snapshot), E_ACCESSDENIED);
}

TEST_F(Desktop, RestoreTouchesOnlyWhatItHolds)
{
    twoDisplaysWithPictures();
    fake_->failMonitorRect(kRight, E_ACCESSDENIED);
    DesktopSnapshot captured;
    ASSERT_EQ(captureDesktop(desktop(), captured), S_OK);

    DesktopSnapshot leftOnly;
    leftOnly.displays = {{kLeft, kLeftRect, leftPicture_}};
    EXPECT_EQ(unreadableTouchedByRestore(captured, leftOnly), S_OK);
    DesktopSnapshot both;
    both.displays = {{kLeft, kLeftRect, leftPicture_}, {kRight, kRightRect, rightPicture_}};
    EXPECT_EQ(unreadableTouchedByRestore(captured, both), E_ACCESSDENIED);
    leftOnly.position = FitSpan; // one picture across every display
    EXPECT_EQ(unreadableTouchedByRestore(captured, leftOnly), E_ACCESSDENIED);
}

TEST_F(Desktop, RestoreGoesOnPastAFailingDisplayAndPutsBackEveryOther)
{
    struct Case {
        const char* what;
        void (*arrange)(FakeDesktopWallpaper&);
        HRESULT result;
        std::vector<std::wstring> restored; // the displays that show their old picture again
    };
    const Case cases[] = {
        {"the first display refuses its picture",
         [](FakeDesktopWallpaper& f) { f.failNthCallOf(L"SetWallpaper", 1, E_ACCESSDENIED); },
         E_ACCESSDENIED,
         {kRight, kThird}},
        {"the first display's rectangle cannot be read",
         [](FakeDesktopWallpaper& f) { f.failMonitorRect(kLeft, E_ACCESSDENIED); },
         S_OK,
         {kLeft, kRight, kThird}},
        {"the first display's path cannot be read",
         [](FakeDesktopWallpaper& f) { f.failNthCallOf(L"GetMonitorDevicePathAt", 1, E_ACCESSDENIED); },
         S_OK,
         {kLeft, kRight, kThird}},
    };
    for (const Case& row : cases) {
        SCOPED_TRACE(row.what);
        fake_ = FakeDesktopWallpaper::create();
        twoDisplaysWithPictures();
        fake_->addDisplay(kThird, kThirdRect, rightPicture_);
        DesktopSnapshot snapshot;
        ASSERT_EQ(captureDesktop(desktop(), snapshot), S_OK);
        ASSERT_EQ(applyStillImage(desktop(), L"", newPicture_, FitFill), S_OK);
        row.arrange(*fake_.Get());

        EXPECT_EQ(restoreDesktop(desktop(), snapshot), row.result) << fake_->callsText();
        for (const DisplayWallpaper& saved : snapshot.displays) {
            const bool restored =
                std::find(row.restored.begin(), row.restored.end(), saved.monitorId) != row.restored.end();
            EXPECT_EQ(fake_->wallpaperOf(saved.monitorId), restored ? saved.wallpaper : newPicture_)
                << testing::PrintToString(saved.monitorId);
        }
        EXPECT_EQ(fake_->state().position, DWPOS_FIT);
    }
}

TEST_F(Desktop, CaptureWithoutDisplayFails)
{
    fake_->addDisplay(kLeft, kLeftRect, leftPicture_);
    fake_->failMonitorRect(kLeft, FakeDesktopWallpaper::kDetachedMonitorResult);
    DesktopSnapshot snapshot;
    EXPECT_EQ(captureDesktop(desktop(), snapshot), kNotFound);
    EXPECT_TRUE(snapshot.displays.empty());

    fake_ = FakeDesktopWallpaper::create();
    EXPECT_EQ(captureDesktop(desktop(), snapshot), kNotFound);
}

TEST_F(Desktop, RestoreTriesEveryStepAndReportsTheFirstFailure)
{
    twoDisplaysWithPictures();
    DesktopSnapshot snapshot;
    ASSERT_EQ(captureDesktop(desktop(), snapshot), S_OK);
    ASSERT_EQ(applyStillImage(desktop(), L"", newPicture_, FitFill), S_OK);
    fake_->clearCalls();
    fake_->failNthCallOf(L"SetPosition", 1, E_UNEXPECTED);
    fake_->failNthCallOf(L"SetWallpaper", 1, E_ACCESSDENIED);

    EXPECT_EQ(restoreDesktop(desktop(), snapshot), E_UNEXPECTED);
    EXPECT_EQ(fake_->wallpaperOf(kLeft), newPicture_);
    EXPECT_EQ(fake_->wallpaperOf(kRight), rightPicture_);
    EXPECT_EQ(fake_->calls().back().method, L"Enable") << fake_->callsText();
}

TEST_F(Desktop, RestoreSetsNoSlideshowOptionsWhenTheSlideshowIsRefused)
{
    fake_->addDisplay(kLeft, kLeftRect);
    fake_->setShellSlideshow(makeShellItemArray({leftPicture_, rightPicture_}), DSO_SHUFFLEIMAGES, 60000);
    DesktopSnapshot snapshot;
    ASSERT_EQ(captureDesktop(desktop(), snapshot), S_OK);
    fake_->clearCalls();
    fake_->failNthCallOf(L"SetSlideshow", 1, E_FAIL);

    EXPECT_EQ(restoreDesktop(desktop(), snapshot), E_FAIL);
    EXPECT_EQ(fake_->callCount(L"SetSlideshowOptions"), 0) << fake_->callsText();
    EXPECT_EQ(fake_->callCount(L"SetWallpaper"), 0);
    EXPECT_EQ(fake_->calls().back().method, L"Enable");
}

// ---- applying one picture -----------------------------------------------------------------

TEST_F(Desktop, ApplyLeavesAnEqualPositionAlone)
{
    twoDisplaysWithPictures();
    EXPECT_EQ(applyStillImage(desktop(), kRight, newPicture_, FitFit), S_OK);
    EXPECT_EQ(fake_->calls(), (std::vector<FakeDesktopCall>{
                                  {L"GetMonitorRECT", {kRight}, S_OK},
                                  {L"GetPosition", {}, S_OK},
                                  {L"SetWallpaper", {kRight, newPicture_}, S_OK},
                              }));
    EXPECT_EQ(fake_->wallpaperOf(kLeft), leftPicture_);
    EXPECT_EQ(fake_->wallpaperOf(kRight), newPicture_);
}

TEST_F(Desktop, ApplySetsADifferentPositionForTheWholeDesktop)
{
    twoDisplaysWithPictures();
    EXPECT_EQ(applyStillImage(desktop(), kLeft, newPicture_, FitStretch), S_OK);
    EXPECT_EQ(fake_->calls(), (std::vector<FakeDesktopCall>{
                                  {L"GetMonitorRECT", {kLeft}, S_OK},
                                  {L"GetPosition", {}, S_OK},
                                  {L"SetPosition", {L"2"}, S_OK},
                                  {L"SetWallpaper", {kLeft, newPicture_}, S_OK},
                              }));
    EXPECT_EQ(fake_->state().position, DWPOS_STRETCH);
}

TEST_F(Desktop, ApplyWithTheEmptyIdCoversEveryDisplay)
{
    twoDisplaysWithPictures();
    EXPECT_EQ(applyStillImage(desktop(), L"", newPicture_, FitSpan), S_OK);
    EXPECT_EQ(fake_->calls(), (std::vector<FakeDesktopCall>{
                                  {L"GetPosition", {}, S_OK},
                                  {L"SetPosition", {L"5"}, S_OK},
                                  {L"SetWallpaper", {L"(null)", newPicture_}, S_OK},
                              }));
    EXPECT_EQ(fake_->wallpaperOf(kLeft), newPicture_);
    EXPECT_EQ(fake_->wallpaperOf(kRight), newPicture_);
}

TEST_F(Desktop, ApplyRefusesAGoneDisplayOrFileBeforeTouchingTheDesktop)
{
    struct Case {
        const char* what;
        std::wstring monitor;
        std::wstring path;
        HRESULT expected;
        int calls; // only the display check may have been asked
    };
    const Case cases[] = {
        {"display unplugged", kThird, newPicture_, kNotFound, 1},
        {"display rectangle unreadable", kRight, newPicture_, kNotFound, 1},
        {"picture deleted", kLeft, folder_ / L"deleted.png", static_cast<HRESULT>(0x80070002), 1},
        {"folder deleted", L"", folder_ / L"gone\\a.png", static_cast<HRESULT>(0x80070003), 0},
    };
    for (const Case& row : cases) {
        SCOPED_TRACE(row.what);
        fake_ = FakeDesktopWallpaper::create();
        twoDisplaysWithPictures();
        fake_->failMonitorRect(kRight, S_FALSE);
        const FakeDesktopState before = fake_->state();

        EXPECT_EQ(applyStillImage(desktop(), row.monitor, row.path, FitCenter), row.expected);
        EXPECT_EQ(fake_->totalCalls(), row.calls) << fake_->callsText();
        EXPECT_EQ(fake_->state(), before);
    }
}

TEST_F(Desktop, ApplyStopsAtAFailingPositionCall)
{
    for (const wchar_t* method : {L"GetPosition", L"SetPosition", L"SetWallpaper"}) {
        SCOPED_TRACE(testing::PrintToString(std::wstring(method)));
        fake_ = FakeDesktopWallpaper::create();
        twoDisplaysWithPictures();
        fake_->failNthCallOf(method, 1, E_ACCESSDENIED);

        EXPECT_EQ(applyStillImage(desktop(), kLeft, newPicture_, FitTile), E_ACCESSDENIED);
        EXPECT_EQ(fake_->calls().back().method, method) << fake_->callsText();
        EXPECT_EQ(fake_->wallpaperOf(kLeft), leftPicture_);
    }
}

} // namespace
