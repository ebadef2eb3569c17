#include <gtest/gtest.h>

#include <string>

#include "platform/paths.h"

namespace {

struct JoinCase {
    const wchar_t* base;
    const wchar_t* part;
    const wchar_t* joined;
};

TEST(PathsTest, JoinPath)
{
    const JoinCase cases[] = {
        {L"C:\\Users\\a\\AppData\\Local", L"Peltorine", L"C:\\Users\\a\\AppData\\Local\\Peltorine"},
        {L"C:\\data\\", L"settings.ini", L"C:\\data\\settings.ini"},
        {L"C:\\data/", L"settings.ini", L"C:\\data/settings.ini"},
        {L"C:\\", L"x", L"C:\\x"},
        {L"\\\\server\\share", L"a.png", L"\\\\server\\share\\a.png"},
        {L"C:\\data", L"sub\\a.png", L"C:\\data\\sub\\a.png"},
        {L"C:\\data", L"Ảnh nền.png", L"C:\\data\\Ảnh nền.png"},
        // A part that is rooted already replaces the base.
        {L"C:\\data", L"D:\\x\\a.png", L"D:\\x\\a.png"},
        {L"C:\\data", L"D:a.png", L"D:a.png"},
        {L"C:\\data", L"\\x\\a.png", L"\\x\\a.png"},
        {L"C:\\data", L"/x/a.png", L"/x/a.png"},
        {L"C:\\data", L"\\\\server\\share\\a.png", L"\\\\server\\share\\a.png"},
        {L"C:\\data", L"\\\\?\\C:\\a.png", L"\\\\?\\C:\\a.png"},
        {L"", L"a.png", L"a.png"},
        {L"C:\\data", L"", L"C:\\data"},
    };
    for (const JoinCase& test : cases)
        EXPECT_EQ(joinPath(test.base, test.part), test.joined)
            << testing::PrintToString(std::wstring(test.base)) << " + "
            << testing::PrintToString(std::wstring(test.part));
}

struct NameCase {
    const wchar_t* value;
    const wchar_t* lastComponent;
    bool bare;
};

TEST(PathsTest, LastComponentAndBareName)
{
    const NameCase cases[] = {
        {L"a.png", L"a.png", true},
        {L"Ảnh nền.jpeg", L"Ảnh nền.jpeg", true},
        {L"{0F1E2D3C-0000-4000-8000-000000000000}.png", L"{0F1E2D3C-0000-4000-8000-000000000000}.png", true},
        {L"sub\\a.png", L"a.png", false},
        {L"sub/a.png", L"a.png", false},
        {L"C:\\Pictures\\a.png", L"a.png", false},
        {L"C:a.png", L"a.png", false},
        {L"\\a.png", L"a.png", false},
        {L"/a.png", L"a.png", false},
        {L"\\\\server\\share\\a.png", L"a.png", false},
        {L"\\\\server", L"", false},
        {L"sub\\", L"", false},
        {L"C:", L"", false},
        {L"", L"", false},
    };
    for (const NameCase& test : cases) {
        const std::wstring value(test.value);
        EXPECT_EQ(fileNameOf(value), test.lastComponent) << testing::PrintToString(value);
        EXPECT_EQ(isBareFileName(value), test.bare) << testing::PrintToString(value);
    }
}

struct ParentCase {
    const wchar_t* path;
    const wchar_t* parent;
};

TEST(PathsTest, ParentFolderOf)
{
    const ParentCase cases[] = {
        {L"C:\\Users\\a\\Peltorine\\settings.ini", L"C:\\Users\\a\\Peltorine"},
        {L"C:\\data\\\\settings.ini", L"C:\\data"},
        {L"C:/data/settings.ini", L"C:/data"},
        {L"C:\\settings.ini", L"C:\\"},
        {L"C:\\", L"C:\\"},
        {L"C:a.ini", L"C:"},
        {L"\\\\server\\share\\settings.ini", L"\\\\server\\share"},
        {L"\\settings.ini", L"\\"},
        {L"settings.ini", L""},
    };
    for (const ParentCase& test : cases)
        EXPECT_EQ(parentFolderOf(test.path), test.parent) << testing::PrintToString(std::wstring(test.path));
}

} // namespace
