// Every file we write is whole or absent: the settings file, the stored default picture and the
// first start's carried-over settings, through a file system that stops part-way as a crash or a
// power cut would, or whose rename fails.
#include <gtest/gtest.h>

#include <windows.h>
#include <objbase.h>
#include <wincodec.h>
#include <wrl/client.h>

#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "settings/default_store.h"
#include "settings/settings.h"
#include "tests/settings/settings_files.h"
#include "tests/settings/stopping_file_system.h"
#include "tests/support/png_pixels.h"
#include "tests/support/temp_folder.h"

namespace {

using Microsoft::WRL::ComPtr;

// What is being written when the file system stops or fails.
enum class Write {
    Setting,         // a setter changes settings.ini
    DefaultPicture,  // a chosen picture is copied into the data folder
    CarriedPicture,  // the first start copies the previous version's picture
    CarriedSettings, // the first start writes the carried-over settings.ini
    Repair,          // the start rewrites an 8-bit settings.ini
};

class AtomicWriteTest : public ::testing::Test {
protected:
    AtomicWriteTest()
    {
        CreateDirectoryW(dataFolder.c_str(), nullptr);
        CreateDirectoryW(previousFolder.c_str(), nullptr);
        if (SUCCEEDED(comResult))
            CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&imaging));
        savePng(picture, PixelImage{2, 1, {0xFF0000FFu, 0xFF00FF00u}});
    }
    ~AtomicWriteTest() override
    {
        imaging.Reset();
        if (SUCCEEDED(comResult))
            CoUninitialize();
    }

    // The files before the write: every case starts from a settings file with Interval=15, or
    // from the previous version's with it.
    void arrange(Write write) const
    {
        switch (write) {
        case Write::Setting:
        case Write::DefaultPicture:
            writeFileBytes(settingsFile, utf16File(L"[Peltorine]\r\nInterval=15\r\n"));
            break;
        case Write::CarriedPicture:
            writeFileBytes(previousFolder + L"\\old.png", readFileBytes(picture));
            writeFileBytes(previousFolder + L"\\settings.ini", "[Corvandelle]\r\nInterval=15\r\nDefault=old.png\r\n");
            break;
        case Write::CarriedSettings:
            writeFileBytes(previousFolder + L"\\settings.ini", "[Corvandelle]\r\nInterval=15\r\n");
            break;
        case Write::Repair:
            writeFileBytes(settingsFile, "[Peltorine]\r\nInterval=15\r\n");
            break;
        }
    }

    // The write, through files; the settings are prepared first when the write is not the start.
    HRESULT act(Write write, Settings& settings)
    {
        switch (write) {
        case Write::Setting:
            return settings.setSlideshowInterval(30);
        case Write::DefaultPicture:
            return storeDefaultWallpaper(settings, imaging.Get(), picture).code;
        default:
            return settings.prepare(local.path());
        }
    }

    static bool isStart(Write write) { return write != Write::Setting && write != Write::DefaultPicture; }

    // The data folder's names the next whole start leaves; a carried-over picture is byte for byte.
    std::vector<std::wstring> namesAfterTheNextStart(Write write) const
    {
        if (write == Write::CarriedPicture)
            return {L"old.png", L"settings.ini"};
        return {L"settings.ini"};
    }

    TempFolder local;
    const std::wstring dataFolder = local / L"Peltorine";
    const std::wstring settingsFile = dataFolder + L"\\settings.ini";
    const std::wstring previousFolder = local / L"Corvandelle";
    const std::wstring picture = local / L"chosen.png";
    const HRESULT comResult = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    ComPtr<IWICImagingFactory> imaging;
};

TEST_F(AtomicWriteTest, ASetterWritesTheWholeFileUnderItsPartialNameThenRenamesIt)
{
    const std::wstring before =
        L"; kept by hand\r\n[Other]\r\nInterval=5\r\n[Peltorine]\r\nFit=2\r\n"
        L"Interval=15\r\n\r\n[Last]\r\nx=1\r\n";
    writeFileBytes(settingsFile, utf16File(before));
    StoppingFileSystem files;
    Settings settings(files);
    ASSERT_EQ(S_OK, settings.prepare(local.path()));
    files.calls.clear();

    ASSERT_EQ(S_OK, settings.setSlideshowInterval(30));
    ASSERT_EQ(S_OK, settings.setLanguage(kVietnamese));

    EXPECT_EQ((std::vector<std::wstring>{L"write settings.ini.partial", L"rename settings.ini.partial settings.ini",
                                         L"write settings.ini.partial", L"rename settings.ini.partial settings.ini"}),
              files.calls);
    EXPECT_EQ(utf16File(L"; kept by hand\r\n[Other]\r\nInterval=5\r\n[Peltorine]\r\nFit=2\r\nInterval=30\r\n"
                        L"Language=vi\r\n\r\n[Last]\r\nx=1\r\n"),
              readFileBytes(settingsFile));
    EXPECT_EQ(30, settings.slideshowInterval());
    EXPECT_EQ(std::vector<std::wstring>{L"settings.ini"}, folderEntries(dataFolder));
}

struct StopCase {
    const char* name;
    Write write;
    std::optional<std::size_t> stopAfterBytes; // nothing: the write finished and the rename is where it stops
};

void PrintTo(const StopCase& c, std::ostream* out)
{
    *out << c.name;
}

class StoppedWriteTest : public AtomicWriteTest, public ::testing::WithParamInterface<StopCase> {};

TEST_P(StoppedWriteTest, LeavesThePreviousFileAndTheNextStartNoPartialFile)
{
    const StopCase& c = GetParam();
    arrange(c.write);
    const std::string settingsBefore = readFileBytes(settingsFile);
    const bool hadSettings = fileExists(settingsFile);
    StoppingFileSystem files;
    {
        Settings settings(files);
        if (!isStart(c.write)) {
            ASSERT_EQ(S_OK, settings.prepare(local.path()));
            settings.read(FitFill);
        }
        files.stopAfterBytes = c.stopAfterBytes;
        files.stopAtRename = !c.stopAfterBytes;

        EXPECT_EQ(E_ABORT, act(c.write, settings));
        ASSERT_TRUE(files.stopped);
        if (!isStart(c.write)) {
            EXPECT_EQ(15, settings.slideshowInterval());
            EXPECT_EQ(L"", settings.defaultWallpaperPath());
        }
    }
    // What the stopped program left: the previous file as it was, and its partial file.
    EXPECT_EQ(hadSettings, fileExists(settingsFile));
    EXPECT_EQ(settingsBefore, readFileBytes(settingsFile));
    std::vector<std::wstring> left = folderEntries(dataFolder);
    ASSERT_FALSE(left.empty());
    EXPECT_TRUE(left.back().ends_with(L".partial") || left.front().ends_with(L".partial")) << utf8(left.front());

    Settings next;
    ASSERT_EQ(S_OK, next.prepare(local.path()));
    next.read(FitFill);

    EXPECT_EQ(15, next.slideshowInterval());
    EXPECT_EQ(namesAfterTheNextStart(c.write), folderEntries(dataFolder));
    if (c.write == Write::CarriedPicture) {
        EXPECT_EQ(readFileBytes(picture), readFileBytes(dataFolder + L"\\old.png"));
        EXPECT_EQ(dataFolder + L"\\old.png", next.defaultWallpaperPath());
    }
    EXPECT_EQ(kByteOrderMark, readFileBytes(settingsFile).substr(0, 2));
}

std::vector<StopCase> stopCases()
{
    const struct {
        const char* name;
        Write write;
    } writes[] = {
        {"Setting", Write::Setting},
        {"DefaultPicture", Write::DefaultPicture},
        {"CarriedPicture", Write::CarriedPicture},
        {"CarriedSettings", Write::CarriedSettings},
        {"Repair", Write::Repair},
    };
    const struct {
        const char* name;
        std::optional<std::size_t> bytes;
    } points[] = {{"NoByte", 0}, {"OneByte", 1}, {"SevenBytes", 7}, {"BeforeTheRename", std::nullopt}};
    static std::vector<std::string> names;
    std::vector<StopCase> cases;
    names.reserve(std::size(writes) * std::size(points));
    for (const auto& write : writes) {
        for (const auto& point : points) {
            names.push_back(std::string(write.name) + point.name);
            cases.push_back({names.back().c_str(), write.write, point.bytes});
        }
    }
    return cases;
}

INSTANTIATE_TEST_SUITE_P(Writes, StoppedWriteTest, ::testing::ValuesIn(stopCases()),
                         [](const ::testing::TestParamInfo<StopCase>& info) { return std::string(info.param.name); });

class FailedRenameTest : public AtomicWriteTest, public ::testing::WithParamInterface<Write> {};

// The file system's result is the one reported: its failures leave no last error behind to ask.
TEST_P(FailedRenameTest, IsReportedAndLeavesThePreviousFileAndNoPartialFile)
{
    const Write write = GetParam();
    const HRESULT kDenied = HRESULT_FROM_WIN32(ERROR_ACCESS_DENIED);
    arrange(write);
    const std::string settingsBefore = readFileBytes(settingsFile);
    const bool hadSettings = fileExists(settingsFile);
    StoppingFileSystem files;
    Settings settings(files);
    if (!isStart(write)) {
        ASSERT_EQ(S_OK, settings.prepare(local.path()));
        settings.read(FitFill);
    }
    files.renameFailure = kDenied;

    EXPECT_EQ(kDenied, act(write, settings));

    EXPECT_EQ(hadSettings, fileExists(settingsFile));
    EXPECT_EQ(settingsBefore, readFileBytes(settingsFile));
    EXPECT_EQ(hadSettings ? std::vector<std::wstring>{L"settings.ini"} : std::vector<std::wstring>{},
              folderEntries(dataFolder));
    if (!isStart(write)) {
        EXPECT_EQ(15, settings.slideshowInterval());
        EXPECT_EQ(L"", settings.defaultWallpaperPath());
    }
}

void PrintTo(Write write, std::ostream* out)
{
    *out << static_cast<int>(write);
}

std::string writeName(const ::testing::TestParamInfo<Write>& info)
{
    const char* const names[] = {"Setting", "DefaultPicture", "CarriedPicture", "CarriedSettings", "Repair"};
    return names[static_cast<int>(info.param)];
}

INSTANTIATE_TEST_SUITE_P(Writes, FailedRenameTest,
                         ::testing::Values(Write::Setting, Write::DefaultPicture, Write::CarriedPicture,
                                           Write::CarriedSettings, Write::Repair),
                         writeName);

TEST_F(AtomicWriteTest, TheStartDeletesOnlyOurPartialFilesInTheDataFolder)
{
    writeFileBytes(settingsFile, utf16File(L"[Peltorine]\r\nInterval=15\r\n"));
    for (const wchar_t* name : {L"settings.ini.partial", L"{0D5C0B4E-1111-4A5B-9C3D-2E1F0A9B8C7D}.png.partial",
                                L"frame.PARTIAL", L".partial", L"notes.partial.txt", L"partial"})
        writeFileBytes(dataFolder + L"\\" + name, "left over");
    CreateDirectoryW((dataFolder + L"\\folder.partial").c_str(), nullptr);
    writeFileBytes(local / L"elsewhere.partial", "not ours to judge");
    writeFileBytes(previousFolder + L"\\settings.ini.partial", "not ours to judge");

    Settings settings;
    ASSERT_EQ(S_OK, settings.prepare(local.path()));
    settings.read(FitFill);

    // ".partial" alone has no name before the suffix: it is no temporary file of ours.
    EXPECT_EQ(
        (std::vector<std::wstring>{L".partial", L"folder.partial", L"notes.partial.txt", L"partial", L"settings.ini"}),
        folderEntries(dataFolder));
    EXPECT_TRUE(fileExists(local / L"elsewhere.partial"));
    EXPECT_TRUE(fileExists(previousFolder + L"\\settings.ini.partial"));
    EXPECT_EQ(15, settings.slideshowInterval());
}

TEST_F(AtomicWriteTest, AStoredDefaultPictureIsAWholeCopyNamedInTheSettings)
{
    writeFileBytes(settingsFile, utf16File(L"[Peltorine]\r\nInterval=15\r\n"));
    StoppingFileSystem files;
    Settings settings(files);
    ASSERT_EQ(S_OK, settings.prepare(local.path()));
    files.calls.clear();

    const DefaultStoreResult stored = storeDefaultWallpaper(settings, imaging.Get(), picture);

    ASSERT_EQ(S_OK, stored.code);
    const std::wstring name = settings.defaultWallpaperPath().substr(dataFolder.size() + 1);
    EXPECT_EQ((std::vector<std::wstring>{L"write " + name + L".partial", L"rename " + name + L".partial " + name,
                                         L"write settings.ini.partial", L"rename settings.ini.partial settings.ini"}),
              files.calls);
    EXPECT_EQ(readFileBytes(picture), readFileBytes(settings.defaultWallpaperPath()));
    EXPECT_EQ((std::vector<std::wstring>{L"Interval=15", L"Default=" + name}),
              sectionLines(settingsFile, L"Peltorine"));
    EXPECT_EQ((std::vector<std::wstring>{L"settings.ini", name}), folderEntries(dataFolder));
}

} // namespace
