// Stands in for the system's msiexec.exe where a test needs an outcome the real
// installer will not give on demand (the user's cancel, a restart request).
// Placed as "<system folder>\msiexec.exe" in a test prefix, it appends its
// command line to "<own path>.log" and ends with the number written in
// "<own path>.exitcode" (0 when that file is missing).
#include <windows.h>

#include <cstdlib>
#include <string>

#include "base/unique_any.h"

namespace {

std::wstring ownPath() {
    wchar_t path[MAX_PATH * 2] = {};
    const DWORD length = ::GetModuleFileNameW(nullptr, path, ARRAYSIZE(path));
    return std::wstring(path, length);
}

std::string readSmallFile(const std::wstring& path) {
    base::unique_file file(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                         FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return std::string();
    char buffer[64] = {};
    DWORD read = 0;
    if (!::ReadFile(file.get(), buffer, sizeof buffer - 1, &read, nullptr)) return std::string();
    return std::string(buffer, read);
}

void appendLine(const std::wstring& path, const std::wstring& text) {
    base::unique_file log(::CreateFileW(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                        OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!log) return;
    const int size = ::WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), nullptr, 0,
                                           nullptr, nullptr);
    std::string line(size > 0 ? size : 0, '\0');
    if (size > 0)
        ::WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), &line[0], size, nullptr,
                              nullptr);
    line += "\n";
    DWORD written = 0;
    ::WriteFile(log.get(), line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    const std::wstring path = ownPath();
    appendLine(path + L".log", ::GetCommandLineW());
    return std::atoi(readSmallFile(path + L".exitcode").c_str());
}
