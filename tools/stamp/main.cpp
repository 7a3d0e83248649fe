// stamp.exe <source bootstrapper.exe> <settings file> <target exe>
// Copies the bootstrapper and writes the settings into the copy's string table.
#include <windows.h>

#include <cstdio>
#include <string>

#include "stamp.h"

namespace {

void printLine(FILE* stream, const std::wstring& text) {
    const std::wstring line = text + L"\n";
    const int size = ::WideCharToMultiByte(CP_UTF8, 0, line.data(), static_cast<int>(line.size()), nullptr, 0,
                                           nullptr, nullptr);
    if (size <= 0) return;
    std::string bytes(static_cast<size_t>(size), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, line.data(), static_cast<int>(line.size()), &bytes[0], size, nullptr, nullptr);
    std::fwrite(bytes.data(), 1, bytes.size(), stream);
    std::fflush(stream);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc != 4) {
        printLine(stderr, L"usage: stamp.exe <source bootstrapper.exe> <settings file> <target exe>");
        return 2;
    }
    std::wstring error;
    if (!stampProgram(argv[1], argv[2], argv[3], error)) {
        printLine(stderr, L"stamp: " + error);
        return 1;
    }
    return 0;
}
