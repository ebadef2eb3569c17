// peltorine.exe imports none of the video DLLs: they are not among Windows' known DLLs, and an
// import would be looked up next to the program first, where a planted copy could wait (a
// portable program is often run from the Downloads folder). They are loaded from the system
// folder on first use instead.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "tests/support/process.h"
#include "tests/support/temp_folder.h"

namespace {

std::string lower(std::string text)
{
    std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return std::tolower(c); });
    return text;
}

template <typename T>
bool readAt(const std::string& image, std::size_t offset, T& value)
{
    if (offset > image.size() || image.size() - offset < sizeof(T))
        return false;
    std::memcpy(&value, image.data() + offset, sizeof(T));
    return true;
}

// The names of the DLLs in a PE file's import and delay-import tables.
std::vector<std::string> importedDlls(const std::string& image)
{
    std::vector<std::string> names;
    IMAGE_DOS_HEADER dos{};
    IMAGE_NT_HEADERS64 nt{};
    if (!readAt(image, 0, dos) || !readAt(image, static_cast<std::size_t>(dos.e_lfanew), nt))
        return names;
    const std::size_t sectionsAt = static_cast<std::size_t>(dos.e_lfanew) +
                                   offsetof(IMAGE_NT_HEADERS64, OptionalHeader) + nt.FileHeader.SizeOfOptionalHeader;
    std::vector<IMAGE_SECTION_HEADER> sections(nt.FileHeader.NumberOfSections);
    for (std::size_t i = 0; i < sections.size(); ++i)
        readAt(image, sectionsAt + i * sizeof(IMAGE_SECTION_HEADER), sections[i]);
    const auto fileOffset = [&](DWORD rva) -> std::size_t {
        for (const IMAGE_SECTION_HEADER& section : sections) {
            if (rva >= section.VirtualAddress && rva < section.VirtualAddress + section.Misc.VirtualSize)
                return rva - section.VirtualAddress + section.PointerToRawData;
        }
        return image.size();
    };
    const auto nameAt = [&](DWORD rva) {
        const std::size_t at = fileOffset(rva);
        return at < image.size() ? lower(std::string(image.c_str() + at)) : std::string();
    };

    const IMAGE_DATA_DIRECTORY imports = nt.OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    for (std::size_t at = fileOffset(imports.VirtualAddress);; at += sizeof(IMAGE_IMPORT_DESCRIPTOR)) {
        IMAGE_IMPORT_DESCRIPTOR descriptor{};
        if (!imports.VirtualAddress || !readAt(image, at, descriptor) || descriptor.Name == 0)
            break;
        names.push_back(nameAt(descriptor.Name));
    }
    const IMAGE_DATA_DIRECTORY delayed = nt.OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_DELAY_IMPORT];
    for (std::size_t at = fileOffset(delayed.VirtualAddress);; at += 32) {
        DWORD attributes = 0;
        DWORD name = 0;
        if (!delayed.VirtualAddress || !readAt(image, at, attributes) || !readAt(image, at + 4, name) || name == 0)
            break;
        names.push_back(nameAt(name));
    }
    return names;
}

TEST(VideoImports, PeltorineImportsNoVideoDllAndStillImportsItsOthers)
{
    const std::vector<std::string> dlls = importedDlls(readFileBytes(windowsPathOf(PELTORINE_EXE_PATH)));
    ASSERT_NE(std::find(dlls.begin(), dlls.end(), "user32.dll"), dlls.end()) << "the import table was not read";
    for (const char* video : {"d3d11.dll", "dxgi.dll", "d3dcompiler_47.dll", "d3dcompiler_43.dll", "mfplat.dll",
                              "mf.dll", "mfreadwrite.dll", "evr.dll"}) {
        EXPECT_EQ(std::find(dlls.begin(), dlls.end(), video), dlls.end()) << video << " is imported";
    }
}

} // namespace
