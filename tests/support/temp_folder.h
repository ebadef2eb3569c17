#pragma once
#include <windows.h>

#include <string>
#include <vector>

// A fresh folder under the temporary directory, removed with everything in it when
// the owner goes away.
class TempFolder {
public:
    TempFolder();
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    const std::wstring& path() const { return path_; }
    std::wstring operator/(const std::wstring& name) const { return path_ + L"\\" + name; }

private:
    std::wstring path_;
};

// Whole-file helpers for tests.
void writeFileBytes(const std::wstring& path, const std::string& bytes);
std::string readFileBytes(const std::wstring& path);
bool fileExists(const std::wstring& path);
// The names of the files (not folders) in a folder that match pattern, sorted.
std::vector<std::wstring> filesIn(const std::wstring& folder, const std::wstring& pattern = L"*");

// UTF-8 text of a wide string, for GoogleTest's messages.
std::string utf8(const std::wstring& value);

// Keeps a file open with no sharing, so that every other open of it fails. This is how tests
// make a write fail: they run as root, so a read-only attribute would not stop it.
class HeldOpen {
public:
    explicit HeldOpen(const std::wstring& path)
        : handle_(CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr))
    {
    }
    ~HeldOpen()
    {
        if (handle_ != INVALID_HANDLE_VALUE)
            CloseHandle(handle_);
    }
    HeldOpen(const HeldOpen&) = delete;
    HeldOpen& operator=(const HeldOpen&) = delete;
    bool held() const { return handle_ != INVALID_HANDLE_VALUE; }

private:
    HANDLE handle_;
};
