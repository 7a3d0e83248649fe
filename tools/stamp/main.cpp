// stamp.exe [--unchecked] <source bootstrapper.exe> <settings file> <target exe>
// Copies the bootstrapper and writes the settings into the copy's string table.
// --unchecked writes values the program would refuse; it exists for the tests
// of how the program itself handles such a table.
#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

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
    const bool unchecked = argc > 1 && std::wstring(argv[1]) == L"--unchecked";
    if (unchecked) {
        --argc;
        ++argv;
    }
    if (argc != 4) {
        printLine(stderr, L"usage: stamp.exe [--unchecked] <source bootstrapper.exe> <settings file> <target exe>");
        return 2;
    }
    std::vector<std::wstring> problems;
    if (!stampProgram(argv[1], argv[2], argv[3], !unchecked, problems)) {
        for (const std::wstring& problem : problems) printLine(stderr, L"stamp: " + problem);
        return 1;
    }
    return 0;
}
