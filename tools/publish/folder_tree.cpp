#include "folder_tree.h"

#include <windows.h>


bool createFolderChain(const std::wstring& path, std::vector<std::wstring>* created) {
    if (::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES) return true;
    const size_t slash = path.find_last_of(L"\\/");
    if (slash != std::wstring::npos && slash > 0 && path[slash - 1] != L':' &&
        !createFolderChain(path.substr(0, slash), created))
        return false;
    if (::CreateDirectoryW(path.c_str(), nullptr)) {
        if (created != nullptr) created->push_back(path);
        return true;
    }
    return ::GetLastError() == ERROR_ALREADY_EXISTS;
}

void NewFolders::removeEmptyFolder(const std::wstring& path) {
    ::RemoveDirectoryW(path.c_str());  // best effort: fails, as it should, when something was put there
}

std::wstring makeTemporaryFolder(const std::wstring& prefix) {
    wchar_t temp[MAX_PATH + 1] = {};
    const DWORD length = ::GetTempPathW(MAX_PATH + 1, temp);
    if (length == 0 || length > MAX_PATH) return std::wstring();
    const std::wstring base = std::wstring(temp) + prefix + std::to_wstring(::GetCurrentProcessId()) + L"-";
    for (DWORD attempt = 0; attempt < 100; ++attempt) {
        const std::wstring path = base + std::to_wstring(::GetTickCount() + attempt);
        if (::CreateDirectoryW(path.c_str(), nullptr)) return path;
        if (::GetLastError() != ERROR_ALREADY_EXISTS) break;
    }
    return std::wstring();
}
