// Reading the settings file at start and writing one key at a time, against real files
// in a temporary local application-data folder.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <string_view>
#include <vector>

#include "settings/settings.h"
#include "tests/settings/settings_files.h"
#include "tests/support/temp_folder.h"

namespace {

// The shell's wallpaper position in these tests; distinct from the built-in default Fill.
constexpr FitMode kShellFit = FitTile;

class SettingsTest : public ::testing::Test {
protected:
    // What the program does at start: the file prepared, then read with the shell's fit.
    static HRESULT load(Settings& settings, const std::wstring& localAppData)
    {
        if (const HRESULT hr = settings.prepare(localAppData); FAILED(hr))
            return hr;
        settings.read(kShellFit);
        return S_OK;
    }
    HRESULT load() { return load(settings, local.path()); }

    std::wstring dataFolder() const { return local / L"Peltorine"; }
    std::wstring settingsFile() const { return dataFolder() + L"\\settings.ini"; }

    // A settings file as a user or the previous version left it.
    void writeSettings(std::wstring_view lines) const
    {
        CreateDirectoryW(dataFolder().c_str(), nullptr);
        writeFileBytes(settingsFile(), utf16File(std::wstring(L"[Peltorine]\r\n") + std::wstring(lines)));
    }

    TempFolder local;
    Settings settings;
};

TEST_F(SettingsTest, FirstStartCreatesTheFolderAndAnEmptyUtf16FileAndReadsDefaults)
{
    const std::wstring localAppData = local / L"Users\\Ngọc\\AppData\\Local";

    ASSERT_EQ(S_OK, load(settings, localAppData));

    EXPECT_EQ(localAppData + L"\\Peltorine", settings.dataFolder());
    EXPECT_EQ(localAppData + L"\\Peltorine\\settings.ini", settings.settingsPath());
    EXPECT_EQ(std::string("\xFF\xFE", 2), readFileBytes(settings.settingsPath()));
    EXPECT_EQ(std::vector<std::wstring>{L"settings.ini"}, folderEntries(localAppData + L"\\Peltorine"));
    EXPECT_EQ(10, settings.slideshowInterval());
    EXPECT_EQ(kShellFit, settings.fitMode());
    EXPECT_EQ(kEnglish, settings.language());
    EXPECT_EQ(L"", settings.defaultWallpaperPath());
    EXPECT_EQ(L"", settings.targetMonitor());
    EXPECT_FALSE(settings.widgetPosition().has_value());
    EXPECT_EQ(64, settings.widgetSize());
}

TEST_F(SettingsTest, DataFolderThatIsAFileFailsTheLoadBeforeAnyKeyIsRead)
{
    writeFileBytes(dataFolder(), "not a folder");

    EXPECT_EQ(HRESULT_FROM_WIN32(ERROR_ALREADY_EXISTS), settings.prepare(local.path()));
    EXPECT_EQ("not a folder", readFileBytes(dataFolder()));
}

// What the load turned the file into. Unnamed fields keep the values of a first start.
struct Loaded {
    std::int32_t interval = 10;
    FitMode fit = kShellFit;
    std::uint32_t language = kEnglish;
    std::wstring defaultName{}; // a name in the data folder; empty for no default wallpaper
    std::wstring monitor{};
    bool positionSet = false;
    LONG x = 0;
    LONG y = 0;
    bool fromWorkArea = false; // x and y are relative to the primary display's work area
    std::int32_t size = 64;
};

struct KeyCase {
    const char* name;
    const wchar_t* lines; // of the section [Peltorine]
    Loaded expected;
};

const KeyCase kKeyCases[] = {
    {"NoKeys", L"", {}},
    {"Interval15", L"Interval=15\r\n", {.interval = 15}},
    {"Interval5", L"Interval=5\r\n", {.interval = 5}},
    {"Interval30", L"Interval=30\r\n", {.interval = 30}},
    {"Interval60LeavesTen", L"Interval=60\r\n", {}},
    {"Interval0LeavesTen", L"Interval=0\r\n", {}},
    {"IntervalTextLeavesTen", L"Interval=often\r\n", {}},
    {"Fit0IsCenter", L"Fit=0\r\n", {.fit = FitCenter}},
    {"Fit5IsSpan", L"Fit=5\r\n", {.fit = FitSpan}},
    {"Fit7KeepsTheShellPosition", L"Fit=7\r\n", {}},
    {"FitMinus1KeepsTheShellPosition", L"Fit=-1\r\n", {}},
    {"FitTextKeepsTheShellPosition", L"Fit=wide\r\n", {}},
    {"IntervalMinus10LeavesTen", L"Interval=-10\r\n", {}},
    {"LanguageVi", L"Language=vi\r\n", {.language = kVietnamese}},
    {"LanguageCapitalVi", L"Language=VI\r\n", {}},
    {"LanguageVie", L"Language=vie\r\n", {}},
    {"LanguageEn", L"Language=en\r\n", {}},
    // Unquoted trailing blanks are trimmed by the reader; quotes keep them.
    {"LanguageViFollowedByASpace", L"Language=\"vi \"\r\n", {}},
    {"DefaultBareName", L"Default=a.png\r\n", {.defaultName = L"a.png"}},
    {"DefaultUpperCaseExtension", L"Default=a.PNG\r\n", {.defaultName = L"a.PNG"}},
    {"DefaultJpeg", L"Default=Ảnh nền.jpeg\r\n", {.defaultName = L"Ảnh nền.jpeg"}},
    {"DefaultAbsolutePath", L"Default=C:\\Pictures\\a.png\r\n", {}},
    {"DefaultDriveRelative", L"Default=D:a.png\r\n", {}},
    {"DefaultRooted", L"Default=\\a.png\r\n", {}},
    {"DefaultInSubfolder", L"Default=sub\\a.png\r\n", {}},
    {"DefaultInSubfolderWithSlash", L"Default=sub/a.png\r\n", {}},
    {"DefaultGif", L"Default=a.gif\r\n", {}},
    {"MonitorKeptVerbatim",
     L"Monitor=\\\\?\\DISPLAY#GONE#5&1a2b&0&UID4353#{e6f07b5f}\r\n",
     {.monitor = L"\\\\?\\DISPLAY#GONE#5&1a2b&0&UID4353#{e6f07b5f}"}},
    {"MonitorNonAscii", L"Monitor=Màn hình 2\r\n", {.monitor = L"Màn hình 2"}},
    {"WidgetPositionNegative", L"WidgetPosition=-1200,35\r\n", {.positionSet = true, .x = -1200, .y = 35}},
    {"WidgetPositionLeftOfAndAbove", L"WidgetPosition=-2500,-300\r\n", {.positionSet = true, .x = -2500, .y = -300}},
    {"LegacyWidgetXYNegative",
     L"WidgetX=-300\r\nWidgetY=-40\r\n",
     {.positionSet = true, .x = -300, .y = -40, .fromWorkArea = true}},
    {"WidgetPositionSpaceBeforeSecond", L"WidgetPosition=7, 8\r\n", {.positionSet = true, .x = 7, .y = 8}},
    {"WidgetPositionTrailingText", L"WidgetPosition=10,20px\r\n", {.positionSet = true, .x = 10, .y = 20}},
    {"WidgetPositionDefaultIgnoresLegacy", L"WidgetPosition=default\r\nWidgetX=10\r\nWidgetY=20\r\n", {}},
    {"WidgetPositionOneNumber", L"WidgetPosition=15\r\n", {}},
    {"LegacyWidgetXY", L"WidgetX=10\r\nWidgetY=20\r\n", {.positionSet = true, .x = 10, .y = 20, .fromWorkArea = true}},
    {"LegacyWidgetXYWithEmptyPosition",
     L"WidgetPosition=\r\nWidgetX=-5\r\nWidgetY=0\r\n",
     {.positionSet = true, .x = -5, .y = 0, .fromWorkArea = true}},
    {"LegacyWidgetXOnly", L"WidgetX=10\r\n", {}},
    {"LegacyWidgetYOnly", L"WidgetY=20\r\n", {}},
    {"WidgetSize100", L"WidgetSize=100\r\n", {.size = 100}},
    {"WidgetSize200IsCut", L"WidgetSize=200\r\n", {.size = 128}},
    {"WidgetSize10IsRaised", L"WidgetSize=10\r\n", {.size = 48}},
    {"WidgetSizeNegativeIsRaised", L"WidgetSize=-64\r\n", {.size = 48}},
    {"OtherSectionsAreNotRead", L"Language=en\r\n[Corvandelle]\r\nLanguage=vi\r\nInterval=15\r\n", {}},
    {"AllKeys",
     L"Interval=5\r\nFit=2\r\nLanguage=vi\r\nDefault=x.jpg\r\nMonitor=\\\\?\\DISPLAY#B\r\n"
     L"WidgetPosition=100,200\r\nWidgetSize=96\r\n",
     {.interval = 5,
      .fit = FitStretch,
      .language = kVietnamese,
      .defaultName = L"x.jpg",
      .monitor = L"\\\\?\\DISPLAY#B",
      .positionSet = true,
      .x = 100,
      .y = 200,
      .size = 96}},
};

class SettingsKeyTest : public SettingsTest, public ::testing::WithParamInterface<KeyCase> {};

TEST_P(SettingsKeyTest, LoadsTheStoredValueOrItsFallback)
{
    const Loaded& expected = GetParam().expected;
    writeSettings(GetParam().lines);
    const std::string before = readFileBytes(settingsFile());

    ASSERT_EQ(S_OK, load());

    EXPECT_EQ(expected.interval, settings.slideshowInterval());
    EXPECT_EQ(expected.fit, settings.fitMode());
    EXPECT_EQ(expected.language, settings.language());
    EXPECT_EQ(expected.defaultName.empty() ? L"" : dataFolder() + L"\\" + expected.defaultName,
              settings.defaultWallpaperPath());
    EXPECT_EQ(expected.monitor, settings.targetMonitor());
    ASSERT_EQ(expected.positionSet, settings.widgetPosition().has_value());
    if (expected.positionSet) {
        MONITORINFO primary{};
        primary.cbSize = sizeof(primary);
        ASSERT_TRUE(GetMonitorInfoW(MonitorFromPoint({0, 0}, MONITOR_DEFAULTTOPRIMARY), &primary));
        const POINT origin = expected.fromWorkArea ? POINT{primary.rcWork.left, primary.rcWork.top} : POINT{0, 0};
        EXPECT_EQ(origin.x + expected.x, settings.widgetPosition()->x);
        EXPECT_EQ(origin.y + expected.y, settings.widgetPosition()->y);
    }
    EXPECT_EQ(expected.size, settings.widgetSize());
    // Loading never writes.
    EXPECT_EQ(before, readFileBytes(settingsFile()));
    EXPECT_EQ(std::vector<std::wstring>{L"settings.ini"}, folderEntries(dataFolder()));
}

INSTANTIATE_TEST_SUITE_P(Keys, SettingsKeyTest, ::testing::ValuesIn(kKeyCases),
                         [](const ::testing::TestParamInfo<KeyCase>& info) { return std::string(info.param.name); });

// A crash while a value is written can leave the file empty; a file written by hand may be 8-bit
// text. Either is rewritten as UTF-16LE with its mark at start, with the values it still holds.
TEST_F(SettingsTest, FileCutShortOrWithoutItsMarkIsRewrittenAsUtf16KeepingItsValues)
{
    const struct {
        const char* what;
        std::string bytes;
        std::vector<std::wstring> lines; // of [Peltorine] afterwards
        std::int32_t interval;
        std::uint32_t language;
    } cases[] = {
        {"empty", "", {}, 10, kEnglish},
        {"8-bit text",
         "[Peltorine]\r\nInterval=15\r\nLanguage=vi\r\n",
         {L"Interval=15", L"Language=vi"},
         15,
         kVietnamese},
        {"UTF-8 with its mark", "\xEF\xBB\xBF[Peltorine]\r\nInterval=5\r\n", {L"Interval=5"}, 5, kEnglish},
    };
    for (const auto& row : cases) {
        SCOPED_TRACE(row.what);
        CreateDirectoryW(dataFolder().c_str(), nullptr);
        writeFileBytes(settingsFile(), row.bytes);
        Settings settings;

        ASSERT_EQ(S_OK, load(settings, local.path()));

        EXPECT_EQ(row.interval, settings.slideshowInterval());
        EXPECT_EQ(row.language, settings.language());
        std::wstring expected = L"[Peltorine]\r\n";
        for (const std::wstring& line : row.lines)
            expected += line + L"\r\n";
        EXPECT_EQ(row.lines.empty() ? std::string("\xFF\xFE", 2) : utf16File(expected), readFileBytes(settingsFile()));
        EXPECT_EQ(std::vector<std::wstring>{L"settings.ini"}, folderEntries(dataFolder()));

        // What is written from now on is UTF-16LE too.
        ASSERT_EQ(S_OK, settings.setTargetMonitor(L"Màn hình"));
        EXPECT_NE(std::string::npos, readFileBytes(settingsFile()).find(std::string("M\0o\0n\0", 6)));
    }
}

// One 40,000-character line, as a plain-text editor can leave it, is more than the profile functions
// hand back as one section. The start goes on with the keys we know, and the file it leaves is one
// they read whole.
TEST_F(SettingsTest, OversizedSectionStartsWithItsKnownKeysAndLeavesASoundFile)
{
    const std::string lines = "Notes=" + std::string(40000 - 6, 'x') + "\r\nInterval=15\r\nLanguage=vi\r\n";
    const std::wstring wideLines = L"Notes=" + std::wstring(40000 - 6, L'x') + L"\r\nInterval=15\r\nLanguage=vi\r\n";
    const struct {
        const char* what;
        const wchar_t* file; // under the local application-data folder
        std::string bytes;
    } cases[] = {
        {"UTF-16LE with its mark", L"Peltorine\\settings.ini", utf16File(L"[Peltorine]\r\n" + wideLines)},
        {"8-bit text", L"Peltorine\\settings.ini", "[Peltorine]\r\n" + lines},
        {"UTF-8 without its mark", L"Peltorine\\settings.ini",
         "[Peltorine]\r\nMonitor=M\xC3\xA0n\r\n" + lines + "[Other]\r\nInterval=5\r\n"},
        {"previous version, UTF-16LE", L"Corvandelle\\settings.ini", utf16File(L"[Corvandelle]\r\n" + wideLines)},
        {"previous version, 8-bit text", L"Corvandelle\\settings.ini", "[Corvandelle]\r\n" + lines},
    };
    for (const auto& row : cases) {
        SCOPED_TRACE(row.what);
        TempFolder local;
        CreateDirectoryW((local / L"Peltorine").c_str(), nullptr);
        CreateDirectoryW((local / L"Corvandelle").c_str(), nullptr);
        writeFileBytes(local / row.file, row.bytes);
        const std::wstring file = local / L"Peltorine\\settings.ini";
        Settings settings;

        ASSERT_EQ(S_OK, load(settings, local.path()));

        EXPECT_EQ(15, settings.slideshowInterval());
        EXPECT_EQ(kVietnamese, settings.language());
        EXPECT_EQ(kByteOrderMark, readFileBytes(file).substr(0, 2));
        std::vector<std::wstring> expected = {L"Interval=15", L"Language=vi"};
        if (std::string_view(row.what).starts_with("UTF-8")) {
            EXPECT_EQ(L"M\u00E0n", settings.targetMonitor());
            expected.insert(expected.begin(), L"Monitor=M\u00E0n");
        }
        EXPECT_EQ(expected, sectionLines(file, L"Peltorine", 32768));

        ASSERT_EQ(S_OK, settings.setFitMode(FitCenter));
        expected.push_back(L"Fit=0");
        EXPECT_EQ(expected, sectionLines(file, L"Peltorine", 32768));
        EXPECT_EQ(std::vector<std::wstring>{L"settings.ini"}, folderEntries(local / L"Peltorine"));
    }
}

TEST_F(SettingsTest, TextLongerThan511CharactersIsCut)
{
    const std::wstring longValue = std::wstring(300, L'ệ') + std::wstring(300, L'x');
    writeSettings(L"Monitor=" + longValue + L"\r\n");

    ASSERT_EQ(S_OK, load());

    EXPECT_EQ(longValue.substr(0, 511), settings.targetMonitor());
}

TEST_F(SettingsTest, EverySetterWritesItsKeyAndTheNextStartReadsItBack)
{
    ASSERT_EQ(S_OK, load());
    const std::wstring display = L"\\\\?\\DISPLAY#Màn_hình_phụ#{e6f07b5f-ee97-4a90-b076-33f57bf4eaa7}";

    ASSERT_EQ(S_OK, settings.setSlideshowInterval(15));
    ASSERT_EQ(S_OK, settings.setSlideshowInterval(30));
    ASSERT_EQ(S_OK, settings.setTargetMonitor(display));
    ASSERT_EQ(S_OK, settings.setDefaultWallpaper(dataFolder() + L"\\Ảnh nền.png"));
    ASSERT_EQ(S_OK, settings.setFitMode(FitCenter));
    ASSERT_EQ(S_OK, settings.setLanguage(kVietnamese));
    ASSERT_EQ(S_OK, settings.setWidgetSize(96));
    ASSERT_EQ(S_OK, settings.setWidgetPosition({-1200, 35}));

    EXPECT_EQ(30, settings.slideshowInterval());
    EXPECT_EQ(display, settings.targetMonitor());
    EXPECT_EQ(dataFolder() + L"\\Ảnh nền.png", settings.defaultWallpaperPath());
    EXPECT_EQ(std::string("\xFF\xFE", 2), readFileBytes(settingsFile()).substr(0, 2));

    Settings next;
    ASSERT_EQ(S_OK, load(next, local.path()));
    EXPECT_EQ(30, next.slideshowInterval());
    EXPECT_EQ(display, next.targetMonitor());
    EXPECT_EQ(dataFolder() + L"\\Ảnh nền.png", next.defaultWallpaperPath());
    EXPECT_EQ(FitCenter, next.fitMode());
    EXPECT_EQ(kVietnamese, next.language());
    EXPECT_EQ(96, next.widgetSize());
    ASSERT_TRUE(next.widgetPosition().has_value());
    EXPECT_EQ(-1200, next.widgetPosition()->x);
    EXPECT_EQ(35, next.widgetPosition()->y);

    // Back to the default corner, as the next start sees it.
    ASSERT_EQ(S_OK, settings.resetWidgetPosition());
    EXPECT_FALSE(settings.widgetPosition().has_value());
    Settings third;
    ASSERT_EQ(S_OK, load(third, local.path()));
    EXPECT_FALSE(third.widgetPosition().has_value());
}

TEST_F(SettingsTest, AFailedWriteIsReturnedAndChangesNeitherTheFileNorTheValue)
{
    ASSERT_EQ(S_OK, load());
    const std::string before = readFileBytes(settingsFile());
    {
        const HeldOpen other(settingsFile());
        ASSERT_TRUE(other.held());
        // 0x80070020, the sharing violation.
        const HRESULT kSharingViolation = HRESULT_FROM_WIN32(ERROR_SHARING_VIOLATION);

        EXPECT_EQ(kSharingViolation, settings.setSlideshowInterval(30));
        EXPECT_EQ(kSharingViolation, settings.setFitMode(FitCenter));
        EXPECT_EQ(kSharingViolation, settings.setLanguage(kVietnamese));
        EXPECT_EQ(kSharingViolation, settings.setTargetMonitor(L"\\\\?\\DISPLAY#B"));
        EXPECT_EQ(kSharingViolation, settings.setDefaultWallpaper(dataFolder() + L"\\a.png"));
        EXPECT_EQ(kSharingViolation, settings.setWidgetSize(128));
        EXPECT_EQ(kSharingViolation, settings.setWidgetPosition({5, 5}));
    }

    EXPECT_EQ(10, settings.slideshowInterval());
    EXPECT_EQ(kShellFit, settings.fitMode());
    EXPECT_EQ(kEnglish, settings.language());
    EXPECT_EQ(L"", settings.targetMonitor());
    EXPECT_EQ(L"", settings.defaultWallpaperPath());
    EXPECT_EQ(64, settings.widgetSize());
    EXPECT_FALSE(settings.widgetPosition().has_value());
    EXPECT_EQ(before, readFileBytes(settingsFile()));
}

TEST_F(SettingsTest, NewDataFilePathsAreFreshPngNamesInTheDataFolder)
{
    ASSERT_EQ(S_OK, load());

    const std::wstring first = settings.newDataFilePath();
    const std::wstring second = settings.newDataFilePath();

    EXPECT_NE(first, second);
    for (const std::wstring& path : {first, second}) {
        EXPECT_EQ(0u, path.find(dataFolder() + L"\\{")) << utf8(path);
        EXPECT_EQ(path.size() - 4, path.rfind(L".png")) << utf8(path);
    }
}

} // namespace
