// The first start's settings file: created empty, or carried over from the previous
// version's folder, and never half-made.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <string>
#include <string_view>
#include <vector>

#include "settings/settings.h"
#include "settings/migration.h"
#include "tests/settings/settings_files.h"
#include "tests/support/temp_folder.h"

namespace {

const std::string kPicture("\x89PNG\r\n\x1A\n previous default picture");

// A local application-data folder with our data folder and the previous version's folder.
class MigrationTest : public ::testing::Test {
protected:
    MigrationTest()
    {
        CreateDirectoryW(dataFolder.c_str(), nullptr);
        CreateDirectoryW(previousFolder.c_str(), nullptr);
    }

    // The previous version's settings file with these lines in its section [Corvandelle].
    void writePreviousSettings(std::wstring_view lines) const
    {
        writeFileBytes(previousSettings, utf16File(L"[Corvandelle]\r\n" + std::wstring(lines)));
    }

    // A section of more than 32767 characters.
    static std::wstring oversizedLines()
    {
        std::wstring lines = L"Default=old.png\r\n";
        for (int index = 0; index < 400; ++index)
            lines += L"Recent" + std::to_wstring(index) + L"=" + std::wstring(90, L'v') + L"\r\n";
        return lines;
    }

    HRESULT migrate() const { return migrateSettings(settingsPath, previousFolder); }

    TempFolder local;
    const std::wstring dataFolder = local / L"Peltorine";
    const std::wstring settingsPath = dataFolder + L"\\settings.ini";
    const std::wstring temporaryPath = dataFolder + L"\\settings.ini.partial";
    const std::wstring previousFolder = local / L"Corvandelle";
    const std::wstring previousSettings = previousFolder + L"\\settings.ini";
};

TEST_F(MigrationTest, WithoutAPreviousVersionTheFileHoldsOnlyTheByteOrderMark)
{
    RemoveDirectoryW(previousFolder.c_str());

    ASSERT_EQ(S_OK, migrate());

    EXPECT_EQ(kByteOrderMark, readFileBytes(settingsPath));
    EXPECT_EQ(std::vector<std::wstring>{L"settings.ini"}, folderEntries(dataFolder));
}

TEST_F(MigrationTest, PreviousSectionAndPictureAreCarriedOverAndReadAtStart)
{
    const std::vector<std::wstring> previousLines = {L"Interval=15", L"Fit=3",      L"Language=vi",
                                                     L"WidgetX=100", L"WidgetY=50", L"Default=Ảnh nền.png"};
    std::wstring text;
    for (const std::wstring& line : previousLines)
        text += line + L"\r\n";
    writePreviousSettings(text + L"[Other]\r\nInterval=5\r\n");
    writeFileBytes(previousFolder + L"\\Ảnh nền.png", kPicture);
    const std::string previousBytes = readFileBytes(previousSettings);

    Settings settings;
    ASSERT_EQ(S_OK, settings.prepare(local.path()));
    settings.read(FitCenter);

    EXPECT_EQ(kByteOrderMark, readFileBytes(settingsPath).substr(0, 2));
    EXPECT_EQ(previousLines, sectionLines(settingsPath, L"Peltorine"));
    EXPECT_TRUE(sectionLines(settingsPath, L"Corvandelle").empty());
    EXPECT_TRUE(sectionLines(settingsPath, L"Other").empty());
    EXPECT_EQ(kPicture, readFileBytes(dataFolder + L"\\Ảnh nền.png"));
    EXPECT_EQ((std::vector<std::wstring>{L"settings.ini", L"Ảnh nền.png"}), folderEntries(dataFolder));
    // The previous folder is only read.
    EXPECT_EQ(previousBytes, readFileBytes(previousSettings));
    EXPECT_EQ(kPicture, readFileBytes(previousFolder + L"\\Ảnh nền.png"));

    EXPECT_EQ(15, settings.slideshowInterval());
    EXPECT_EQ(FitFit, settings.fitMode());
    EXPECT_EQ(kVietnamese, settings.language());
    EXPECT_EQ(dataFolder + L"\\Ảnh nền.png", settings.defaultWallpaperPath());
    MONITORINFO primary{};
    primary.cbSize = sizeof(primary);
    ASSERT_TRUE(GetMonitorInfoW(MonitorFromPoint({0, 0}, MONITOR_DEFAULTTOPRIMARY), &primary));
    ASSERT_TRUE(settings.widgetPosition().has_value());
    EXPECT_EQ(primary.rcWork.left + 100, settings.widgetPosition()->x);
    EXPECT_EQ(primary.rcWork.top + 50, settings.widgetPosition()->y);
}

struct BadDefaultCase {
    const char* name;
    const wchar_t* value;
};

class MigrationBadDefaultTest : public MigrationTest, public ::testing::WithParamInterface<BadDefaultCase> {};

TEST_P(MigrationBadDefaultTest, LineIsCarriedButNoFileIsCopied)
{
    // Every candidate exists, so only the rule keeps it from being copied.
    CreateDirectoryW((previousFolder + L"\\sub").c_str(), nullptr);
    writeFileBytes(previousFolder + L"\\sub\\old.png", kPicture);
    writeFileBytes(previousFolder + L"\\old.gif", kPicture);
    writeFileBytes(previousFolder + L"\\old.png", kPicture);
    const std::wstring value =
        std::wstring(GetParam().value) == L"<absolute>" ? previousFolder + L"\\old.png" : GetParam().value;
    writePreviousSettings(L"Interval=5\r\nDefault=" + value + L"\r\n");

    ASSERT_EQ(S_OK, migrate());

    EXPECT_EQ((std::vector<std::wstring>{L"Interval=5", L"Default=" + value}),
              sectionLines(settingsPath, L"Peltorine"));
    EXPECT_EQ(std::vector<std::wstring>{L"settings.ini"}, folderEntries(dataFolder));
}

const BadDefaultCase kBadDefaults[] = {
    {"InSubfolder", L"sub\\old.png"},
    {"InSubfolderWithSlash", L"sub/old.png"},
    {"AbsolutePath", L"<absolute>"},
    {"NotAPicture", L"old.gif"},
};

INSTANTIATE_TEST_SUITE_P(Defaults, MigrationBadDefaultTest, ::testing::ValuesIn(kBadDefaults),
                         [](const ::testing::TestParamInfo<BadDefaultCase>& info) {
                             return std::string(info.param.name);
                         });

TEST_F(MigrationTest, MissingPreviousPictureIsNoFailure)
{
    writePreviousSettings(L"Default=gone.png\r\n");

    ASSERT_EQ(S_OK, migrate());

    EXPECT_EQ(std::vector<std::wstring>{L"Default=gone.png"}, sectionLines(settingsPath, L"Peltorine"));
    EXPECT_EQ(std::vector<std::wstring>{L"settings.ini"}, folderEntries(dataFolder));
}

TEST_F(MigrationTest, InterruptedRunIsRedoneWithoutCopyingThePictureAgain)
{
    writePreviousSettings(L"Interval=15\r\nDefault=old.png\r\n");
    writeFileBytes(previousFolder + L"\\old.png", kPicture);
    // Left by a run that stopped after the copy: a stale temporary file and the picture,
    // marked so that a second copy would show (same size, other bytes).
    writeFileBytes(temporaryPath, "[Peltorine]\r\nInterval=5\r\nhalf a li");
    const std::string copied(kPicture.size(), 'c');
    writeFileBytes(dataFolder + L"\\old.png", copied);

    ASSERT_EQ(S_OK, migrate());

    EXPECT_EQ(kByteOrderMark, readFileBytes(settingsPath).substr(0, 2));
    EXPECT_EQ((std::vector<std::wstring>{L"Interval=15", L"Default=old.png"}),
              sectionLines(settingsPath, L"Peltorine"));
    EXPECT_EQ(copied, readFileBytes(dataFolder + L"\\old.png"));
    EXPECT_EQ((std::vector<std::wstring>{L"old.png", L"settings.ini"}), folderEntries(dataFolder));
}

TEST_F(MigrationTest, PictureCutOffByAnInterruptedCopyNeverPassesForAWholeOne)
{
    writePreviousSettings(L"Default=old.png\r\n");
    writeFileBytes(previousFolder + L"\\old.png", kPicture);
    // An interrupted copy leaves only its temporary file, here already at full size (the copy
    // may size its target first) but with other bytes.
    writeFileBytes(dataFolder + L"\\old.png.partial", std::string(kPicture.size(), '\0'));

    ASSERT_EQ(S_OK, migrate());

    EXPECT_EQ(kPicture, readFileBytes(dataFolder + L"\\old.png"));
    EXPECT_EQ((std::vector<std::wstring>{L"old.png", L"settings.ini"}), folderEntries(dataFolder));
}

// A previous settings file that holds nothing to carry over is no reason to fail the start.
TEST_F(MigrationTest, PreviousFileWithoutItsSectionStartsEmpty)
{
    const struct {
        const char* what;
        std::string bytes;
    } cases[] = {
        {"empty file", ""},
        {"empty section", utf16File(L"[Corvandelle]\r\n")},
        {"other section only", utf16File(L"[Other]\r\nInterval=15\r\n")},
        {"8-bit text, other section", "[Other]\r\nLanguage=vi\r\n"},
    };
    for (const auto& row : cases) {
        SCOPED_TRACE(row.what);
        DeleteFileW(settingsPath.c_str());
        writeFileBytes(previousFolder + L"\\settings.ini", row.bytes);

        ASSERT_EQ(S_OK, migrate());

        EXPECT_EQ(kByteOrderMark, readFileBytes(settingsPath).substr(0, 2));
        EXPECT_TRUE(sectionLines(settingsPath, L"Peltorine").empty());
    }
}

// The profile functions cannot hand back such a section whole; what matters of it is our keys.
TEST_F(MigrationTest, OversizedPreviousSectionBringsItsKnownKeysAndPicture)
{
    writePreviousSettings(oversizedLines());
    writeFileBytes(previousFolder + L"\\old.png", kPicture);

    ASSERT_EQ(S_OK, migrate());

    EXPECT_EQ(kByteOrderMark, readFileBytes(settingsPath).substr(0, 2));
    EXPECT_EQ(std::vector<std::wstring>{L"Default=old.png"}, sectionLines(settingsPath, L"Peltorine", 32768));
    EXPECT_EQ(kPicture, readFileBytes(dataFolder + L"\\old.png"));
    EXPECT_EQ((std::vector<std::wstring>{L"old.png", L"settings.ini"}), folderEntries(dataFolder));
}

TEST_F(MigrationTest, ExistingSettingsFileEvenEmptyIsKeptAndThePreviousFolderIgnored)
{
    writeFileBytes(settingsPath, "");
    // Its picture would be copied if the previous file were read at all.
    writePreviousSettings(oversizedLines());
    writeFileBytes(previousFolder + L"\\old.png", kPicture);

    ASSERT_EQ(S_OK, migrate());

    EXPECT_EQ("", readFileBytes(settingsPath));
    EXPECT_EQ(std::vector<std::wstring>{L"settings.ini"}, folderEntries(dataFolder));
}

TEST_F(MigrationTest, UnreadablePreviousSettingsFailTheStartUntilTheyCanBeRead)
{
    writePreviousSettings(L"Interval=15\r\n");
    {
        const HeldOpen other(previousSettings);
        ASSERT_TRUE(other.held());

        EXPECT_EQ(HRESULT_FROM_WIN32(ERROR_SHARING_VIOLATION), migrate());
        EXPECT_TRUE(folderEntries(dataFolder).empty());
    }

    ASSERT_EQ(S_OK, migrate());
    EXPECT_EQ(std::vector<std::wstring>{L"Interval=15"}, sectionLines(settingsPath, L"Peltorine"));
}

TEST_F(MigrationTest, FailedPictureCopyDeletesTheTemporaryFile)
{
    writePreviousSettings(L"Default=old.png\r\n");
    writeFileBytes(previousFolder + L"\\old.png", kPicture);
    const HeldOpen other(previousFolder + L"\\old.png");
    ASSERT_TRUE(other.held());

    EXPECT_EQ(HRESULT_FROM_WIN32(ERROR_SHARING_VIOLATION), migrate());

    EXPECT_TRUE(folderEntries(dataFolder).empty());
}

TEST_F(MigrationTest, MissingDataFolderFailsWithTheSystemError)
{
    RemoveDirectoryW(dataFolder.c_str());

    EXPECT_EQ(HRESULT_FROM_WIN32(ERROR_PATH_NOT_FOUND), migrate());
    EXPECT_FALSE(fileExists(dataFolder));
}

} // namespace
