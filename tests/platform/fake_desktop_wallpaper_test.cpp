#include "tests/support/fake_desktop_wallpaper.h"
#include "tests/support/temp_folder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <iterator>

using Microsoft::WRL::ComPtr;

namespace {

const std::wstring kFirst = L"\\\\?\\DISPLAY#MÀN_HÌNH#1";
const std::wstring kSecond = L"\\\\?\\DISPLAY#B#2";

// Two displays, the first left of and above the primary one, with different pictures.
ComPtr<FakeDesktopWallpaper> twoDisplays()
{
    auto fake = FakeDesktopWallpaper::create();
    fake->addDisplay(kFirst, {-1920, -200, 0, 880}, L"C:\\first.jpg");
    fake->addDisplay(kSecond, {0, 0, 2560, 1440}, L"C:\\second.jpg");
    return fake;
}

class FakeDesktopWallpaperTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        comInitialized_ = SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED));
        fake_ = twoDisplays();
    }
    void TearDown() override
    {
        fake_.Reset();
        if (comInitialized_)
            CoUninitialize();
    }

    // Takes a task-allocated string the way a caller must: copy, then CoTaskMemFree.
    static std::wstring taken(LPWSTR value)
    {
        std::wstring copy = value ? value : L"(null)";
        CoTaskMemFree(value);
        return copy;
    }

    bool comInitialized_ = false;
    ComPtr<FakeDesktopWallpaper> fake_;
};

TEST_F(FakeDesktopWallpaperTest, RecordsEveryCallWithItsArgumentsAndResultInOrder)
{
    IDesktopWallpaper& desktop = *fake_.Get();
    RECT rect{};
    EXPECT_EQ(desktop.SetPosition(DWPOS_SPAN), S_OK);
    EXPECT_EQ(desktop.SetWallpaper(kFirst.c_str(), L"C:\\ảnh.png"), S_OK);
    EXPECT_EQ(desktop.SetWallpaper(nullptr, L"C:\\all.png"), S_OK);
    EXPECT_EQ(desktop.GetMonitorRECT(L"nowhere", &rect), FakeDesktopWallpaper::kUnknownMonitorResult);
    EXPECT_EQ(desktop.SetSlideshowOptions(DSO_SHUFFLEIMAGES, 30000), S_OK);
    EXPECT_EQ(desktop.Enable(FALSE), S_OK);

    const std::vector<FakeDesktopCall> expected = {
        {L"SetPosition", {L"5"}, S_OK},
        {L"SetWallpaper", {kFirst, L"C:\\ảnh.png"}, S_OK},
        {L"SetWallpaper", {L"(null)", L"C:\\all.png"}, S_OK},
        {L"GetMonitorRECT", {L"nowhere"}, E_INVALIDARG},
        {L"SetSlideshowOptions", {L"1", L"30000"}, S_OK},
        {L"Enable", {L"0"}, S_OK},
    };
    EXPECT_EQ(fake_->calls(), expected) << fake_->callsText();
    EXPECT_EQ(fake_->callCount(L"SetWallpaper"), 2);
    EXPECT_EQ(fake_->totalCalls(), 6);

    fake_->clearCalls();
    EXPECT_EQ(fake_->totalCalls(), 0);
}

TEST_F(FakeDesktopWallpaperTest, ListsDisplaysInOrderAndAnswersRectanglesLikeTheShell)
{
    const std::wstring detached = L"\\\\?\\DISPLAY#DETACHED#3";
    fake_->addDisplay(detached, {2560, 0, 3840, 1024});
    fake_->failMonitorRect(detached, FakeDesktopWallpaper::kDetachedMonitorResult);
    IDesktopWallpaper& desktop = *fake_.Get();

    UINT count = 0;
    ASSERT_EQ(desktop.GetMonitorDevicePathCount(&count), S_OK);
    ASSERT_EQ(count, 3u);
    std::vector<std::wstring> ids;
    for (UINT i = 0; i < count; ++i) {
        LPWSTR id = nullptr;
        EXPECT_EQ(desktop.GetMonitorDevicePathAt(i, &id), S_OK);
        ids.push_back(taken(id));
    }
    EXPECT_EQ(ids, (std::vector<std::wstring>{kFirst, kSecond, detached}));
    LPWSTR past = nullptr;
    EXPECT_EQ(desktop.GetMonitorDevicePathAt(3, &past), E_INVALIDARG);
    EXPECT_EQ(past, nullptr);

    RECT rect{};
    EXPECT_EQ(desktop.GetMonitorRECT(kFirst.c_str(), &rect), S_OK);
    EXPECT_EQ(rect.left, -1920);
    EXPECT_EQ(rect.top, -200);
    EXPECT_EQ(rect.right, 0);
    EXPECT_EQ(rect.bottom, 880);
    EXPECT_EQ(desktop.GetMonitorRECT(detached.c_str(), &rect), S_FALSE);
    LPWSTR wallpaper = nullptr;
    EXPECT_EQ(desktop.GetWallpaper(detached.c_str(), &wallpaper), S_OK);
    EXPECT_EQ(taken(wallpaper), L"");

    fake_->removeDisplay(kFirst);
    ASSERT_EQ(desktop.GetMonitorDevicePathCount(&count), S_OK);
    EXPECT_EQ(count, 2u);
    LPWSTR first = nullptr;
    EXPECT_EQ(desktop.GetMonitorDevicePathAt(0, &first), S_OK);
    EXPECT_EQ(taken(first), kSecond);
    EXPECT_EQ(desktop.GetMonitorRECT(kFirst.c_str(), &rect), FakeDesktopWallpaper::kUnknownMonitorResult);
    EXPECT_EQ(desktop.SetWallpaper(kFirst.c_str(), L"C:\\x.png"), FakeDesktopWallpaper::kUnknownMonitorResult);
}

TEST_F(FakeDesktopWallpaperTest, SetWallpaperFollowsTheShellsModel)
{
    IDesktopWallpaper& desktop = *fake_.Get();
    LPWSTR common = nullptr;
    EXPECT_EQ(desktop.GetWallpaper(nullptr, &common), S_FALSE) << "displays differ";
    EXPECT_EQ(taken(common), L"");

    ASSERT_EQ(desktop.Enable(FALSE), S_OK);
    DESKTOP_SLIDESHOW_STATE status{};
    ASSERT_EQ(desktop.GetStatus(&status), S_OK);
    EXPECT_EQ(status, 0);

    ASSERT_EQ(desktop.SetWallpaper(nullptr, L"C:\\all.png"), S_OK);
    EXPECT_EQ(fake_->wallpaperOf(kFirst), L"C:\\all.png");
    EXPECT_EQ(fake_->wallpaperOf(kSecond), L"C:\\all.png");
    EXPECT_TRUE(fake_->state().enabled) << "a picture turns the wallpaper on";
    EXPECT_EQ(desktop.GetWallpaper(nullptr, &common), S_OK);
    EXPECT_EQ(taken(common), L"C:\\all.png");

    ASSERT_EQ(desktop.SetWallpaper(kSecond.c_str(), L"C:\\one.png"), S_OK);
    EXPECT_EQ(fake_->wallpaperOf(kFirst), L"C:\\all.png");
    EXPECT_EQ(fake_->wallpaperOf(kSecond), L"C:\\one.png");

    // Restoring a display that showed nothing: accepted unless told otherwise.
    EXPECT_EQ(desktop.SetWallpaper(kSecond.c_str(), L""), S_OK);
    EXPECT_EQ(fake_->wallpaperOf(kSecond), L"");
    fake_->failEmptyWallpaper(E_INVALIDARG);
    fake_->setWallpaperOf(kSecond, L"C:\\kept.png");
    EXPECT_EQ(desktop.SetWallpaper(kSecond.c_str(), L""), E_INVALIDARG);
    EXPECT_EQ(fake_->wallpaperOf(kSecond), L"C:\\kept.png");
}

// Each case injects failures, makes the same calls, and expects the calls listed to fail.
struct InjectionCase {
    const char* name;
    std::function<void(FakeDesktopWallpaper&)> inject;
    std::vector<int> failingCalls; // 1-based positions in the sequence below
};

// Six calls: SetPosition, SetWallpaper(first), SetBackgroundColor, SetWallpaper(second),
// Enable, SetWallpaper(all); the 1-based calls listed in `skipped` are not made.
std::vector<HRESULT> runSequence(IDesktopWallpaper& desktop, const std::vector<int>& skipped = {})
{
    const std::function<HRESULT()> calls[] = {
        [&] { return desktop.SetPosition(DWPOS_CENTER); },
        [&] { return desktop.SetWallpaper(kFirst.c_str(), L"C:\\1.png"); },
        [&] { return desktop.SetBackgroundColor(0x00112233); },
        [&] { return desktop.SetWallpaper(kSecond.c_str(), L"C:\\2.png"); },
        [&] { return desktop.Enable(FALSE); },
        [&] { return desktop.SetWallpaper(nullptr, L"C:\\3.png"); },
    };
    std::vector<HRESULT> results;
    for (int i = 1; i <= static_cast<int>(std::size(calls)); ++i) {
        if (std::find(skipped.begin(), skipped.end(), i) == skipped.end())
            results.push_back(calls[i - 1]());
    }
    return results;
}

// The state the sequence leaves when the listed calls are not made at all.
FakeDesktopState stateWithout(const std::vector<int>& skipped)
{
    auto reference = twoDisplays();
    (void)runSequence(*reference.Get(), skipped);
    return reference->state();
}

TEST_F(FakeDesktopWallpaperTest, InjectedFailuresFireExactlyWhereAskedAndChangeNothing)
{
    constexpr HRESULT kInjected = static_cast<HRESULT>(0x80070005);
    const InjectionCase cases[] = {
        {"second SetWallpaper", [](FakeDesktopWallpaper& f) { f.failNthCallOf(L"SetWallpaper", 2, kInjected); }, {4}},
        {"first Enable", [](FakeDesktopWallpaper& f) { f.failNthCallOf(L"Enable", 1, kInjected); }, {5}},
        {"every SetWallpaper",
         [](FakeDesktopWallpaper& f) { f.failEveryCallOf(L"SetWallpaper", kInjected); },
         {2, 4, 6}},
        {"third call of any method", [](FakeDesktopWallpaper& f) { f.failNthCall(3, kInjected); }, {3}},
        {"first and sixth calls",
         [](FakeDesktopWallpaper& f) {
             f.failNthCall(1, kInjected);
             f.failNthCall(6, kInjected);
         },
         {1, 6}},
        {"a method never called", [](FakeDesktopWallpaper& f) { f.failNthCallOf(L"SetSlideshow", 1, kInjected); }, {}},
        {"cleared",
         [](FakeDesktopWallpaper& f) {
             f.failNthCall(1, kInjected);
             f.clearFailures();
         },
         {}},
    };
    for (const InjectionCase& test : cases) {
        SCOPED_TRACE(test.name);
        fake_ = twoDisplays();
        test.inject(*fake_.Get());
        const std::vector<HRESULT> results = runSequence(*fake_.Get());
        std::vector<HRESULT> expected(results.size(), S_OK);
        for (int call : test.failingCalls)
            expected[static_cast<size_t>(call - 1)] = kInjected;
        EXPECT_EQ(results, expected) << fake_->callsText();
        EXPECT_EQ(fake_->state(), stateWithout(test.failingCalls));
        ASSERT_EQ(fake_->calls().size(), results.size());
        for (size_t i = 0; i < results.size(); ++i)
            EXPECT_EQ(fake_->calls()[i].result, results[i]) << "the log shows the injected result";
    }
}

TEST_F(FakeDesktopWallpaperTest, InjectedGetFailureNullsTheOutput)
{
    fake_->failNthCallOf(L"GetWallpaper", 1, E_FAIL);
    LPWSTR wallpaper = reinterpret_cast<LPWSTR>(1);
    EXPECT_EQ(fake_->GetWallpaper(kFirst.c_str(), &wallpaper), E_FAIL);
    EXPECT_EQ(wallpaper, nullptr);
    EXPECT_EQ(fake_->GetWallpaper(kFirst.c_str(), &wallpaper), S_OK);
    EXPECT_EQ(taken(wallpaper), L"C:\\first.jpg");
}

TEST_F(FakeDesktopWallpaperTest, ShellSlideshowRoundTrips)
{
    TempFolder folder;
    const std::vector<std::wstring> paths = {folder / L"b.png", folder / L"ảnh a.jpg"};
    for (const std::wstring& path : paths)
        writeFileBytes(path, "x");
    ComPtr<IShellItemArray> items = makeShellItemArray(paths);
    ASSERT_NE(items, nullptr);
    EXPECT_EQ(shellItemArrayPaths(items.Get()), paths);
    IDesktopWallpaper& desktop = *fake_.Get();

    ASSERT_EQ(desktop.SetSlideshow(items.Get()), S_OK);
    ASSERT_EQ(desktop.SetSlideshowOptions(DSO_SHUFFLEIMAGES, 60000), S_OK);
    DESKTOP_SLIDESHOW_STATE status{};
    ASSERT_EQ(desktop.GetStatus(&status), S_OK);
    EXPECT_EQ(status, DSS_ENABLED | DSS_SLIDESHOW);
    LPWSTR common = nullptr;
    EXPECT_EQ(desktop.GetWallpaper(nullptr, &common), S_FALSE) << "a slideshow runs";
    EXPECT_EQ(taken(common), L"");
    const FakeDesktopState running = fake_->state();
    EXPECT_TRUE(running.slideshow);
    EXPECT_EQ(running.slideshowPaths, paths);

    // Capture, replace with a still picture, put the capture back.
    ComPtr<IShellItemArray> saved;
    ASSERT_EQ(desktop.GetSlideshow(&saved), S_OK);
    ASSERT_NE(saved, nullptr);
    DESKTOP_SLIDESHOW_OPTIONS options{};
    UINT tick = 0;
    ASSERT_EQ(desktop.GetSlideshowOptions(&options, &tick), S_OK);
    EXPECT_EQ(options, DSO_SHUFFLEIMAGES);
    EXPECT_EQ(tick, 60000u);

    ASSERT_EQ(desktop.SetWallpaper(nullptr, L"C:\\still.png"), S_OK);
    ASSERT_EQ(desktop.GetStatus(&status), S_OK);
    EXPECT_EQ(status, DSS_ENABLED) << "a still picture ends the shell slideshow";
    ComPtr<IShellItemArray> none;
    EXPECT_EQ(desktop.GetSlideshow(&none), S_OK);
    EXPECT_EQ(none, nullptr);

    ASSERT_EQ(desktop.SetSlideshow(saved.Get()), S_OK);
    ASSERT_EQ(desktop.SetSlideshowOptions(options, tick), S_OK);
    EXPECT_EQ(fake_->state(), running);
}

TEST_F(FakeDesktopWallpaperTest, CoCreateInstanceReturnsTheFakeWhileRegistered)
{
    {
        DesktopWallpaperRegistration registration = fake_->registerAsDesktopWallpaperClass();
        ASSERT_EQ(registration.result(), S_OK);
        ComPtr<IDesktopWallpaper> desktop;
        ASSERT_EQ(CoCreateInstance(CLSID_DesktopWallpaper, nullptr, CLSCTX_ALL, IID_PPV_ARGS(&desktop)), S_OK);
        EXPECT_EQ(desktop.Get(), static_cast<IDesktopWallpaper*>(fake_.Get()));
        ASSERT_EQ(desktop->SetPosition(DWPOS_TILE), S_OK);
        EXPECT_EQ(fake_->state().position, DWPOS_TILE);
    }
    // Wine then has no such class; Windows would give its own object.
    ComPtr<IDesktopWallpaper> afterRevoke;
    (void)CoCreateInstance(CLSID_DesktopWallpaper, nullptr, CLSCTX_ALL, IID_PPV_ARGS(&afterRevoke));
    EXPECT_NE(afterRevoke.Get(), static_cast<IDesktopWallpaper*>(fake_.Get()));
}

} // namespace
