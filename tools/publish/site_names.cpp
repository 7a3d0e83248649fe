#include "site_names.h"

std::wstring sitePathPartProblem(const std::wstring& text) {
    if (text.empty()) return L"it is empty";
    if (text == L"." || text == L"..") return L"it names no folder of its own";
    if (text.front() == L' ' || text.back() == L' ' || text.back() == L'.')
        return L"it starts or ends with a blank, or ends with a dot, which Windows drops";
    for (wchar_t c : text) {
        if (c < 32) return L"it holds a control character";
        // Path and wildcard characters, what a URL gives a meaning, and what
        // the bootstrapper would read back as escaped text.
        if (std::wstring(L"\\/:*?\"<>|#%&'").find(c) != std::wstring::npos)
            return std::wstring(L"it holds the character '") + c + L"'";
    }
    return std::wstring();
}

std::wstring sitePath(const std::wstring& folder, const std::wstring& name) {
    if (folder.empty() || folder.back() == L'\\' || folder.back() == L'/') return folder + name;
    return folder + L"\\" + name;
}
