#include "bootstrap/names.h"

#include "product/ascii_compare.h"

std::wstring textWithCode(const std::wstring& sentence, DWORD code) {
    if (code == 0) return sentence + L".";
    return sentence + L". Error: " + std::to_wstring(static_cast<long>(code)) + L".";
}

std::wstring withoutDeploySuffix(const std::wstring& target) {
    const size_t length = 7;  // ".deploy"
    if (target.size() > length && equalsAsciiNoCase(target.substr(target.size() - length), L".deploy"))
        return target.substr(0, target.size() - length);
    return target;
}

std::wstring folderOfTarget(const std::wstring& target) {
    const size_t slash = target.rfind(L'\\');
    return slash == std::wstring::npos ? target : target.substr(0, slash);
}

std::wstring baseName(const std::wstring& target) {
    std::wstring name = target;
    size_t slash = name.rfind(L'\\');
    if (slash != std::wstring::npos) name.erase(0, slash + 1);
    slash = name.rfind(L'/');
    if (slash != std::wstring::npos) name.erase(0, slash + 1);
    return name;
}
