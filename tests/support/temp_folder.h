#pragma once
#include <string>

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
