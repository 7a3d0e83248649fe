#include "bootstrap/folders.h"

#include <shlobj.h>

#include <cwchar>

#include "base/unique_any.h"
#include "product/names.h"

bool CreateDirectoryChain(const std::wstring& path) {
    if (::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES) return true;
    const size_t slash = path.rfind(L'\\');
    if (slash == std::wstring::npos) return true;
    if (!CreateDirectoryChain(path.substr(0, slash))) return false;
    if (::CreateDirectoryW(path.c_str(), nullptr)) return true;
    return ::GetLastError() == ERROR_ALREADY_EXISTS;
}

void PurgeOldFolders(const std::wstring& root, const std::wstring& company) {
    // The root can be the temporary folder, shared with every other program: a
    // company name that the search would read as a wildcard, or an empty one,
    // must not widen what is deleted.
    if (!isPlainFolderNamePart(company)) return;
    WIN32_FIND_DATAW data;
    base::unique_find search(::FindFirstFileW((root + company + L"_*").c_str(), &data));
    if (!search) return;
    do {
        // The search also matches short names and any suffix: only our own names count.
        if (!(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) || !isDownloadFolderName(data.cFileName, company))
            continue;
        // DeleteDirectoryTree removes a planted link itself instead of emptying its target.
        if (!DeleteDirectoryTree(root + data.cFileName)) return;
    } while (::FindNextFileW(search.get(), &data));
}

std::wstring downloadFolderStamp(const SYSTEMTIME& time) {
    wchar_t text[64];
    std::swprintf(text, 64, L"%d%d%d%d%d", time.wYear, time.wMonth, time.wDay, time.wHour, time.wSecond);
    return text;
}

std::wstring downloadRoot() {
    wchar_t folder[MAX_PATH] = {};
    // Asked for without CSIDL_FLAG_CREATE: the folder chain is created with the download folder.
    if (FAILED(::SHGetFolderPathW(nullptr, CSIDL_INTERNET_CACHE, nullptr, SHGFP_TYPE_CURRENT, folder)) || !folder[0]) {
        const DWORD length = ::GetTempPathW(MAX_PATH, folder);
        if (length == 0 || length >= MAX_PATH) folder[0] = 0;
    }
    std::wstring root = folder;
    while (!root.empty() && root.back() == L'\\') root.pop_back();
    if (!root.empty()) root += L'\\';
    return root;
}
