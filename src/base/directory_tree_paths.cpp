#include "base/directory_tree_walks.h"

#include <cwchar>

namespace base {
namespace tree {
namespace {

bool isDotEntry(const wchar_t* name) {
    return std::wcscmp(name, L".") == 0 || std::wcscmp(name, L"..") == 0;
}

// Read-only entries cannot be deleted; clearing the bit first is what a user expects.
void makeWritable(const std::wstring& path, DWORD attributes) {
    if (attributes & FILE_ATTRIBUTE_READONLY) {
        // best effort: the delete that follows reports the failure
        ::SetFileAttributesW(path.c_str(), attributes & ~FILE_ATTRIBUTE_READONLY);
    }
}

// Removes a junction or symbolic link without touching what it points to.
bool removeLink(const std::wstring& path, DWORD attributes) {
    makeWritable(path, attributes);
    if (attributes & FILE_ATTRIBUTE_DIRECTORY) return ::RemoveDirectoryW(path.c_str()) != FALSE;
    return ::DeleteFileW(path.c_str()) != FALSE;
}

bool deleteEntry(const std::wstring& path, DWORD attributes) {
    if (attributes & FILE_ATTRIBUTE_REPARSE_POINT) return removeLink(path, attributes);
    if (attributes & FILE_ATTRIBUTE_DIRECTORY) return deleteByPaths(path);
    makeWritable(path, attributes);
    return ::DeleteFileW(path.c_str()) != FALSE;
}

}  // namespace

bool deleteByPaths(const std::wstring& path) {
    const DWORD attributes = ::GetFileAttributesW(path.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT))
        return removeLink(path, attributes);

    DWORD firstError = ERROR_SUCCESS;
    WIN32_FIND_DATAW data;
    {
        unique_find search(::FindFirstFileW((path + L"\\*").c_str(), &data));
        if (!search) return false;
        do {
            if (isDotEntry(data.cFileName)) continue;
            if (!deleteEntry(path + L"\\" + data.cFileName, data.dwFileAttributes) && firstError == ERROR_SUCCESS)
                firstError = ::GetLastError();
        } while (::FindNextFileW(search.get(), &data));
        if (::GetLastError() != ERROR_NO_MORE_FILES) return false;
    }
    if (attributes != INVALID_FILE_ATTRIBUTES) makeWritable(path, attributes);
    if (::RemoveDirectoryW(path.c_str())) return true;
    if (firstError != ERROR_SUCCESS) ::SetLastError(firstError);  // the cause, not "folder not empty"
    return false;
}

}  // namespace tree
}  // namespace base
