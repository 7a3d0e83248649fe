#include "clrhost/hresult_text.h"

namespace clrhost {

HRESULT hresultFromError(DWORD error) {
    const LONG code = static_cast<LONG>(error);
    if (code == 0) return E_FAIL;
    if (code < 0) return code;
    return static_cast<HRESULT>((error & 0xFFFFu) | 0x80070000u);
}

HRESULT hresultFromLastError() { return hresultFromError(::GetLastError()); }

std::wstring hexText(DWORD value) {
    static const wchar_t digits[] = L"0123456789abcdef";
    wchar_t buffer[9];
    int start = 8;
    buffer[8] = L'\0';
    do {
        buffer[--start] = digits[value & 0xF];
        value >>= 4;
    } while (value != 0);
    return std::wstring(buffer + start);
}

std::wstring formatText(const wchar_t* format, std::initializer_list<std::wstring> values) {
    std::wstring text;
    auto next = values.begin();
    for (const wchar_t* p = format; *p != L'\0'; ++p) {
        if (p[0] == L'%' && (p[1] == L's' || p[1] == L'd' || p[1] == L'x') && next != values.end()) {
            text += *next++;
            ++p;
        } else {
            text += *p;
        }
    }
    return text;
}

std::wstring hresultMessage(const wchar_t* format, HRESULT hr) {
    return formatText(format, {hexText(static_cast<DWORD>(hr))});
}

std::wstring hresultMessage(const wchar_t* format, const std::wstring& name, HRESULT hr) {
    return formatText(format, {name, hexText(static_cast<DWORD>(hr))});
}

}  // namespace clrhost
