#include "product/combine.h"

#include <windows.h>
#include <shlwapi.h>
#include <wininet.h>

std::wstring combineUrl(const std::wstring& base, const std::wstring& relative) {
    std::wstring folder = base;
    if (folder.empty() || folder.back() != L'/') folder += L'/';
    wchar_t joined[INTERNET_MAX_URL_LENGTH + 1] = {};  // 2,084 characters
    DWORD length = INTERNET_MAX_URL_LENGTH + 1;
    if (FAILED(::UrlCombineW(folder.c_str(), relative.c_str(), joined, &length, 0))) return std::wstring();
    return joined;
}

std::wstring combinePath(const std::wstring& folder, const std::wstring& relative) {
    std::wstring base = folder;
    if (base.empty() || base.back() != L'\\') base += L'\\';
    std::wstring name = relative;
    for (wchar_t& c : name) {
        if (c == L'/') c = L'\\';
    }
    wchar_t joined[MAX_PATH] = {};
    if (!::PathCombineW(joined, base.c_str(), name.c_str())) return std::wstring();
    return joined;
}

bool staysInsideFolder(const std::wstring& relative) {
    if (relative.empty()) return true;
    if (relative[0] == L'\\' || relative[0] == L'/') return false;  // rooted, a share or a device
    if (relative.find(L':') != std::wstring::npos) return false;    // a drive or a stream
    size_t start = 0;
    while (start <= relative.size()) {
        size_t end = relative.find_first_of(L"\\/", start);
        if (end == std::wstring::npos) end = relative.size();
        std::wstring part = relative.substr(start, end - start);
        while (!part.empty() && (part.back() == L'.' || part.back() == L' ')) {
            // Windows drops trailing dots and spaces: ".. " and "..." act as "..".
            if (part.size() >= 2 && part.find_first_not_of(L". ") == std::wstring::npos) return false;
            part.pop_back();
        }
        start = end + 1;
    }
    return true;
}
