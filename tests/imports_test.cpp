// What peltorine.exe asks the loader for before it runs: GDI+ is not among it, so that a
// gdiplus.dll planted beside the program (a Downloads folder) is never loaded at start; the
// widget loads the system's copy when it first draws.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <string>
#include <vector>

#include "tests/support/process.h"

namespace {

std::vector<char> readFile(const std::wstring& path)
{
    std::vector<char> bytes;
    const HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return bytes;
    LARGE_INTEGER size{};
    if (GetFileSizeEx(file, &size)) {
        bytes.resize(static_cast<std::size_t>(size.QuadPart));
        DWORD read = 0;
        if (!ReadFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr) || read != bytes.size())
            bytes.clear();
    }
    CloseHandle(file);
    return bytes;
}

// The DLL names of the import directory of a 64-bit PE file, lower case; empty when unreadable.
std::vector<std::string> importedDlls(const std::vector<char>& image)
{
    std::vector<std::string> names;
    if (image.size() < sizeof(IMAGE_DOS_HEADER))
        return names;
    const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(image.data());
    if (dos->e_magic != IMAGE_DOS_SIGNATURE || dos->e_lfanew <= 0 ||
        static_cast<std::size_t>(dos->e_lfanew) + sizeof(IMAGE_NT_HEADERS64) > image.size())
        return names;
    const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS64*>(image.data() + dos->e_lfanew);
    if (nt->Signature != IMAGE_NT_SIGNATURE || nt->OptionalHeader.Magic != IMAGE_NT_OPTIONAL_HDR64_MAGIC)
        return names;
    const auto* sections = IMAGE_FIRST_SECTION(nt);
    auto offsetOf = [&](DWORD rva) -> std::size_t {
        for (WORD i = 0; i < nt->FileHeader.NumberOfSections; ++i) {
            const IMAGE_SECTION_HEADER& section = sections[i];
            const DWORD size = std::max(section.Misc.VirtualSize, section.SizeOfRawData);
            if (rva >= section.VirtualAddress && rva < section.VirtualAddress + size)
                return rva - section.VirtualAddress + section.PointerToRawData;
        }
        return 0;
    };
    const IMAGE_DATA_DIRECTORY& directory = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    std::size_t offset = offsetOf(directory.VirtualAddress);
    if (offset == 0)
        return names;
    for (; offset + sizeof(IMAGE_IMPORT_DESCRIPTOR) <= image.size(); offset += sizeof(IMAGE_IMPORT_DESCRIPTOR)) {
        const auto* descriptor = reinterpret_cast<const IMAGE_IMPORT_DESCRIPTOR*>(image.data() + offset);
        if (descriptor->Name == 0)
            break;
        const std::size_t nameOffset = offsetOf(descriptor->Name);
        if (nameOffset == 0 || nameOffset >= image.size())
            break;
        std::string name(image.data() + nameOffset);
        std::transform(name.begin(), name.end(), name.begin(), [](unsigned char c) { return std::tolower(c); });
        names.push_back(name);
    }
    return names;
}

TEST(Imports, PeltorineDoesNotImportGdiplusAtStart)
{
    const std::vector<std::string> dlls = importedDlls(readFile(windowsPathOf(PELTORINE_EXE_PATH)));
    ASSERT_FALSE(dlls.empty()) << "the import directory could not be read";
    EXPECT_NE(std::find(dlls.begin(), dlls.end(), "user32.dll"), dlls.end()) << "the reader works";
    EXPECT_EQ(std::find(dlls.begin(), dlls.end(), "gdiplus.dll"), dlls.end());
}

// Windows looks beside the program first for a DLL that is not a known one. Apart from the
// common controls, which come through the manifest, the program imports only known DLLs.
TEST(Imports, OnlyKnownDllsAndTheCommonControls)
{
    // The KnownDLLs of Windows 10 and 11 that a program like ours may need.
    const char* const allowed[] = {"advapi32.dll", "combase.dll",  "comdlg32.dll", "gdi32.dll",
                                   "gdiplus.dll",  "imm32.dll",    "kernel32.dll", "msvcrt.dll",
                                   "ole32.dll",    "oleaut32.dll", "rpcrt4.dll",   "shcore.dll",
                                   "shell32.dll",  "shlwapi.dll",  "user32.dll",   "comctl32.dll"};
    const std::vector<std::string> dlls = importedDlls(readFile(windowsPathOf(PELTORINE_EXE_PATH)));
    ASSERT_FALSE(dlls.empty()) << "the import directory could not be read";
    for (const std::string& name : dlls)
        EXPECT_NE(std::end(allowed), std::find(std::begin(allowed), std::end(allowed), name)) << name;
}

} // namespace
