#include "console.h"

#include "xml/utf8.h"

void printLine(FILE* stream, const std::wstring& text) {
    const std::string bytes = xml::wideToUtf8(text + L"\n");
    std::fwrite(bytes.data(), 1, bytes.size(), stream);
    std::fflush(stream);
}

std::wstring counted(unsigned long long count, const wchar_t* singular, const wchar_t* plural) {
    return std::to_wstring(count) + L" " + (count == 1 ? singular : plural);
}
