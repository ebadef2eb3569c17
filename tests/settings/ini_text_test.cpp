// The settings file as text: what its bytes decode to, and what setting one key leaves of it.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

#include "settings/ini_text.h"
#include "tests/support/temp_folder.h"

namespace {

TEST(IniTextTest, BytesDecodeByTheirMarkOrTheirContent)
{
    const struct {
        const char* what;
        std::string bytes;
        std::wstring text;
    } cases[] = {
        {"empty", "", L""},
        {"UTF-16LE with its mark", std::string("\xFF\xFE[\0A\0]\0\r\0\n\0\xC7\x1E", 14), L"[A]\r\n\u1EC7"},
        {"UTF-16BE with its mark", std::string("\xFE\xFF\0x\x1E\xC7", 6), L"x\u1EC7"},
        {"UTF-8 with its mark", "\xEF\xBB\xBFMonitor=M\xC3\xA0n", L"Monitor=M\u00E0n"},
        {"UTF-8 without a mark", "Monitor=M\xC3\xA0n h\xC3\xACnh", L"Monitor=M\u00E0n h\u00ECnh"},
        {"plain ASCII", "[Peltorine]\r\nInterval=15\r\n", L"[Peltorine]\r\nInterval=15\r\n"},
    };
    for (const auto& row : cases) {
        SCOPED_TRACE(row.what);
        EXPECT_EQ(row.text, decodeIniBytes(row.bytes));
    }

    // Not UTF-8: the system's 8-bit code page, whatever it is here.
    const std::string ansi = "Monitor=\xE0\xE8";
    wchar_t expected[16] = {};
    ASSERT_GT(MultiByteToWideChar(CP_ACP, 0, ansi.data(), static_cast<int>(ansi.size()), expected, 16), 0);
    EXPECT_EQ(std::wstring(expected), decodeIniBytes(ansi));
}

TEST(IniTextTest, EncodingIsUtf16LeWithItsMarkAndDecodesBack)
{
    const std::wstring text = L"[Peltorine]\r\nMonitor=M\u00E0n h\u00ECnh \U0001F600\r\n";
    const std::string bytes = encodeIniText(text);

    EXPECT_EQ(std::string("\xFF\xFE[\0P\0", 6), bytes.substr(0, 6));
    EXPECT_EQ(2 + 2 * text.size(), bytes.size());
    EXPECT_TRUE(hasUtf16Mark(bytes));
    EXPECT_EQ(text, decodeIniBytes(bytes));
}

struct SetCase {
    const char* name;
    const wchar_t* before;
    const wchar_t* after; // with Interval set to 30 in [Peltorine]
};

const SetCase kSetCases[] = {
    {"EmptyTextGetsTheSection", L"", L"[Peltorine]\r\nInterval=30\r\n"},
    {"KeyIsReplacedInPlace", L"[Peltorine]\r\nFit=2\r\nInterval=15\r\nLanguage=vi\r\n",
     L"[Peltorine]\r\nFit=2\r\nInterval=30\r\nLanguage=vi\r\n"},
    {"NamesMatchWithoutCaseAndBlanks", L"[peltorine]\r\n  INTERVAL = 15  \r\n", L"[peltorine]\r\nInterval=30\r\n"},
    {"MissingKeyGoesAfterTheSectionsLastEntry", L"; ours\r\n[Peltorine]\r\nFit=2\r\n\r\n[Other]\r\nInterval=5\r\n",
     L"; ours\r\n[Peltorine]\r\nFit=2\r\nInterval=30\r\n\r\n[Other]\r\nInterval=5\r\n"},
    {"MissingSectionIsAppended", L"[Other]\r\nInterval=5", L"[Other]\r\nInterval=5\r\n[Peltorine]\r\nInterval=30\r\n"},
    {"CommentsAndOtherSectionsStay", L"[Other]\r\nInterval=5\r\n[Peltorine]\r\n;Interval=1\r\nInterval=15\r\n; end\r\n",
     L"[Other]\r\nInterval=5\r\n[Peltorine]\r\n;Interval=1\r\nInterval=30\r\n; end\r\n"},
    {"OnlyTheFirstSectionOfTheNameCounts", L"[Peltorine]\r\nFit=1\r\n[Peltorine]\r\nInterval=15\r\n",
     L"[Peltorine]\r\nFit=1\r\nInterval=30\r\n[Peltorine]\r\nInterval=15\r\n"},
    {"LastLineWithoutItsEnd", L"[Peltorine]\r\nFit=1", L"[Peltorine]\r\nFit=1\r\nInterval=30\r\n"},
    {"LineFeedsAloneStay", L"[Peltorine]\nInterval=15\nFit=1\n", L"[Peltorine]\nInterval=30\nFit=1\n"},
    {"KeyWithoutAValue", L"[Peltorine]\r\nInterval\r\n", L"[Peltorine]\r\nInterval=30\r\n"},
};

class IniSetTest : public ::testing::TestWithParam<SetCase> {};

TEST_P(IniSetTest, SetsOneKeyAndLeavesEveryOtherLine)
{
    EXPECT_EQ(GetParam().after, withIniValue(GetParam().before, L"Peltorine", L"Interval", L"30"));
}

INSTANTIATE_TEST_SUITE_P(Texts, IniSetTest, ::testing::ValuesIn(kSetCases),
                         [](const ::testing::TestParamInfo<SetCase>& info) { return std::string(info.param.name); });

// The profile functions are the reference: what they list and read of a text is what we list and read.
TEST(IniTextTest, SectionEntriesAndValuesReadAsTheProfileFunctionsReadThem)
{
    const std::wstring text =
        L"Stray=1\r\n[Other]\r\nInterval=5\r\n[ PELTORINE ]\r\n  Interval = 15 \r\n"
        L"; a comment\r\n\r\nLanguage=\"vi \"\r\nMonitor='M'\r\nBare\r\nDefault=\"a.png\r\n"
        L"[Next]\r\nFit=1\r\n[peltorine]\r\nFit=2\r\n";
    TempFolder folder;
    const std::wstring file = folder / L"reference.ini";
    writeFileBytes(file, encodeIniText(text));
    std::vector<wchar_t> buffer(4096);
    const DWORD length =
        GetPrivateProfileSectionW(L"Peltorine", buffer.data(), static_cast<DWORD>(buffer.size()), file.c_str());
    std::vector<std::wstring> reference;
    for (const wchar_t* line = buffer.data(); line < buffer.data() + length && *line; line += wcslen(line) + 1)
        reference.emplace_back(line);

    const std::vector<std::wstring> lines = iniSectionLines(text, L"Peltorine");

    EXPECT_EQ(
        (std::vector<std::wstring>{L"Interval=15", L"Language=\"vi \"", L"Monitor='M'", L"Bare", L"Default=\"a.png"}),
        lines);
    EXPECT_EQ(reference, lines);
    for (const wchar_t* key : {L"Interval", L"language", L"Monitor", L"Default", L"Fit"}) {
        SCOPED_TRACE(utf8(key));
        wchar_t value[64] = {};
        GetPrivateProfileStringW(L"Peltorine", key, L"<none>", value, 64, file.c_str());
        EXPECT_EQ(std::wstring(value), iniValue(lines, key).value_or(L"<none>"));
    }
}

TEST(IniTextTest, SectionTooLongForTheProfileFunctionsKeepsOnlyTheKnownKeys)
{
    const std::wstring_view known[] = {L"Interval", L"Monitor", L"Fit"};
    const std::vector<std::wstring> fitting = {L"Note=" + std::wstring(32000, L'n'), L"Interval=15"};
    EXPECT_TRUE(fitsProfileSection(fitting));
    EXPECT_EQ(fitting, soundSectionLines(fitting, known, 511));

    const std::vector<std::wstring> runaway = {
        L"Note=" + std::wstring(40000, L'n'),
        L"monitor=" + std::wstring(600, L'm'),
        L"Interval=15",
        L"Interval=5",
    };
    EXPECT_FALSE(fitsProfileSection(runaway));
    const std::vector<std::wstring> kept = soundSectionLines(runaway, known, 511);
    EXPECT_EQ((std::vector<std::wstring>{L"monitor=" + std::wstring(511, L'm'), L"Interval=15"}), kept);
    EXPECT_TRUE(fitsProfileSection(kept));
}

TEST(IniTextTest, SectionTextHasCrLfLinesAndNothingWithoutEntries)
{
    const std::vector<std::wstring> lines = {L"Interval=15", L"Fit=1"};
    EXPECT_EQ(L"[Peltorine]\r\nInterval=15\r\nFit=1\r\n", iniSectionText(L"Peltorine", lines));
    EXPECT_EQ(L"", iniSectionText(L"Peltorine", {}));
}

} // namespace
