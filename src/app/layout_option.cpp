#include "app/layout_option.h"

#include <windows.h>
#include <shlwapi.h>

#include "base/windows_error.h"

namespace {

const wchar_t layoutOptionName[] = L"/layout";

// The options a layout run may carry beside /layout.
bool knownBesideLayout(const std::wstring& name) {
    return name == layoutOptionName || name == L"/quiet" || name == L"/log";
}

}  // namespace

std::wstring layoutFolderOption(const OptionTable& options) {
    if (!options.has(layoutOptionName)) return std::wstring();
    bool cut = options.valueCount(layoutOptionName) != 1;
    for (const std::wstring& name : options.names()) cut = cut || !knownBesideLayout(name);
    wchar_t full[MAX_PATH] = {};
    DWORD length = 0;
    if (!cut) length = ::GetFullPathNameW(options.firstValue(layoutOptionName).c_str(), MAX_PATH, full, nullptr);
    if (cut || length == 0 || length >= MAX_PATH)
        throw windows_error(L"The /layout option needs one folder, written with backslashes and without '/' or '='.");
    std::wstring folder(full, length);
    while (folder.size() > 3 && folder.back() == L'\\') folder.pop_back();
    return folder;
}

bool prepareLayoutFolder(const std::wstring& folder) {
    const DWORD attributes = ::GetFileAttributesW(folder.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES) {
        // A link could lead the layout anywhere: only a plain, empty folder is taken.
        if ((attributes & FILE_ATTRIBUTE_DIRECTORY) == 0 || (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0 ||
            !::PathIsDirectoryEmptyW(folder.c_str()))
            throw windows_error(L"The layout folder '" + folder + L"' is not an empty folder.");
        return false;
    }
    if (!::CreateDirectoryW(folder.c_str(), nullptr)) {
        const DWORD code = ::GetLastError();
        throw windows_error(L"Failed to create the layout folder '" + folder + L"'.", code);
    }
    return true;
}
