#include "http/response_query.h"

#include <algorithm>
#include <climits>
#include <vector>

bool queryText(HINTERNET request, DWORD level, std::wstring& out) {
    out.clear();
    DWORD size = 0;
    if (::HttpQueryInfoW(request, level, nullptr, &size, nullptr) || size == 0) return false;
    if (::GetLastError() != ERROR_INSUFFICIENT_BUFFER) return false;
    std::vector<wchar_t> buffer((size + 2 + sizeof(wchar_t) - 1) / sizeof(wchar_t), L'\0');
    DWORD length = static_cast<DWORD>(buffer.size() * sizeof(wchar_t));
    if (!::HttpQueryInfoW(request, level, buffer.data(), &length, nullptr)) return false;
    out.assign(buffer.data(), std::min<size_t>(length / sizeof(wchar_t), buffer.size()));
    return true;
}

LONG queryNumber(HINTERNET request, DWORD level) {
    std::wstring text;
    return queryText(request, level, text) ? leadingNumber(text) : 0;
}

LONG leadingNumber(const std::wstring& text) {
    LONG value = 0;
    for (wchar_t c : text) {
        if (c < L'0' || c > L'9') break;
        const LONG digit = c - L'0';
        if (value > (LONG_MAX - digit) / 10) return LONG_MAX;
        value = value * 10 + digit;
    }
    return value;
}
