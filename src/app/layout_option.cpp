#include "app/layout_option.h"

#include <shlwapi.h>

LayoutFolder prepareLayoutFolder(const OptionTable& options, int optionCount, std::wstring& folder, DWORD& code) {
    const wchar_t* const name = L"/layout";
    const int values = options.valueCount(name);
    code = 0;
    if (values < 0) return LayoutFolder::Absent;
    // Any option beside these is a part that a "/" cut off the folder.
    const int known = 1 + (options.has(L"/quiet") ? 1 : 0) + (options.has(L"/log") ? 1 : 0);
    if (values > 0) folder = options.firstValue(name);
    wchar_t full[MAX_PATH];
    DWORD length = 0;
    if (optionCount == known && values == 1) length = ::GetFullPathNameW(folder.c_str(), MAX_PATH, full, nullptr);
    if (length == 0 || length >= MAX_PATH) return LayoutFolder::Refused;
    while (length > 3 && full[length - 1] == L'\\') --length;
    folder.assign(full, length);
    if (::CreateDirectoryW(full, nullptr)) return LayoutFolder::Created;
    code = ::GetLastError();
    if (code != ERROR_ALREADY_EXISTS) return LayoutFolder::Refused;
    code = 0;
    // A link could lead the layout anywhere: only a plain, empty folder is taken.
    if ((::GetFileAttributesW(full) & FILE_ATTRIBUTE_REPARSE_POINT) != 0 || !::PathIsDirectoryEmptyW(full))
        return LayoutFolder::Refused;
    return LayoutFolder::Empty;
}
