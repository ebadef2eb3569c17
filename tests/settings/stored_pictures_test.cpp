// The pictures Peltorine stores in its data folder, and the sweep that deletes those let go of.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <string>
#include <vector>

#include "settings/stored_pictures.h"
#include "tests/support/temp_folder.h"

namespace {

constexpr const wchar_t* kGuid = L"{0F1E2D3C-4B5A-6978-8796-A5B4C3D2E1F0}";

TEST(StoredPictures, OnlyGuidNamedPicturesAreOurs)
{
    const struct {
        std::wstring name;
        bool ours;
    } cases[] = {
        {std::wstring(kGuid) + L".png", true},
        {std::wstring(kGuid) + L".JPEG", true},
        {L"{0f1e2d3c-4b5a-6978-8796-a5b4c3d2e1f0}.jpg", true},
        {std::wstring(kGuid) + L".gif", false},
        {std::wstring(kGuid), false},
        {L"settings.ini", false},
        {L"holiday.png", false},
        {L"{0F1E2D3C-4B5A-6978-8796-A5B4C3D2E1F}.png", false},
        {L"0F1E2D3C-4B5A-6978-8796-A5B4C3D2E1F0.png", false},
        {L"{0F1E2D3C-4B5A-6978-8796-A5B4C3D2E1FG}.png", false},
        {std::wstring(kGuid) + L".png.partial", false},
    };
    for (const auto& test : cases)
        EXPECT_EQ(test.ours, isStoredPictureName(test.name)) << utf8(test.name);
}

TEST(StoredPictures, TheSweepDeletesOnlyOurPicturesThatNothingNames)
{
    TempFolder folder;
    const std::wstring kept = folder / L"{11111111-1111-1111-1111-111111111111}.png";
    const std::wstring keptOtherCase = folder / L"{22222222-2222-2222-2222-22222222AAAA}.jpg";
    const std::wstring unused = folder / L"{33333333-3333-3333-3333-333333333333}.png";
    const std::wstring readOnlyUnused = folder / L"{44444444-4444-4444-4444-444444444444}.jpeg";
    for (const std::wstring& path : {kept, keptOtherCase, unused, readOnlyUnused})
        writeFileBytes(path, "picture");
    ASSERT_TRUE(SetFileAttributesW(readOnlyUnused.c_str(), FILE_ATTRIBUTE_READONLY));
    writeFileBytes(folder / L"settings.ini", "\xFF\xFE");
    writeFileBytes(folder / L"my photo.png", "the user's own");
    CreateDirectoryW((folder / L"{55555555-5555-5555-5555-555555555555}.png").c_str(), nullptr);

    removeStoredPicturesExcept(folder.path(),
                               {kept, folder / L"{22222222-2222-2222-2222-22222222aaaa}.JPG", L"C:\\elsewhere.png"});

    EXPECT_EQ((std::vector<std::wstring>{L"my photo.png", L"settings.ini", L"{11111111-1111-1111-1111-111111111111}.png",
                                         L"{22222222-2222-2222-2222-22222222AAAA}.jpg"}),
              filesIn(folder.path()));
    EXPECT_TRUE(fileExists(folder / L"{55555555-5555-5555-5555-555555555555}.png"));
}

} // namespace
