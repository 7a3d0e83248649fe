#include "clrhost/installer_messages.h"

#include <cwchar>

DWORD installerCodeAsHresult(UINT code) {
    const LONG value = static_cast<LONG>(code);
    return value > 0 ? ((code & 0xFFFFu) | 0x80070000u) : code;
}

std::wstring installerErrorText(const std::wstring& lead, UINT code) {
    wchar_t number[48];
    if (code >= 1601 && code <= 1699) {
        swprintf(number, ARRAYSIZE(number), L" (Error = %d).", static_cast<int>(code));
    } else {
        swprintf(number, ARRAYSIZE(number), L" (HRESULT = 0x%lx).", static_cast<unsigned long>(installerCodeAsHresult(code)));
    }
    return lead + number;
}
