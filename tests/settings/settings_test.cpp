// Reading the settings file at start and writing one key at a time, against real files
// in a temporary local application-data folder.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <string_view>
#include <vector>

#include "app/application.h"
#include "tests/support/fake_desktop_wallpaper.h"
#include "tests/support/recording_system.h"
#include "tests/support/temp_folder.h"

namespace {

// The shell's wallpaper position in these tests; distinct from the built-in default Fill.
constexpr FitMode kShellFit = FitTile;

// UTF-16LE with the byte-order mark, as the settings file is kept.
std::string utf16File(std::wstring_view text)
{
    std::string bytes("\xFF\xFE", 2);
    for (const wchar_t c : text) {
        bytes.push_back(static_cast<char>(c & 0xFF));
        bytes.push_back(static_cast<char>((c >> 8) & 0xFF));
    }
    return bytes;
}

class SettingsTest : public ::testing::Test {
protected:
    SettingsTest()
    {
        desktop->addDisplay(L"\\\\?\\DISPLAY#A", {0, 0, 1920, 1080});
        desktop->setPosition(static_cast<DESKTOP_WALLPAPER_POSITION>(kShellFit));
        app.desktopWallpaper = desktop;
    }

    std::wstring dataFolder() const { return local / L"Peltorine"; }
    std::wstring settingsFile() const { return dataFolder() + L"\\settings.ini"; }

    // A settings file as a user or the previous version left it.
    void writeSettings(std::wstring_view lines) const
    {
        CreateDirectoryW(dataFolder().c_str(), nullptr);
        writeFileBytes(settingsFile(), utf16File(std::wstring(L"[Peltorine]\r\n") + std::wstring(lines)));
    }

    TempFolder local;
    Microsoft::WRL::ComPtr<FakeDesktopWallpaper> desktop = FakeDesktopWallpaper::create();
    RecordingSystem system;
    Application app{GetModuleHandleW(nullptr), system};
};

TEST_F(SettingsTest, FirstStartCreatesTheFolderAndAnEmptyUtf16FileAndReadsDefaults)
{
    const std::wstring localAppData = local / L"Users\\Ngọc\\AppData\\Local";

    ASSERT_EQ(S_OK, app.loadSettingsFrom(localAppData));

    EXPECT_EQ(localAppData + L"\\Peltorine", app.settings.dataFolder);
    EXPECT_EQ(localAppData + L"\\Peltorine\\settings.ini", app.settings.settingsPath);
    EXPECT_EQ(std::string("\xFF\xFE", 2), readFileBytes(app.settings.settingsPath));
    EXPECT_FALSE(fileExists(localAppData + L"\\Peltorine\\settings.migrating"));
    EXPECT_EQ(10, app.settings.slideshowInterval);
    EXPECT_EQ(kShellFit, app.settings.fitMode);
    EXPECT_EQ(kEnglish, app.settings.language);
    EXPECT_EQ(L"", app.settings.defaultWallpaperPath);
    EXPECT_EQ(L"", app.settings.targetMonitor);
    EXPECT_FALSE(app.settings.widgetPositionSet);
    EXPECT_EQ(64, app.settings.widgetSize);
    // The shell is asked, never told.
    ASSERT_EQ(1, desktop->totalCalls()) << desktop->callsText();
    EXPECT_EQ(1, desktop->callCount(L"GetPosition"));
    EXPECT_TRUE(system.debugLines.empty());
}

TEST_F(SettingsTest, DataFolderThatIsAFileFailsTheLoadBeforeAnyKeyIsRead)
{
    writeFileBytes(dataFolder(), "not a folder");

    EXPECT_EQ(HRESULT_FROM_WIN32(ERROR_ALREADY_EXISTS), app.loadSettingsFrom(local.path()));
    EXPECT_EQ(0, desktop->totalCalls());
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

    ASSERT_EQ(S_OK, app.loadSettingsFrom(local.path()));

    EXPECT_EQ(expected.interval, app.settings.slideshowInterval);
    EXPECT_EQ(expected.fit, app.settings.fitMode);
    EXPECT_EQ(expected.language, app.settings.language);
    EXPECT_EQ(expected.defaultName.empty() ? L"" : dataFolder() + L"\\" + expected.defaultName,
              app.settings.defaultWallpaperPath);
    EXPECT_EQ(expected.monitor, app.settings.targetMonitor);
    EXPECT_EQ(expected.positionSet, app.settings.widgetPositionSet);
    if (expected.positionSet) {
        MONITORINFO primary{};
        primary.cbSize = sizeof(primary);
        ASSERT_TRUE(GetMonitorInfoW(MonitorFromPoint({0, 0}, MONITOR_DEFAULTTOPRIMARY), &primary));
        const POINT origin = expected.fromWorkArea ? POINT{primary.rcWork.left, primary.rcWork.top} : POINT{0, 0};
        EXPECT_EQ(origin.x + expected.x, app.settings.widgetPosition.x);
        EXPECT_EQ(origin.y + expected.y, app.settings.widgetPosition.y);
    }
    EXPECT_EQ(expected.size, app.settings.widgetSize);
    // Loading never writes.
    EXPECT_EQ(before, readFileBytes(settingsFile()));
    EXPECT_FALSE(fileExists(dataFolder() + L"\\settings.migrating"));
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
        RecordingSystem system;
        Application app{GetModuleHandleW(nullptr), system};

        ASSERT_EQ(S_OK, app.loadSettingsFrom(local.path()));

        EXPECT_EQ(row.interval, app.settings.slideshowInterval);
        EXPECT_EQ(row.language, app.settings.language);
        std::wstring expected = L"[Peltorine]\r\n";
        for (const std::wstring& line : row.lines)
            expected += line + L"\r\n";
        EXPECT_EQ(row.lines.empty() ? std::string("\xFF\xFE", 2) : utf16File(expected), readFileBytes(settingsFile()));
        EXPECT_FALSE(fileExists(dataFolder() + L"\\settings.repairing"));

        // What is written from now on is UTF-16LE too.
        ASSERT_TRUE(app.writeSetting(L"Monitor", L"Màn hình"));
        EXPECT_NE(std::string::npos, readFileBytes(settingsFile()).find(std::string("M\0o\0n\0", 6)));
    }
}

TEST_F(SettingsTest, TextLongerThan511CharactersIsCut)
{
    const std::wstring longValue = std::wstring(300, L'ệ') + std::wstring(300, L'x');
    writeSettings(L"Monitor=" + longValue + L"\r\n");

    ASSERT_EQ(S_OK, app.loadSettingsFrom(local.path()));

    EXPECT_EQ(longValue.substr(0, 511), app.settings.targetMonitor);
}

TEST_F(SettingsTest, WrittenKeysAreReadBackByTheNextStartAndFieldsStayAsTheyWere)
{
    ASSERT_EQ(S_OK, app.loadSettingsFrom(local.path()));
    const std::wstring display = L"\\\\?\\DISPLAY#Màn_hình_phụ#{e6f07b5f-ee97-4a90-b076-33f57bf4eaa7}";

    EXPECT_TRUE(app.writeSetting(L"Interval", L"15"));
    EXPECT_TRUE(app.writeSetting(L"Interval", L"30"));
    EXPECT_TRUE(app.writeSetting(L"Monitor", display));
    EXPECT_TRUE(app.writeSetting(L"Default", L"Ảnh nền.png"));

    EXPECT_TRUE(system.debugLines.empty());
    EXPECT_EQ(10, app.settings.slideshowInterval);
    EXPECT_EQ(L"", app.settings.targetMonitor);
    EXPECT_EQ(L"", app.settings.defaultWallpaperPath);
    EXPECT_EQ(std::string("\xFF\xFE", 2), readFileBytes(settingsFile()).substr(0, 2));

    Application next(GetModuleHandleW(nullptr), system);
    next.desktopWallpaper = desktop;
    ASSERT_EQ(S_OK, next.loadSettingsFrom(local.path()));
    EXPECT_EQ(30, next.settings.slideshowInterval);
    EXPECT_EQ(display, next.settings.targetMonitor);
    EXPECT_EQ(dataFolder() + L"\\Ảnh nền.png", next.settings.defaultWallpaperPath);
}

struct FailedWriteCase {
    std::uint32_t language;
    const wchar_t* line;
};

TEST_F(SettingsTest, FailedWriteIsReportedInTheCurrentLanguageAndChangesNothing)
{
    // 0x80070020, the sharing violation, as an unsigned decimal number.
    const FailedWriteCase cases[] = {
        {kEnglish, L"Peltorine: Couldn't save the settings. [2147942432]\n"},
        {kVietnamese, L"Peltorine: Không lưu được cài đặt. [2147942432]\n"},
    };
    ASSERT_EQ(S_OK, app.loadSettingsFrom(local.path()));
    const std::string before = readFileBytes(settingsFile());
    for (const FailedWriteCase& test : cases) {
        system.debugLines.clear();
        app.settings.language = test.language;
        {
            const HeldOpen other(settingsFile());
            ASSERT_TRUE(other.held());

            EXPECT_FALSE(app.writeSetting(L"Interval", L"30"));
        }
        EXPECT_EQ(std::vector<std::wstring>{test.line}, system.debugLines);
        EXPECT_EQ(10, app.settings.slideshowInterval);
        EXPECT_EQ(before, readFileBytes(settingsFile()));
    }
}

} // namespace
