#pragma once
// A fresh folder under the temporary folder, deleted with everything in it at the end.
#include <windows.h>

#include <string>

#include "bootstrap/folders.h"

class TempFolder {
public:
    TempFolder() {
        wchar_t temp[MAX_PATH];
        ::GetTempPathW(MAX_PATH, temp);
        static LONG counter = 0;
        path_ = std::wstring(temp) + L"pipeline_test_" + std::to_wstring(::GetCurrentProcessId()) + L"_" +
                std::to_wstring(::InterlockedIncrement(&counter));
        ::CreateDirectoryW(path_.c_str(), nullptr);
    }
    ~TempFolder() { DeleteDirectoryTree(path_); }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    const std::wstring& path() const { return path_; }
    std::wstring operator/(const std::wstring& name) const { return path_ + L"\\" + name; }

private:
    std::wstring path_;
};

inline bool exists(const std::wstring& path) { return ::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

inline void writeText(const std::wstring& path, const std::string& text) {
    HANDLE file = ::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    DWORD written = 0;
    if (!text.empty()) ::WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
    ::CloseHandle(file);
}

inline std::string readText(const std::wstring& path) {
    HANDLE file = ::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    std::string text;
    if (file == INVALID_HANDLE_VALUE) return text;
    char buffer[65536];
    DWORD read = 0;
    while (::ReadFile(file, buffer, sizeof buffer, &read, nullptr) && read) text.append(buffer, read);
    ::CloseHandle(file);
    return text;
}
