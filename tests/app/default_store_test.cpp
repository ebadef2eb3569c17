// Choosing the default wallpaper: real pictures made with WIC, a real data folder and
// settings file, and a scripted file dialog in place of the shell's.
#include <gtest/gtest.h>

#include <windows.h>
#include <objbase.h>
#include <wincodec.h>
#include <wrl/client.h>

#include <algorithm>
#include <cstdint>
#include <optional>
#include <ostream>
#include <regex>
#include <string>
#include <vector>

#include "common/picture_files.h"
#include "common/strings.h"
#include "platform/paths.h"
#include "tests/support/temp_folder.h"
#include "tests/support/wallpaper_world.h"
#include "tests/support/windowed_world.h"
#include "tray/menu_model.h"

using Microsoft::WRL::ComPtr;

namespace {

// A 4x4 picture in a container other than PNG or JPEG, encoded with WIC.
std::wstring writeForeignPicture(const std::wstring& path, const GUID& container)
{
    ComPtr<IWICImagingFactory> factory;
    ComPtr<IWICStream> stream;
    ComPtr<IWICBitmapEncoder> encoder;
    ComPtr<IWICBitmapFrameEncode> frame;
    ComPtr<IWICPalette> palette;
    HRESULT hr = CoCreateInstance(CLSID_WICImagingFactory2, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&factory));
    if (SUCCEEDED(hr))
        hr = factory->CreateStream(&stream);
    if (SUCCEEDED(hr))
        hr = stream->InitializeFromFilename(path.c_str(), GENERIC_WRITE);
    if (SUCCEEDED(hr))
        hr = factory->CreateEncoder(container, nullptr, &encoder);
    if (SUCCEEDED(hr))
        hr = encoder->Initialize(stream.Get(), WICBitmapEncoderNoCache);
    if (SUCCEEDED(hr))
        hr = encoder->CreateNewFrame(&frame, nullptr);
    if (SUCCEEDED(hr))
        hr = frame->Initialize(nullptr);
    if (SUCCEEDED(hr))
        hr = frame->SetSize(4, 4);
    // GIF takes palette indices; the others take what they can of 24-bit colour.
    WICPixelFormatGUID format =
        container == GUID_ContainerFormatGif ? GUID_WICPixelFormat8bppIndexed : GUID_WICPixelFormat24bppBGR;
    if (SUCCEEDED(hr))
        hr = frame->SetPixelFormat(&format);
    if (SUCCEEDED(hr) && format == GUID_WICPixelFormat8bppIndexed) {
        hr = factory->CreatePalette(&palette);
        if (SUCCEEDED(hr))
            hr = palette->InitializePredefined(WICBitmapPaletteTypeFixedGray256, FALSE);
        if (SUCCEEDED(hr))
            hr = frame->SetPalette(palette.Get());
    }
    const UINT bytesPerPixel = format == GUID_WICPixelFormat8bppIndexed ? 1 : 3;
    std::vector<BYTE> pixels(4 * 4 * bytesPerPixel, 0x80);
    if (SUCCEEDED(hr))
        hr = frame->WritePixels(4, 4 * bytesPerPixel, static_cast<UINT>(pixels.size()), pixels.data());
    if (SUCCEEDED(hr))
        hr = frame->Commit();
    if (SUCCEEDED(hr))
        hr = encoder->Commit();
    return SUCCEEDED(hr) ? path : std::wstring();
}

bool isGuidName(const std::wstring& name, const std::wstring& extension)
{
    static const std::wregex guid(L"\\{[0-9A-F]{8}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{12}\\}");
    return name.size() == 38 + extension.size() && std::regex_match(name.substr(0, 38), guid) &&
           name.substr(38) == extension;
}

// One call of the file dialog, as the store made it.
struct DialogCall {
    HWND owner;
    bool forDefault;
    std::uint32_t language;
};

// A started program with its data folder in a temporary local application-data folder,
// a fake desktop with two displays, a real WIC factory, a tray icon that takes balloons, and a
// file dialog that answers with the next scripted list.
class DefaultStoreTest : public ::testing::Test {
protected:
    static constexpr const wchar_t* kFirstDisplay = L"\\\\?\\DISPLAY#1";

    DefaultStoreTest()
    {
        world.fake->addDisplay(kDisplay2, kRect2, L"C:\\old.jpg");
        world.chooseFiles = [this](HWND owner, bool forDefault, std::uint32_t language) {
            dialogCalls.push_back({owner, forDefault, language});
            std::vector<std::wstring> answer;
            if (!dialogAnswers.empty()) {
                answer = dialogAnswers.front();
                dialogAnswers.erase(dialogAnswers.begin());
            }
            return answer;
        };
        EXPECT_EQ(S_OK, world.start());
        world.fake->clearCalls();
        world.system.iconCalls.clear();
        world.system.debugLines.clear();
    }

    std::wstring dataFolder() const { return world.folder / L"Peltorine"; }
    std::optional<std::wstring> defaultKey() const { return world.setting(L"Default"); }
    const Settings& settings() const { return world.app.settings(); }

    // The files that the choice added to the data folder.
    std::vector<std::wstring> copies() const
    {
        std::vector<std::wstring> names = filesIn(dataFolder());
        names.erase(std::remove(names.begin(), names.end(), L"settings.ini"), names.end());
        return names;
    }

    // The balloons shown, as (warning?, text).
    std::vector<std::pair<bool, std::wstring>> balloons() const
    {
        std::vector<std::pair<bool, std::wstring>> shown;
        for (const auto& call : world.system.iconCalls) {
            if (call.message == NIM_MODIFY && (call.data.uFlags & NIF_INFO)) {
                EXPECT_STREQ(L"Peltorine", call.data.szInfoTitle);
                shown.emplace_back(call.data.dwInfoFlags == NIIF_WARNING, call.data.szInfo);
            }
        }
        return shown;
    }

    // Chooses path as the default and expects the store to take it.
    std::wstring chooseSuccessfully(const std::wstring& path)
    {
        dialogAnswers.push_back({path});
        world.app.chooseDefaultWallpaper();
        return settings().defaultWallpaperPath();
    }

    PictureFolder pictures;
    WindowedWorld world{false};
    std::vector<std::vector<std::wstring>> dialogAnswers;
    std::vector<DialogCall> dialogCalls;
};

TEST_F(DefaultStoreTest, ChoosingAPngStoresAByteForByteCopyUnderAGuidName)
{
    const std::wstring source = pictures.png(L"Sunset.png");
    dialogAnswers.push_back({source});

    world.app.chooseDefaultWallpaper();

    ASSERT_EQ(1u, dialogCalls.size());
    EXPECT_EQ(world.app.controlWindow(), dialogCalls[0].owner);
    EXPECT_TRUE(dialogCalls[0].forDefault);
    EXPECT_EQ(kEnglish, dialogCalls[0].language);
    const std::vector<std::wstring> stored = copies();
    ASSERT_EQ(1u, stored.size());
    EXPECT_TRUE(isGuidName(stored[0], L".png")) << stored[0];
    EXPECT_EQ(readFileBytes(source), readFileBytes(dataFolder() + L"\\" + stored[0]));
    EXPECT_EQ(stored[0], defaultKey());
    EXPECT_EQ(dataFolder() + L"\\" + stored[0], settings().defaultWallpaperPath());
    EXPECT_EQ(std::vector<std::wstring>{notificationLine(L"Default wallpaper saved.", S_OK)}, world.system.debugLines);
    EXPECT_EQ((std::vector<std::pair<bool, std::wstring>>{{false, L"Default wallpaper saved."}}), balloons());
    EXPECT_FALSE(world.app.widget().errorFlash());
    // Choosing only stores the picture; the desktop is not touched.
    EXPECT_EQ(0, world.fake->totalCalls()) << world.fake->callsText();
    EXPECT_EQ(L"C:\\old.jpg", world.fake->wallpaperOf(kFirstDisplay));
}

TEST_F(DefaultStoreTest, VietnameseDialogAndMessage)
{
    world.app.executeCommand(kCommandVietnamese, {});
    world.system.iconCalls.clear();

    chooseSuccessfully(pictures.jpeg(L"Ảnh.jpg"));

    ASSERT_EQ(1u, dialogCalls.size());
    EXPECT_EQ(kVietnamese, dialogCalls[0].language);
    EXPECT_EQ((std::vector<std::pair<bool, std::wstring>>{{false, L"Đã lưu hình nền mặc định."}}), balloons());
}

TEST_F(DefaultStoreTest, UpperCaseJpegExtensionIsKeptAndTheNextStartUsesTheCopy)
{
    const std::wstring source = pictures.jpeg(L"Photo.JPEG");

    const std::wstring stored = chooseSuccessfully(source);

    const std::vector<std::wstring> names = copies();
    ASSERT_EQ(1u, names.size());
    EXPECT_TRUE(isGuidName(names[0], L".JPEG")) << names[0];
    EXPECT_EQ(readFileBytes(source), readFileBytes(stored));

    Settings next;
    ASSERT_EQ(S_OK, next.prepare(world.folder.path()));
    next.read(kDefaultFit);
    EXPECT_EQ(stored, next.defaultWallpaperPath());
}

TEST_F(DefaultStoreTest, PngContentNamedJpgIsStoredUnderItsOwnName)
{
    const std::wstring stored = chooseSuccessfully(pictures.png(L"really-a-png.jpg"));

    ASSERT_EQ(1u, copies().size());
    EXPECT_TRUE(isGuidName(copies()[0], L".jpg")) << copies()[0];
    EXPECT_EQ(dataFolder() + L"\\" + copies()[0], stored);
}

TEST_F(DefaultStoreTest, EachNewChoiceReleasesThePreviousCopy)
{
    std::wstring stored;
    for (const wchar_t* name : {L"one.png", L"two.png", L"three.png", L"four.png"})
        stored = chooseSuccessfully(pictures.png(name));

    EXPECT_EQ(std::vector<std::wstring>{fileNameOf(stored)}, copies());
    EXPECT_EQ(fileNameOf(stored), defaultKey());
}

TEST_F(DefaultStoreTest, APreviousCopyTheDesktopShowsStays)
{
    const std::wstring first = chooseSuccessfully(pictures.png(L"one.png"));
    world.app.restoreDefaultWallpaper();
    ASSERT_EQ(first, world.fake->wallpaperOf(kFirstDisplay));

    const std::wstring second = chooseSuccessfully(pictures.png(L"two.png"));

    std::vector<std::wstring> expected{fileNameOf(first), fileNameOf(second)};
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(expected, copies());
}

// Picture files the store must refuse.
struct RefusedCase {
    const char* name;
    std::wstring (*make)(PictureFolder& pictures);
    // The code expected; S_OK: whatever the picture probe says about the file.
    HRESULT code;
};

void PrintTo(const RefusedCase& c, std::ostream* out)
{
    *out << c.name;
}

class DefaultStoreRefusalTest : public DefaultStoreTest, public ::testing::WithParamInterface<RefusedCase> {};

TEST_P(DefaultStoreRefusalTest, IsReportedAndLeavesNothingBehind)
{
    const RefusedCase& c = GetParam();
    const std::wstring previous = chooseSuccessfully(pictures.png(L"previous.png"));
    world.system.debugLines.clear();
    world.system.iconCalls.clear();
    const std::wstring source = c.make(pictures);
    ASSERT_FALSE(source.empty());
    HRESULT expected = c.code;
    if (expected == S_OK) {
        ComPtr<IWICBitmapFrameDecode> frame;
        expected = openImageFrame(*createImagingFactory().Get(), source, &frame);
        ASSERT_TRUE(FAILED(expected));
    }
    // The file stays locked while the store looks at it; a refusal by name must not need to open it.
    const bool lock = c.code == WINCODEC_ERR_UNKNOWNIMAGEFORMAT;
    std::optional<HeldOpen> held;
    if (lock && fileExists(source))
        held.emplace(source);
    dialogAnswers.push_back({source});

    world.app.chooseDefaultWallpaper();

    const std::wstring message = L"Couldn't save the default wallpaper. Choose a valid PNG or JPEG image.";
    EXPECT_EQ(std::vector<std::wstring>{notificationLine(message, expected)}, world.system.debugLines);
    EXPECT_EQ((std::vector<std::pair<bool, std::wstring>>{{true, message}}), balloons());
    EXPECT_EQ(std::vector<std::wstring>{fileNameOf(previous)}, copies());
    EXPECT_EQ(previous, settings().defaultWallpaperPath());
    EXPECT_EQ(fileNameOf(previous), defaultKey());
}

INSTANTIATE_TEST_SUITE_P(
    Pictures, DefaultStoreRefusalTest,
    ::testing::Values(RefusedCase{"GifNamedPng",
                                  [](PictureFolder& p) {
                                      return writeForeignPicture(p.path() + L"\\animated.png", GUID_ContainerFormatGif);
                                  },
                                  S_OK},
                      RefusedCase{"GarbageNamedJpg", [](PictureFolder& p) { return p.garbage(L"broken.jpg"); }, S_OK},
                      RefusedCase{"MissingFile", [](PictureFolder& p) { return p.path() + L"\\gone.png"; }, S_OK},
                      RefusedCase{"BmpByItsName",
                                  [](PictureFolder& p) {
                                      return writeForeignPicture(p.path() + L"\\picture.bmp", GUID_ContainerFormatBmp);
                                  },
                                  WINCODEC_ERR_UNKNOWNIMAGEFORMAT},
                      RefusedCase{"PngContentNamedGif", [](PictureFolder& p) { return p.png(L"picture.gif"); },
                                  WINCODEC_ERR_UNKNOWNIMAGEFORMAT}),
    [](const ::testing::TestParamInfo<RefusedCase>& info) { return std::string(info.param.name); });

TEST_F(DefaultStoreTest, FailedCopyIsReportedWithTheSystemsCode)
{
    const std::wstring source = pictures.png(L"fine.png");
    // The data folder went away under the running program.
    ASSERT_TRUE(MoveFileW(dataFolder().c_str(), (world.folder / L"moved away").c_str()));
    dialogAnswers.push_back({source});

    world.app.chooseDefaultWallpaper();

    EXPECT_EQ(std::vector<std::wstring>{notificationLine(
                  L"Couldn't save the default wallpaper. Choose a valid PNG or JPEG image.",
                  HRESULT_FROM_WIN32(ERROR_PATH_NOT_FOUND))},
              world.system.debugLines);
    EXPECT_EQ(L"", settings().defaultWallpaperPath());
    EXPECT_FALSE(defaultKey().has_value());
}

TEST_F(DefaultStoreTest, FailedSettingsWriteRemovesTheCopyAndKeepsThePreviousDefault)
{
    const std::wstring previous = chooseSuccessfully(pictures.png(L"previous.png"));
    world.system.debugLines.clear();
    // A read-only source gives a read-only copy; it must go all the same.
    const std::wstring source = pictures.jpeg(L"locked-down.jpg");
    ASSERT_TRUE(SetFileAttributesW(source.c_str(), FILE_ATTRIBUTE_READONLY));
    dialogAnswers.push_back({source});
    {
        HeldOpen held(world.settingsFile());
        ASSERT_TRUE(held.held());

        world.app.chooseDefaultWallpaper();
    }
    SetFileAttributesW(source.c_str(), FILE_ATTRIBUTE_NORMAL);

    EXPECT_EQ(std::vector<std::wstring>{notificationLine(L"Couldn't save the settings.",
                                                         HRESULT_FROM_WIN32(ERROR_SHARING_VIOLATION))},
              world.system.debugLines);
    EXPECT_EQ(std::vector<std::wstring>{fileNameOf(previous)}, copies());
    EXPECT_EQ(previous, settings().defaultWallpaperPath());
    EXPECT_EQ(fileNameOf(previous), defaultKey());
}

TEST_F(DefaultStoreTest, CancelledDialogDoesNothing)
{
    const std::string settingsBefore = readFileBytes(world.settingsFile());

    world.app.chooseDefaultWallpaper();

    EXPECT_EQ(1u, dialogCalls.size());
    EXPECT_TRUE(copies().empty());
    EXPECT_TRUE(world.system.debugLines.empty());
    EXPECT_TRUE(world.system.iconCalls.empty());
    EXPECT_EQ(settingsBefore, readFileBytes(world.settingsFile()));
    EXPECT_EQ(L"", settings().defaultWallpaperPath());
}

TEST_F(DefaultStoreTest, RestoringWithoutAUsableDefaultOpensTheChoiceAndShowsIt)
{
    // No default yet, and then a default whose file has gone.
    for (int round = 0; round < 2; ++round) {
        const std::wstring before = settings().defaultWallpaperPath();
        if (round == 1) {
            ASSERT_TRUE(DeleteFileW(before.c_str()));
        }
        dialogCalls.clear();
        const std::wstring source = pictures.png(L"restored.png");
        dialogAnswers.push_back({source});

        world.app.restoreDefaultWallpaper();

        ASSERT_EQ(1u, dialogCalls.size());
        EXPECT_TRUE(dialogCalls[0].forDefault);
        ASSERT_NE(before, settings().defaultWallpaperPath());
        EXPECT_EQ(settings().defaultWallpaperPath(), world.fake->wallpaperOf(kFirstDisplay));
        EXPECT_EQ(settings().defaultWallpaperPath(), world.fake->wallpaperOf(kDisplay2));
        EXPECT_EQ(readFileBytes(source), readFileBytes(settings().defaultWallpaperPath()));
    }
}

TEST_F(DefaultStoreTest, RestoringWithoutADefaultAndCancellingChangesNothing)
{
    const FakeDesktopState desktopBefore = world.fake->state();

    world.app.restoreDefaultWallpaper();

    EXPECT_EQ(1u, dialogCalls.size());
    EXPECT_EQ(desktopBefore, world.fake->state());
    EXPECT_TRUE(world.system.debugLines.empty());
    EXPECT_TRUE(copies().empty());
}

TEST_F(DefaultStoreTest, RestoringAUsableDefaultDoesNotAsk)
{
    const std::wstring stored = chooseSuccessfully(pictures.png(L"kept.png"));
    dialogCalls.clear();

    world.app.restoreDefaultWallpaper();

    EXPECT_TRUE(dialogCalls.empty());
    EXPECT_EQ(stored, world.fake->wallpaperOf(kFirstDisplay));
}

} // namespace
