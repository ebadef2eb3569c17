#include <gtest/gtest.h>
#include <windows.h>
#include <objbase.h>
#include <wincodec.h>
#include <wrl/client.h>

#include <string>
#include <vector>

#include "tests/support/temp_folder.h"
#include "wallpaper/file_rules.h"

using Microsoft::WRL::ComPtr;

namespace {

// 2x2 pictures as an encoder writes them.
constexpr unsigned char kPngBytes[] = {
    0x89, 0x50, 0x4E, 0x47, 0x0D, 0x0A, 0x1A, 0x0A, 0x00, 0x00, 0x00, 0x0D, 0x49, 0x48, 0x44, 0x52, 0x00, 0x00, 0x00,
    0x02, 0x00, 0x00, 0x00, 0x02, 0x08, 0x02, 0x00, 0x00, 0x00, 0xFD, 0xD4, 0x9A, 0x73, 0x00, 0x00, 0x00, 0x09, 0x70,
    0x48, 0x59, 0x73, 0x00, 0x00, 0x00, 0x01, 0x00, 0x00, 0x00, 0x01, 0x00, 0x4F, 0x25, 0xC4, 0xD6, 0x00, 0x00, 0x00,
    0x10, 0x49, 0x44, 0x41, 0x54, 0x78, 0x9C, 0x63, 0xF8, 0xCB, 0xC0, 0x00, 0x44, 0x0C, 0x10, 0x0A, 0x00, 0x1F, 0xAE,
    0x03, 0xF5, 0xF6, 0x18, 0x2A, 0x59, 0x00, 0x00, 0x00, 0x00, 0x49, 0x45, 0x4E, 0x44, 0xAE, 0x42, 0x60, 0x82};
constexpr unsigned char kJpegBytes[] = {
    0xFF, 0xD8, 0xFF, 0xE0, 0x00, 0x10, 0x4A, 0x46, 0x49, 0x46, 0x00, 0x01, 0x02, 0x00, 0x00, 0x01, 0x00, 0x01, 0x00,
    0x00, 0xFF, 0xDB, 0x00, 0x43, 0x00, 0x08, 0x14, 0x14, 0x17, 0x14, 0x17, 0x1B, 0x1B, 0x1B, 0x1B, 0x1B, 0x1B, 0x20,
    0x1E, 0x20, 0x21, 0x21, 0x21, 0x20, 0x20, 0x20, 0x20, 0x21, 0x21, 0x21, 0x24, 0x24, 0x24, 0x2A, 0x2A, 0x2A, 0x24,
    0x24, 0x24, 0x21, 0x21, 0x24, 0x24, 0x28, 0x28, 0x2A, 0x2A, 0x2E, 0x2F, 0x2E, 0x2B, 0x2B, 0x2A, 0x2B, 0x2F, 0x2F,
    0x32, 0x32, 0x32, 0x3C, 0x3C, 0x39, 0x39, 0x46, 0x46, 0x48, 0x56, 0x56, 0x67, 0xFF, 0xC4, 0x00, 0x4C, 0x00, 0x01,
    0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x06, 0x01, 0x01,
    0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x06, 0x07, 0x10, 0x01,
    0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x11, 0x01, 0x00,
    0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0xFF, 0xC0, 0x00, 0x11,
    0x08, 0x00, 0x02, 0x00, 0x02, 0x03, 0x01, 0x22, 0x00, 0x02, 0x11, 0x00, 0x03, 0x11, 0x00, 0xFF, 0xDA, 0x00, 0x0C,
    0x03, 0x01, 0x00, 0x02, 0x11, 0x03, 0x11, 0x00, 0x3F, 0x00, 0x8B, 0x00, 0x51, 0x7F, 0x7F, 0xFF, 0xD9};
// 1x1 GIF.
constexpr unsigned char kGifBytes[] = {0x47, 0x49, 0x46, 0x38, 0x39, 0x61, 0x01, 0x00, 0x01, 0x00, 0x80,
                                       0x00, 0x00, 0xFF, 0xFF, 0xFF, 0x00, 0x00, 0x00, 0x21, 0xF9, 0x04,
                                       0x01, 0x00, 0x00, 0x00, 0x00, 0x2C, 0x00, 0x00, 0x00, 0x00, 0x01,
                                       0x00, 0x01, 0x00, 0x00, 0x02, 0x02, 0x44, 0x01, 0x00, 0x3B};

template <std::size_t N>
std::string bytes(const unsigned char (&data)[N])
{
    return std::string(reinterpret_cast<const char*>(data), N);
}

const std::string kPng = bytes(kPngBytes);
const std::string kJpeg = bytes(kJpegBytes);
const std::string kGif = bytes(kGifBytes);
// Cut inside the tables, before the frame header: no decoder can make a frame of it.
const std::string kTruncatedJpeg = kJpeg.substr(0, 100);

constexpr HRESULT kUnknownImageFormat = static_cast<HRESULT>(0x88982F07);
constexpr HRESULT kComponentNotFound = static_cast<HRESULT>(0x88982F50);
constexpr HRESULT kFileNotFound = static_cast<HRESULT>(0x80070002);
constexpr HRESULT kAccessDenied = static_cast<HRESULT>(0x80070005);
constexpr HRESULT kAnyFailure = static_cast<HRESULT>(0x8FFFFFFF); // marker: any FAILED code

std::string narrow(const std::wstring& text)
{
    const int size = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<std::size_t>(size > 0 ? size - 1 : 0), '\0');
    if (size > 1)
        WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, out.data(), size, nullptr, nullptr);
    return out;
}

// A message as the user reads it in English.
std::wstring englishMessage(const FileListCheck& check)
{
    return check.message ? pick(*check.message, kEnglish) + check.messageSuffix : std::wstring();
}

// ---- path rules -------------------------------------------------------------------------

struct PathCase {
    const wchar_t* path;
    const wchar_t* fileName;
    const wchar_t* extension;
    bool picture;
    bool video;
};

const PathCase kPathCases[] = {
    {L"C:\\Pictures\\Sunset.JPG", L"Sunset.JPG", L".JPG", true, false},
    {L"\\\\server\\share\\a.jpeg", L"a.jpeg", L".jpeg", true, false},
    {L"//server/share/b.Jpg", L"b.Jpg", L".Jpg", true, false},
    {L"D:a.png", L"a.png", L".png", true, false},
    {L"C:\\x\\movie.MP4", L"movie.MP4", L".MP4", false, true},
    {L"C:\\x\\clip.Mp4", L"clip.Mp4", L".Mp4", false, true},
    {L"C:\\x/mixed/c.PnG", L"c.PnG", L".PnG", true, false},
    {L"a.png", L"a.png", L".png", true, false},
    // Long-path and device prefixes: the marker is not a separator-free file name.
    {L"\\\\?\\C:\\very\\long\\d.png", L"d.png", L".png", true, false},
    {L"\\\\?\\UNC\\server\\share\\e.jpg", L"e.jpg", L".jpg", true, false},
    {L"\\\\.\\C:\\x\\f.jpeg", L"f.jpeg", L".jpeg", true, false},
    {L"//?/C:/x/g.png", L"g.png", L".png", true, false},
    // Names that are not pictures although they mention one.
    {L"C:\\x\\.png", L".png", L"", false, false},
    {L"C:\\x\\photo.", L"photo.", L".", false, false},
    {L"C:\\x\\photo.png ", L"photo.png ", L".png ", false, false},
    {L"C:\\x\\png", L"png", L"", false, false},
    {L"C:\\x\\archive.png.zip", L"archive.png.zip", L".zip", false, false},
    {L"C:\\x\\anim.gif", L"anim.gif", L".gif", false, false},
    {L"C:\\x\\scan.bmp", L"scan.bmp", L".bmp", false, false},
    {L"C:\\x\\web.webp", L"web.webp", L".webp", false, false},
    {L"C:\\x\\clip.mov", L"clip.mov", L".mov", false, false},
    {L"C:\\x\\movie.mp4.png", L"movie.mp4.png", L".png", true, false},
    {L"C:\\x\\..png", L"..png", L".png", true, false},
    // Alternate data streams keep the file's own extension.
    {L"C:\\x\\a.png:thumb", L"a.png:thumb", L".png", true, false},
    {L"C:\\x\\a.jpg:thumb:$DATA", L"a.jpg:thumb:$DATA", L".jpg", true, false},
    {L"C:\\x\\.png:thumb", L".png:thumb", L"", false, false},
    // Dots in folders do not count.
    {L"C:\\x.folder\\readme", L"readme", L"", false, false},
    {L"C:\\x.png\\", L"", L"", false, false},
    // Names with no file part.
    {L"C:\\x\\..", L"..", L"", false, false},
    {L"C:\\x\\.", L".", L"", false, false},
    {L"C:\\x\\a", L"a", L"", false, false},
    {L"C:", L"", L"", false, false},
    {L"C:\\", L"", L"", false, false},
    {L"\\\\server", L"", L"", false, false},
    {L"\\\\server\\share", L"share", L"", false, false},
    {L"\\\\?\\", L"", L"", false, false},
    {L"", L"", L"", false, false},
    // Characters beyond the Basic Multilingual Plane (surrogate pairs) and Vietnamese text.
    {L"C:\\\u1EA2nh\\\U0001F305 ho\u00E0ng h\u00F4n.jpg", L"\U0001F305 ho\u00E0ng h\u00F4n.jpg", L".jpg", true, false},
    // Only ASCII letters fold: a full-width "ＰＮＧ" is another extension.
    {L"C:\\x\\wide.\uFF30\uFF2E\uFF27", L"wide.\uFF30\uFF2E\uFF27", L".\uFF30\uFF2E\uFF27", false, false},
};

TEST(FileRules, PathsSplitIntoNameExtensionAndKind)
{
    for (const PathCase& row : kPathCases) {
        SCOPED_TRACE(narrow(row.path));
        EXPECT_EQ(fileNameOf(row.path), row.fileName);
        EXPECT_EQ(extensionOf(row.path), row.extension);
        EXPECT_EQ(isPicture(row.path), row.picture);
        EXPECT_EQ(isVideo(row.path), row.video);
    }
}

TEST(FileRules, SelectionIsOneVideoOrOnlyPictures)
{
    struct Case {
        std::vector<std::wstring> paths;
        bool valid;
    };
    const Case cases[] = {
        {{}, false},
        {{L"C:\\v\\clip.mp4"}, true},
        {{L"C:\\v\\clip.mp4", L"C:\\p\\a.png"}, false},
        {{L"C:\\p\\a.png", L"C:\\v\\clip.mp4"}, false},
        {{L"C:\\v\\one.mp4", L"C:\\v\\two.mp4"}, false},
        {{L"C:\\p\\a.jpg", L"C:\\p\\b.JPEG", L"C:\\p\\c.png"}, true},
        {{L"C:\\p\\a.jpg"}, true},
        {{L"C:\\p\\a.jpg", L"C:\\p\\b.gif"}, false},
        {{L"C:\\p\\b.gif"}, false},
        {{L"C:\\p\\a.png", L"C:\\p\\"}, false},
    };
    for (const Case& row : cases) {
        std::wstring joined;
        for (const std::wstring& path : row.paths)
            joined += path + L" | ";
        SCOPED_TRACE(narrow(joined));
        EXPECT_EQ(isValidSelection(row.paths), row.valid);
    }
}

// ---- natural order ----------------------------------------------------------------------

TEST(FileRules, NaturalOrderComparesFileNamesOnly)
{
    EXPECT_TRUE(naturalNameLess(L"C:\\c\\img2.png", L"C:\\a\\img10.png"));
    EXPECT_FALSE(naturalNameLess(L"C:\\a\\img10.png", L"C:\\c\\img2.png"));
    EXPECT_TRUE(naturalNameLess(L"C:\\z\\a.png", L"C:\\a\\b.png"));
    EXPECT_FALSE(naturalNameLess(L"C:\\a\\x.png", L"C:\\b\\x.png"));
    EXPECT_FALSE(naturalNameLess(L"C:\\b\\x.png", L"C:\\a\\x.png"));
}

TEST(FileRules, SortIsNaturalAndStable)
{
    struct Case {
        std::vector<std::wstring> input;
        std::vector<std::wstring> sorted;
    };
    const Case cases[] = {
        {{L"C:\\b\\img10.png", L"C:\\a\\img2.png", L"C:\\c\\img1.png"},
         {L"C:\\c\\img1.png", L"C:\\a\\img2.png", L"C:\\b\\img10.png"}},
        // Equal names keep the order they came in, whatever their folders.
        {{L"C:\\a\\x.png", L"C:\\b\\x.png"}, {L"C:\\a\\x.png", L"C:\\b\\x.png"}},
        {{L"C:\\b\\x.png", L"C:\\a\\x.png"}, {L"C:\\b\\x.png", L"C:\\a\\x.png"}},
        // Names the comparison treats as equal (it ignores case) are stable too.
        {{L"C:\\p\\X.png", L"C:\\p\\y.png", L"C:\\q\\x.png"}, {L"C:\\p\\X.png", L"C:\\q\\x.png", L"C:\\p\\y.png"}},
        {{L"C:\\q\\x.png", L"C:\\p\\X.png"}, {L"C:\\q\\x.png", L"C:\\p\\X.png"}},
        // Pictures from several folders interleave by name.
        {{L"C:\\z\\b2.jpg", L"C:\\a\\b10.jpg", L"C:\\m\\a1.jpg", L"C:\\a\\b1.jpg"},
         {L"C:\\m\\a1.jpg", L"C:\\a\\b1.jpg", L"C:\\z\\b2.jpg", L"C:\\a\\b10.jpg"}},
        {{}, {}},
    };
    for (const Case& row : cases) {
        std::vector<std::wstring> paths = row.input;
        sortByNaturalName(paths);
        EXPECT_EQ(paths, row.sorted);
    }
}

TEST(FileRules, SortKeepsInputOrderAmongManyEqualNames)
{
    // Long enough that an unstable sort would show: 4 names, 25 folders each, folders counting down.
    std::vector<std::wstring> paths;
    for (int i = 99; i >= 0; --i)
        paths.push_back(L"C:\\f" + std::to_wstring(i) + L"\\pic" + std::to_wstring(i % 4) + L".png");
    std::vector<std::wstring> expected;
    for (int name = 0; name < 4; ++name) {
        for (const std::wstring& path : paths) {
            if (path.ends_with(L"pic" + std::to_wstring(name) + L".png"))
                expected.push_back(path);
        }
    }
    sortByNaturalName(paths);
    EXPECT_EQ(paths, expected);
}

// ---- the picture probe and prepareFileList ---------------------------------------------

class FileProbe : public testing::Test {
protected:
    void SetUp() override
    {
        comInitialized_ = SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED));
        ASSERT_HRESULT_SUCCEEDED(
            CoCreateInstance(CLSID_WICImagingFactory2, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&factory_)));
    }
    void TearDown() override
    {
        factory_.Reset();
        if (comInitialized_)
            CoUninitialize();
    }

    std::wstring file(const std::wstring& name, const std::string& content)
    {
        const std::wstring path = folder_ / name;
        writeFileBytes(path, content);
        return path;
    }

    ComPtr<IWICImagingFactory> factory_;
    TempFolder folder_;

private:
    bool comInitialized_ = false;
};

TEST_F(FileProbe, OpensPngAndJpegContentWhateverTheExtension)
{
    struct Case {
        const wchar_t* name;
        const std::string* content;
        HRESULT expected;
    };
    CreateDirectoryW((folder_ / L"x.png").c_str(), nullptr);
    const Case cases[] = {
        {L"a.png", &kPng, S_OK},
        {L"a.jpg", &kJpeg, S_OK},
        {L"jpeg inside.png", &kJpeg, S_OK},
        {L"png inside.JPEG", &kPng, S_OK},
        {L"\U0001F305 \u1EA2nh.png", &kPng, S_OK},
        {L"gif inside.png", &kGif, kUnknownImageFormat},
        {L"b.jpg", &kGif, kUnknownImageFormat},
        {L"cut.jpg", &kTruncatedJpeg, kAnyFailure},
        {L"empty.png", nullptr, kComponentNotFound},
        {L"missing.png", nullptr, kFileNotFound},
        {L"x.png", nullptr, kAccessDenied}, // a folder
    };
    writeFileBytes(folder_ / L"empty.png", "");
    for (const Case& row : cases) {
        SCOPED_TRACE(narrow(row.name));
        const std::wstring path = row.content ? file(row.name, *row.content) : folder_ / row.name;
        ComPtr<IWICBitmapFrameDecode> frame;
        const HRESULT hr = openImageFrame(*factory_.Get(), path, &frame);
        if (row.expected == kAnyFailure) {
            EXPECT_TRUE(FAILED(hr)) << std::hex << hr;
        } else {
            EXPECT_EQ(hr, row.expected) << std::hex << hr;
        }
        EXPECT_EQ(frame != nullptr, SUCCEEDED(hr));
        if (frame) {
            UINT width = 0, height = 0;
            EXPECT_HRESULT_SUCCEEDED(frame->GetSize(&width, &height));
            EXPECT_EQ(width, row.content == &kGif ? 1u : 2u);
            EXPECT_EQ(height, width);
        }
    }
}

// Without a longPathAware manifest Windows refuses plain paths of 260 characters and more;
// the \\?\ form works everywhere (Wine accepts both).
TEST_F(FileProbe, OpensPictureBeyondMaxPathThroughTheLongPathPrefix)
{
    std::wstring path = L"\\\\?\\" + folder_.path();
    std::vector<std::wstring> folders;
    while (path.size() < 300) {
        path += L"\\a-folder-with-a-long-name-to-pass-the-old-limit";
        ASSERT_TRUE(CreateDirectoryW(path.c_str(), nullptr)) << GetLastError();
        folders.push_back(path);
    }
    path += L"\\deep.png";
    writeFileBytes(path, kPng);

    ComPtr<IWICBitmapFrameDecode> frame;
    EXPECT_HRESULT_SUCCEEDED(openImageFrame(*factory_.Get(), path, &frame));
    EXPECT_NE(frame.Get(), nullptr);
    EXPECT_EQ(fileNameOf(path), L"deep.png");

    // The temporary folder's own clean-up uses plain paths, which stop short of these.
    frame.Reset();
    DeleteFileW(path.c_str());
    for (auto folder = folders.rbegin(); folder != folders.rend(); ++folder)
        RemoveDirectoryW(folder->c_str());
}

TEST_F(FileProbe, PrepareRefusesInvalidSelectionWithoutOpeningFiles)
{
    // Both files are missing: only the selection rule can have answered.
    const FileListCheck check = prepareFileList(*factory_.Get(), {folder_ / L"missing.png", folder_ / L"missing.gif"});
    EXPECT_EQ(check.code, E_INVALIDARG);
    EXPECT_EQ(englishMessage(check), L"Choose PNG, JPG or JPEG images, or one MP4 video.");
    ASSERT_NE(check.message, nullptr);
    EXPECT_STREQ(pick(*check.message, kVietnamese), L"Hãy chọn ảnh PNG, JPG, JPEG hoặc một video MP4.");
}

TEST_F(FileProbe, PrepareHandsOneVideoOnUnopened)
{
    const std::wstring video = folder_ / L"not there.MP4";
    const FileListCheck check = prepareFileList(*factory_.Get(), {video});
    EXPECT_EQ(check.code, S_OK);
    EXPECT_EQ(check.mode, ModeVideo);
    EXPECT_EQ(check.paths, std::vector<std::wstring>{video});
}

TEST_F(FileProbe, PrepareGivesStillForOnePictureAndSortedSlideshowForMore)
{
    const std::wstring one = file(L"one.jpg", kJpeg);
    FileListCheck check = prepareFileList(*factory_.Get(), {one});
    EXPECT_EQ(check.code, S_OK);
    EXPECT_EQ(check.mode, ModeStill);
    EXPECT_EQ(check.paths, std::vector<std::wstring>{one});

    CreateDirectoryW((folder_ / L"b").c_str(), nullptr);
    const std::wstring img10 = file(L"b\\img10.png", kPng);
    const std::wstring img2 = file(L"img2.jpeg", kJpeg);
    const std::wstring img1 = file(L"img1.png", kPng);
    check = prepareFileList(*factory_.Get(), {img10, img2, img1});
    EXPECT_EQ(check.code, S_OK);
    EXPECT_EQ(check.mode, ModeSlideshow);
    EXPECT_EQ(check.paths, (std::vector<std::wstring>{img1, img2, img10}));
}

TEST_F(FileProbe, PrepareNamesFirstBadPictureInInputOrder)
{
    CreateDirectoryW((folder_ / L"z").c_str(), nullptr);
    const std::wstring good = file(L"good.png", kPng);
    const std::wstring gif = file(L"z\\b.jpg", kGif);
    const std::wstring missing = folder_ / L"a.png"; // sorts first, but comes later
    const FileListCheck check = prepareFileList(*factory_.Get(), {good, gif, missing});
    EXPECT_EQ(check.code, kUnknownImageFormat);
    EXPECT_EQ(englishMessage(check), L"Couldn't open image b.jpg");
    ASSERT_NE(check.message, nullptr);
    EXPECT_EQ(pick(*check.message, kVietnamese) + check.messageSuffix, L"Không mở được ảnh b.jpg");
}

TEST_F(FileProbe, PrepareReportsTheProbeCodeOfAMissingPicture)
{
    const std::wstring good = file(L"good.png", kPng);
    const FileListCheck check = prepareFileList(*factory_.Get(), {good, folder_ / L"gone.jpeg"});
    EXPECT_EQ(check.code, kFileNotFound);
    EXPECT_EQ(englishMessage(check), L"Couldn't open image gone.jpeg");
}

} // namespace
