#include "app/layout_option.h"

#include <windows.h>
#include <shlwapi.h>

#include "base/windows_error.h"

void readLayoutFolderOption(const OptionTable& options, int optionCount, std::wstring& folder) {
    const std::wstring name = L"/layout";
    const int values = options.valueCount(name);
    if (values < 0) return;
    // Any option beside these is a part that a "/" cut off the folder.
    const int known = 1 + (options.has(L"/quiet") ? 1 : 0) + (options.has(L"/log") ? 1 : 0);
    const std::wstring value = values > 0 ? options.firstValue(name) : std::wstring();
    wchar_t full[MAX_PATH];
    DWORD length = 0;
    if (optionCount == known && values == 1) length = ::GetFullPathNameW(value.c_str(), MAX_PATH, full, nullptr);
    if (length == 0 || length >= MAX_PATH) refuseLayoutFolder(value, 0);
    while (length > 3 && full[length - 1] == L'\\') --length;
    folder.assign(full, length);
}

bool prepareLayoutFolder(const std::wstring& folder) {
    if (::CreateDirectoryW(folder.c_str(), nullptr)) return true;
    const DWORD code = ::GetLastError();
    // A link could lead the layout anywhere: only a plain, empty folder is taken.
    if (code != ERROR_ALREADY_EXISTS || (::GetFileAttributesW(folder.c_str()) & FILE_ATTRIBUTE_REPARSE_POINT) != 0 ||
        !::PathIsDirectoryEmptyW(folder.c_str()))
        refuseLayoutFolder(folder, code == ERROR_ALREADY_EXISTS ? 0 : code);
    return false;
}

void refuseLayoutFolder(const std::wstring& folder, DWORD code) {
    std::wstring text = L"The layout folder '";
    text.append(folder).append(L"' must be a new or empty folder, written with backslashes.");
    throw windows_error(text, code);
}
