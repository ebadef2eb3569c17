// peltorine.exe may be started from a Downloads folder that holds other files. Every DLL it imports
// statically must therefore be one that Windows takes from its own folder whatever lies beside the
// program: a known DLL, a DLL the loader maps itself, or common controls through the manifest.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <cstring>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

namespace {

// The known DLLs that Windows 10 and Windows 11 both list, plus what the loader always maps itself.
// msvcrt.dll is the C runtime that mingw-w64 links against.
constexpr const char* kSystemFolderDlls[] = {
    "advapi32.dll", "clbcatq.dll",  "combase.dll", "comdlg32.dll", "coml2.dll",    "gdi32.dll",      "imagehlp.dll",
    "imm32.dll",    "kernel32.dll", "msctf.dll",   "msvcrt.dll",   "normaliz.dll", "nsi.dll",        "ole32.dll",
    "oleaut32.dll", "psapi.dll",    "rpcrt4.dll",  "sechost.dll",  "setupapi.dll", "shcore.dll",     "shell32.dll",
    "shlwapi.dll",  "user32.dll",   "wldap32.dll", "ws2_32.dll",   "ntdll.dll",    "kernelbase.dll",
};

// Common controls 6 comes from the side-by-side store because the manifest names it.
constexpr const char* kManifestDlls[] = {"comctl32.dll"};

std::string lower(std::string text)
{
    std::transform(text.begin(), text.end(), text.begin(),
                   [](char c) { return static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c); });
    return text;
}

bool loadedFromSystemFolder(const std::string& dll)
{
    const std::string name = lower(dll);
    // API sets are resolved by the loader to system DLLs; they never name a file.
    if (name.starts_with("api-ms-win-") || name.starts_with("ext-ms-win-"))
        return true;
    return std::ranges::any_of(kSystemFolderDlls, [&](const char* known) { return name == known; }) ||
           std::ranges::any_of(kManifestDlls, [&](const char* known) { return name == known; });
}

template <typename T>
std::optional<T> readAt(const std::vector<char>& image, std::size_t offset)
{
    if (offset > image.size() || image.size() - offset < sizeof(T))
        return std::nullopt;
    T value{};
    std::memcpy(&value, image.data() + offset, sizeof value);
    return value;
}

// The names in the import directory of a 64-bit PE file, or nothing when the file is not one.
std::optional<std::vector<std::string>> importedDlls(const std::vector<char>& image)
{
    const auto dos = readAt<IMAGE_DOS_HEADER>(image, 0);
    if (!dos || dos->e_magic != IMAGE_DOS_SIGNATURE)
        return std::nullopt;
    const auto nt = readAt<IMAGE_NT_HEADERS64>(image, static_cast<std::size_t>(dos->e_lfanew));
    if (!nt || nt->Signature != IMAGE_NT_SIGNATURE || nt->OptionalHeader.Magic != IMAGE_NT_OPTIONAL_HDR64_MAGIC)
        return std::nullopt;

    const std::size_t sectionsAt = static_cast<std::size_t>(dos->e_lfanew) +
                                   offsetof(IMAGE_NT_HEADERS64, OptionalHeader) + nt->FileHeader.SizeOfOptionalHeader;
    std::vector<IMAGE_SECTION_HEADER> sections;
    for (WORD i = 0; i < nt->FileHeader.NumberOfSections; ++i) {
        const auto section = readAt<IMAGE_SECTION_HEADER>(image, sectionsAt + i * sizeof(IMAGE_SECTION_HEADER));
        if (!section)
            return std::nullopt;
        sections.push_back(*section);
    }
    const auto fileOffset = [&](DWORD rva) -> std::optional<std::size_t> {
        for (const IMAGE_SECTION_HEADER& section : sections) {
            const DWORD size = std::max(section.Misc.VirtualSize, section.SizeOfRawData);
            if (rva >= section.VirtualAddress && rva - section.VirtualAddress < size)
                return std::size_t{section.PointerToRawData} + (rva - section.VirtualAddress);
        }
        return std::nullopt;
    };

    std::vector<std::string> names;
    const IMAGE_DATA_DIRECTORY directory = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    if (directory.VirtualAddress == 0)
        return names;
    const auto first = fileOffset(directory.VirtualAddress);
    if (!first)
        return std::nullopt;
    for (std::size_t at = *first;; at += sizeof(IMAGE_IMPORT_DESCRIPTOR)) {
        const auto descriptor = readAt<IMAGE_IMPORT_DESCRIPTOR>(image, at);
        if (!descriptor)
            return std::nullopt;
        if (descriptor->Name == 0)
            break;
        const auto nameAt = fileOffset(descriptor->Name);
        if (!nameAt || *nameAt >= image.size())
            return std::nullopt;
        const char* name = image.data() + *nameAt;
        names.emplace_back(name, strnlen(name, image.size() - *nameAt));
    }
    return names;
}

std::vector<char> readFile(const char* path)
{
    std::ifstream file(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

TEST(StaticImports, EveryImportedDllComesFromTheSystemFolder)
{
    const std::vector<char> image = readFile(PELTORINE_EXE_PATH);
    ASSERT_FALSE(image.empty()) << PELTORINE_EXE_PATH;
    const auto dlls = importedDlls(image);
    ASSERT_TRUE(dlls.has_value()) << "not a 64-bit Windows program: " << PELTORINE_EXE_PATH;
    EXPECT_TRUE(std::ranges::any_of(*dlls, [](const std::string& dll) { return lower(dll) == "kernel32.dll"; }))
        << "the import directory was not read";
    for (const std::string& dll : *dlls)
        EXPECT_TRUE(loadedFromSystemFolder(dll))
            << dll << " is not a known DLL: Windows would load a file of that name from the program's folder first";
}

TEST(StaticImports, OnlySystemFolderNamesPass)
{
    const struct {
        const char* dll;
        bool allowed;
    } cases[] = {
        {"KERNEL32.dll", true},
        {"user32.dll", true},
        {"msvcrt.dll", true},
        {"COMCTL32.dll", true},
        {"api-ms-win-core-synch-l1-2-0.dll", true},
        {"msimg32.dll", false},
        {"gdiplus.dll", false},
        {"d3d11.dll", false},
        {"dxgi.dll", false},
        {"mfplat.dll", false},
        {"windowscodecs.dll", false},
        {"uxtheme.dll", false},
        {"version.dll", false},
        {"libstdc++-6.dll", false},
        {"libwinpthread-1.dll", false},
        {"user32.dll.evil", false},
    };
    for (const auto& [dll, allowed] : cases)
        EXPECT_EQ(loadedFromSystemFolder(dll), allowed) << dll;
}

TEST(StaticImports, AFileThatIsNotAProgramIsRejected)
{
    EXPECT_FALSE(importedDlls({}).has_value());
    EXPECT_FALSE(importedDlls(std::vector<char>(64, 'M')).has_value());
    std::vector<char> truncated = readFile(PELTORINE_EXE_PATH);
    ASSERT_GT(truncated.size(), 512u);
    truncated.resize(512);
    EXPECT_FALSE(importedDlls(truncated).has_value());
}

} // namespace
