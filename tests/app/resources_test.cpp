// The resources that peltorine.exe carries: what the shell, the tray and the menu will find in the module.
#include <gtest/gtest.h>

#include <windows.h>
#include <objbase.h>
#include <wincodec.h>
#include <wrl/client.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <set>
#include <span>
#include <string>
#include <string_view>

#include "resources/resource_ids.h"

using Microsoft::WRL::ComPtr;

namespace {

#pragma pack(push, 2)
struct GroupIconHeader {
    WORD reserved;
    WORD type;
    WORD count;
};
struct GroupIconEntry {
    BYTE width; // 0 means 256
    BYTE height;
    BYTE colorCount;
    BYTE reserved;
    WORD planes;
    WORD bitCount;
    DWORD bytesInResource;
    WORD id;
};
#pragma pack(pop)

std::wstring exePath()
{
    std::wstring path = L"" PELTORINE_EXE_PATH;
    std::replace(path.begin(), path.end(), L'/', L'\\');
    return path;
}

// The value of one String entry of a VS_VERSIONINFO block. Every node is: length, value length, type,
// key (NUL-terminated UTF-16), padding to 4 bytes, value, padding, children.
std::wstring versionString(const BYTE* node, const BYTE* end, std::wstring_view key)
{
    const auto align = [&](const BYTE* p) { return node + ((p - node + 3) & ~3); };
    WORD length = 0, valueLength = 0, type = 0;
    std::memcpy(&length, node, 2);
    std::memcpy(&valueLength, node + 2, 2);
    std::memcpy(&type, node + 4, 2);
    const BYTE* const nodeEnd = std::min(end, node + length);
    const auto* nodeKey = reinterpret_cast<const wchar_t*>(node + 6);
    const std::wstring_view name(nodeKey, wcsnlen(nodeKey, (nodeEnd - node - 6) / 2));
    const BYTE* value = align(node + 6 + (name.size() + 1) * 2);
    if (type == 1 && name == key && valueLength > 0) {
        return std::wstring(reinterpret_cast<const wchar_t*>(value), valueLength - 1);
    }
    for (const BYTE* child = align(value + (type == 1 ? valueLength * 2 : valueLength)); child + 6 < nodeEnd;) {
        WORD childLength = 0;
        std::memcpy(&childLength, child, 2);
        if (childLength == 0) {
            break;
        }
        if (std::wstring found = versionString(child, nodeEnd, key); !found.empty()) {
            return found;
        }
        child = align(child + childLength);
    }
    return {};
}

class ModuleResources : public testing::Test {
protected:
    static void SetUpTestSuite()
    {
        module = LoadLibraryExW(exePath().c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
    }

    static void TearDownTestSuite()
    {
        if (module != nullptr) {
            FreeLibrary(module);
            module = nullptr;
        }
    }

    void SetUp() override { ASSERT_NE(module, nullptr) << "LoadLibraryExW failed for " << PELTORINE_EXE_PATH; }

    static std::span<const BYTE> resource(const wchar_t* type, int id)
    {
        HRSRC found = FindResourceW(module, MAKEINTRESOURCEW(id), type);
        if (found == nullptr) {
            return {};
        }
        HGLOBAL loaded = LoadResource(module, found);
        const auto* data = static_cast<const BYTE*>(LockResource(loaded));
        return data == nullptr ? std::span<const BYTE>{} : std::span<const BYTE>(data, SizeofResource(module, found));
    }

    static inline HMODULE module = nullptr;
};

TEST_F(ModuleResources, IconGroupHasEverySizeAt32BitsAndEachImageLoads)
{
    const std::span<const BYTE> group = resource(RT_GROUP_ICON, kIconResourceId);
    ASSERT_GE(group.size(), sizeof(GroupIconHeader));
    GroupIconHeader header{};
    std::memcpy(&header, group.data(), sizeof header);
    EXPECT_EQ(header.type, 1);
    ASSERT_EQ(group.size(), sizeof header + header.count * sizeof(GroupIconEntry));

    std::set<int> sizes;
    for (WORD i = 0; i < header.count; ++i) {
        GroupIconEntry entry{};
        std::memcpy(&entry, group.data() + sizeof header + i * sizeof entry, sizeof entry);
        const int edge = entry.width == 0 ? 256 : entry.width;
        SCOPED_TRACE(edge);
        EXPECT_EQ(entry.width, entry.height);
        EXPECT_EQ(entry.bitCount, 32);
        sizes.insert(edge);

        // Each image must be one that the system can turn into an icon of its own size.
        const std::span<const BYTE> image = resource(RT_ICON, entry.id);
        ASSERT_EQ(image.size(), entry.bytesInResource);
        HICON icon = CreateIconFromResourceEx(const_cast<BYTE*>(image.data()), static_cast<DWORD>(image.size()), TRUE,
                                              0x00030000, edge, edge, LR_DEFAULTCOLOR);
        ASSERT_NE(icon, nullptr);
        ICONINFO info{};
        ASSERT_TRUE(GetIconInfo(icon, &info));
        BITMAP color{};
        EXPECT_NE(GetObjectW(info.hbmColor, sizeof color, &color), 0);
        EXPECT_EQ(color.bmWidth, edge);
        EXPECT_EQ(color.bmHeight, edge);
        DeleteObject(info.hbmColor);
        DeleteObject(info.hbmMask);
        DestroyIcon(icon);
    }
    EXPECT_EQ(sizes, (std::set<int>{16, 20, 24, 32, 40, 48, 64, 96, 128, 256}));
}

TEST_F(ModuleResources, IconLoadsAtTraySizeAndAtFullSize)
{
    for (const int edge : {16, 256}) {
        SCOPED_TRACE(edge);
        auto* icon = static_cast<HICON>(
            LoadImageW(module, MAKEINTRESOURCEW(kIconResourceId), IMAGE_ICON, edge, edge, LR_DEFAULTCOLOR));
        ASSERT_NE(icon, nullptr);
        ICONINFO info{};
        ASSERT_TRUE(GetIconInfo(icon, &info));
        BITMAP color{};
        EXPECT_NE(GetObjectW(info.hbmColor, sizeof color, &color), 0);
        EXPECT_EQ(color.bmWidth, edge);
        DeleteObject(info.hbmColor);
        DeleteObject(info.hbmMask);
        DestroyIcon(icon);
    }
}

TEST_F(ModuleResources, BannerIsATransparentRgbaPng)
{
    const std::span<const BYTE> banner = resource(RT_RCDATA, kBannerResourceId);
    ASSERT_FALSE(banner.empty());

    const HRESULT init = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    ASSERT_TRUE(SUCCEEDED(init));
    {
        ComPtr<IWICImagingFactory> factory;
        ASSERT_EQ(CoCreateInstance(CLSID_WICImagingFactory2, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&factory)),
                  S_OK);
        ComPtr<IWICStream> stream;
        ASSERT_EQ(factory->CreateStream(&stream), S_OK);
        ASSERT_EQ(stream->InitializeFromMemory(const_cast<BYTE*>(banner.data()), static_cast<DWORD>(banner.size())),
                  S_OK);
        ComPtr<IWICBitmapDecoder> decoder;
        ASSERT_EQ(factory->CreateDecoderFromStream(stream.Get(), nullptr, WICDecodeMetadataCacheOnDemand, &decoder),
                  S_OK);
        GUID container{};
        ASSERT_EQ(decoder->GetContainerFormat(&container), S_OK);
        EXPECT_EQ(container, GUID_ContainerFormatPng);

        ComPtr<IWICBitmapFrameDecode> frame;
        ASSERT_EQ(decoder->GetFrame(0, &frame), S_OK);
        UINT width = 0, height = 0;
        ASSERT_EQ(frame->GetSize(&width, &height), S_OK);
        EXPECT_EQ(width, 1122u);
        EXPECT_EQ(height, 312u);
        WICPixelFormatGUID format{};
        ASSERT_EQ(frame->GetPixelFormat(&format), S_OK);
        ASSERT_TRUE(format == GUID_WICPixelFormat32bppRGBA || format == GUID_WICPixelFormat32bppBGRA);

        // The menu draws the banner over its own colour, so nothing may be painted in the corners.
        for (const auto& [x, y] : {std::pair{0, 0}, {1121, 0}, {0, 311}, {1121, 311}}) {
            const WICRect pixel{x, y, 1, 1};
            BYTE sample[4]{};
            ASSERT_EQ(frame->CopyPixels(&pixel, sizeof sample, sizeof sample, sample), S_OK);
            EXPECT_EQ(sample[3], 0) << "corner " << x << "," << y;
        }
    }
    CoUninitialize();
}

TEST_F(ModuleResources, ManifestAsksForWhatTheProgramReliesOn)
{
    const std::span<const BYTE> manifest = resource(RT_MANIFEST, 1);
    ASSERT_FALSE(manifest.empty());
    const std::string_view text(reinterpret_cast<const char*>(manifest.data()), manifest.size());
    for (const std::string_view required : {
             R"(name="Microsoft.Windows.Common-Controls" version="6.0.0.0")",
             R"(publicKeyToken="6595b64144ccf1df")",
             R"(level="asInvoker" uiAccess="false")",
             R"(>PerMonitorV2</dpiAwareness>)",
             R"(>true</longPathAware>)",
             R"(<supportedOS Id="{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}"/>)",
         }) {
        EXPECT_NE(text.find(required), std::string_view::npos) << required;
    }
}

TEST_F(ModuleResources, VersionBlockNamesTheProduct)
{
    const std::span<const BYTE> version = resource(RT_VERSION, 1);
    ASSERT_GT(version.size(), 6u);
    EXPECT_EQ(versionString(version.data(), version.data() + version.size(), L"ProductName"), L"Peltorine");
    EXPECT_EQ(versionString(version.data(), version.data() + version.size(), L"OriginalFilename"), L"peltorine.exe");
}

// The shell shows these numbers in the file's properties and the installer carries the same version.
TEST_F(ModuleResources, VersionBlockCarriesTheProjectVersion)
{
    const std::span<const BYTE> version = resource(RT_VERSION, 1);
    ASSERT_GT(version.size(), 6u);
    const std::string projectVersion = PELTORINE_VERSION;
    const std::wstring expected = std::wstring(projectVersion.begin(), projectVersion.end()) + L".0";
    EXPECT_EQ(versionString(version.data(), version.data() + version.size(), L"FileVersion"), expected);
    EXPECT_EQ(versionString(version.data(), version.data() + version.size(), L"ProductVersion"), expected);

    unsigned major = 0, minor = 0, patch = 0;
    ASSERT_EQ(std::sscanf(PELTORINE_VERSION, "%u.%u.%u", &major, &minor, &patch), 3);
    const DWORD signature = VS_FFI_SIGNATURE;
    const auto found = std::search(version.begin(), version.end(), reinterpret_cast<const BYTE*>(&signature),
                                   reinterpret_cast<const BYTE*>(&signature) + sizeof signature);
    ASSERT_LE(found + sizeof(VS_FIXEDFILEINFO), version.end());
    VS_FIXEDFILEINFO fixed{};
    std::memcpy(&fixed, &*found, sizeof fixed);
    EXPECT_EQ(fixed.dwFileVersionMS, MAKELONG(minor, major));
    EXPECT_EQ(fixed.dwFileVersionLS, MAKELONG(0, patch));
    EXPECT_EQ(fixed.dwProductVersionMS, MAKELONG(minor, major));
    EXPECT_EQ(fixed.dwProductVersionLS, MAKELONG(0, patch));
}

} // namespace
