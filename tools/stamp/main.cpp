// stamp.exe [--unchecked] [--keep-built-in] <source bootstrapper.exe> <settings file> <target exe>
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

const wchar_t* const usageLine =
    L"usage: stamp.exe [--keep-built-in] [--unchecked] <source bootstrapper.exe> <settings file> <target exe>";

const wchar_t* const helpLines[] = {
    usageLine,
    L"Copies the bootstrapper to the target and writes the settings file's values into the copy's string table.",
    L"The settings file is UTF-8 text, one key=value per line; blank lines and lines starting with # are skipped.",
    L"Every setting must be given (publish settings writes them all); a value the program would refuse or",
    L"misread is refused, and nothing is written.",
    L"  --keep-built-in  allow left-out settings: they keep the source program's values",
    L"  --unchecked      write the values without checking them (for tests of the program's own refusals)",
};

}  // namespace

int wmain(int argc, wchar_t** argv) {
    bool unchecked = false, keepBuiltIn = false;
    std::vector<std::wstring> positional;
    for (int i = 1; i < argc; ++i) {
        const std::wstring arg = argv[i];
        if (arg == L"--help" || arg == L"-h" || arg == L"/?") {
            for (const wchar_t* line : helpLines) printLine(stdout, line);
            return 0;
        }
        if (positional.empty() && arg == L"--unchecked") {
            unchecked = true;
        } else if (positional.empty() && arg == L"--keep-built-in") {
            keepBuiltIn = true;
        } else {
            positional.push_back(arg);
        }
    }
    if (positional.size() != 3) {
        printLine(stderr, usageLine);
        return 2;
    }
    std::vector<std::wstring> problems;
    if (!stampProgram(positional[0], positional[1], positional[2], !unchecked, keepBuiltIn, problems)) {
        for (const std::wstring& problem : problems) printLine(stderr, L"stamp: " + problem);
        return 1;
    }
    return 0;
}
