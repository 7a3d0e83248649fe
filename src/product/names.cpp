#include "product/names.h"

#include "product/ascii_compare.h"

std::wstring textWithCode(const std::wstring& sentence, DWORD code) {
    if (code == 0) return sentence + L".";
    return sentence + L". Error: " + std::to_wstring(static_cast<long>(code)) + L".";
}

std::wstring createFailureText(const std::wstring& name, DWORD code) {
    return textWithCode(L"Failed to create '" + name + L"' file", code);
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

namespace {

// "_" plus the longest stamp: year, then month, day, hour and second of up to two digits each.
constexpr size_t longestStampSuffix = 1 + 4 + 2 * 4;
constexpr size_t shortestStamp = 4 + 4;
constexpr size_t longestStamp = longestStampSuffix - 1;
constexpr size_t longestFolderName = 255;

bool isDigit(wchar_t c) { return c >= L'0' && c <= L'9'; }

}  // namespace

bool isPlainFolderNamePart(const std::wstring& text) {
    if (text.empty() || text.size() > longestFolderName - longestStampSuffix) return false;
    for (wchar_t c : text) {
        if (c < 32) return false;
        if (std::wstring(L"<>:\"/\\|?*").find(c) != std::wstring::npos) return false;
    }
    return true;
}

bool isDownloadFolderName(const std::wstring& name, const std::wstring& company) {
    const size_t prefix = company.size() + 1;
    if (company.empty() || name.size() < prefix + shortestStamp || name.size() > prefix + longestStamp) return false;
    if (!equalsAsciiNoCase(name.substr(0, company.size()), company) || name[company.size()] != L'_') return false;
    for (size_t i = prefix; i < name.size(); ++i)
        if (!isDigit(name[i])) return false;
    return true;
}
