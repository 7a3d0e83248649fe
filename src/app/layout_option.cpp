#include "app/layout_option.h"

#include <windows.h>
#include <shlwapi.h>

#include "base/windows_error.h"

std::wstring layoutFolderOption(const OptionTable& options, int optionCount) {
    if (!options.has(L"/layout")) return std::wstring();
    // Any option beside these is a part that a "/" cut off the folder.
    const int known = 1 + (options.has(L"/quiet") ? 1 : 0) + (options.has(L"/log") ? 1 : 0);
    wchar_t full[MAX_PATH] = {};
    DWORD length = 0;
    if (optionCount == known && options.valueCount(L"/layout") == 1)
        length = ::GetFullPathNameW(options.firstValue(L"/layout").c_str(), MAX_PATH, full, nullptr);
    if (length == 0 || length >= MAX_PATH)
        throw windows_error(L"The /layout option needs one folder, written with backslashes and without '/' or '='.");
    std::wstring folder(full, length);
    while (folder.size() > 3 && folder.back() == L'\\') folder.pop_back();
    return folder;
}

bool prepareLayoutFolder(const std::wstring& folder) {
    if (::CreateDirectoryW(folder.c_str(), nullptr)) return true;
    const DWORD code = ::GetLastError();
    // A link could lead the layout anywhere: only a plain, empty folder is taken.
    if (code != ERROR_ALREADY_EXISTS || (::GetFileAttributesW(folder.c_str()) & FILE_ATTRIBUTE_REPARSE_POINT) != 0 ||
        !::PathIsDirectoryEmptyW(folder.c_str()))
        throw windows_error(L"The layout folder '" + folder + L"' cannot be created or is not empty.",
                            code == ERROR_ALREADY_EXISTS ? 0 : code);
    return false;
}
