// peltorine.exe is often run from a download folder, where Windows looks for a DLL beside the
// program before its own copy unless the DLL is a known one. The program must import only
// known DLLs, and the common controls, which come through the manifest.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "tests/support/temp_folder.h"

namespace {

// The program's DLL imports, plain and delay-loaded, read from the file's import directories.
std::vector<std::string> importedDlls(const std::string& image)
{
    std::vector<std::string> names;
    const auto at = [&image](std::size_t offset, std::size_t size) {
        return offset + size <= image.size() ? image.data() + offset : nullptr;
    };
    const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(at(0, sizeof(IMAGE_DOS_HEADER)));
    if (!dos || dos->e_magic != IMAGE_DOS_SIGNATURE)
        return names;
    const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS64*>(
        at(static_cast<std::size_t>(dos->e_lfanew), sizeof(IMAGE_NT_HEADERS64)));
    if (!nt || nt->Signature != IMAGE_NT_SIGNATURE || nt->OptionalHeader.Magic != IMAGE_NT_OPTIONAL_HDR64_MAGIC)
        return names;
    const auto* sections = IMAGE_FIRST_SECTION(nt);
    const auto fileOffset = [&](DWORD rva) -> std::size_t {
        for (WORD i = 0; i < nt->FileHeader.NumberOfSections; ++i) {
            const IMAGE_SECTION_HEADER& section = sections[i];
            if (rva >= section.VirtualAddress && rva < section.VirtualAddress + section.Misc.VirtualSize)
                return rva - section.VirtualAddress + section.PointerToRawData;
        }
        return image.size();
    };
    const auto nameAt = [&](DWORD rva) {
        const std::size_t offset = fileOffset(rva);
        return offset < image.size() ? std::string(image.c_str() + offset) : std::string("(unreadable)");
    };

    const IMAGE_DATA_DIRECTORY& plain = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    for (std::size_t offset = fileOffset(plain.VirtualAddress); plain.VirtualAddress != 0;
         offset += sizeof(IMAGE_IMPORT_DESCRIPTOR)) {
        const auto* entry =
            reinterpret_cast<const IMAGE_IMPORT_DESCRIPTOR*>(at(offset, sizeof(IMAGE_IMPORT_DESCRIPTOR)));
        if (!entry || entry->Name == 0)
            break;
        names.push_back(nameAt(entry->Name));
    }
    const IMAGE_DATA_DIRECTORY& delayed = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_DELAY_IMPORT];
    for (std::size_t offset = fileOffset(delayed.VirtualAddress); delayed.VirtualAddress != 0;
         offset += sizeof(IMAGE_DELAYLOAD_DESCRIPTOR)) {
        const auto* entry =
            reinterpret_cast<const IMAGE_DELAYLOAD_DESCRIPTOR*>(at(offset, sizeof(IMAGE_DELAYLOAD_DESCRIPTOR)));
        if (!entry || entry->DllNameRVA == 0)
            break;
        names.push_back(nameAt(entry->DllNameRVA));
    }
    return names;
}

TEST(Imports, OnlyKnownDllsAndTheCommonControls)
{
    // The KnownDLLs of Windows 10 and 11 that a program like ours may need.
    const char* const allowed[] = {"advapi32.dll", "combase.dll",  "comdlg32.dll", "gdi32.dll",
                                   "gdiplus.dll",  "imm32.dll",    "kernel32.dll", "msvcrt.dll",
                                   "ole32.dll",    "oleaut32.dll", "rpcrt4.dll",   "shcore.dll",
                                   "shell32.dll",  "shlwapi.dll",  "user32.dll",   "comctl32.dll"};
    std::wstring exe = L"" PELTORINE_EXE_PATH;
    std::replace(exe.begin(), exe.end(), L'/', L'\\');
    const std::vector<std::string> imports = importedDlls(readFileBytes(exe));

    ASSERT_FALSE(imports.empty());
    EXPECT_NE(imports.end(), std::find_if(imports.begin(), imports.end(), [](const std::string& name) {
                  return _stricmp(name.c_str(), "kernel32.dll") == 0;
              }));
    for (const std::string& name : imports) {
        const bool known = std::any_of(std::begin(allowed), std::end(allowed),
                                       [&name](const char* dll) { return _stricmp(name.c_str(), dll) == 0; });
        EXPECT_TRUE(known) << name;
    }
}

} // namespace
