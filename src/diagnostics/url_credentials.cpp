#include "diagnostics/url_credentials.h"

namespace diagnostics {
namespace {

// Where a URL's authority ends: at its path, query or fragment, or at a blank
// or quote that ends the URL inside a longer text.
bool endsAuthority(wchar_t c) {
    return c == L'/' || c == L'\\' || c == L'?' || c == L'#' || c == L' ' || c == L'\t' || c == L'\r' ||
           c == L'\n' || c == L'"' || c == L'\'';
}

}  // namespace

std::wstring withoutUrlCredentials(const std::wstring& text) {
    static const wchar_t marker[] = L"://";
    if (text.find(marker) == std::wstring::npos) return text;
    std::wstring result;
    result.reserve(text.size());
    size_t copied = 0;
    for (size_t found = text.find(marker); found != std::wstring::npos; found = text.find(marker, found)) {
        const size_t authority = found + 3;
        size_t end = authority;
        while (end < text.size() && !endsAuthority(text[end])) ++end;
        // The last "@" ends the user information: a password may hold an "@" of its own.
        const size_t at = text.rfind(L'@', end == authority ? authority : end - 1);
        result.append(text, copied, authority - copied);
        copied = (at != std::wstring::npos && at >= authority && at < end) ? at + 1 : authority;
        found = end;
    }
    result.append(text, copied, std::wstring::npos);
    return result;
}

}  // namespace diagnostics
