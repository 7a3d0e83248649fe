#include "app/errors.h"

#include "app/shell.h"
#include "diagnostics/diagnostic_log.h"
#include "product/settings.h"

bool errorBoxText(const windows_error& error, std::wstring& text) {
    std::wstring message = error.message();
    if (message.empty()) {
        if (error.code == 0) return false;
        text = codeBoxText(error.code);
        return true;
    }
    if (error.code == 0) {
        text = message;
        return true;
    }
    const size_t size = message.size();
    if (size > 2 && message[size - 2] == L'\r' && message[size - 1] == L'\n') message.resize(size - 2);
    text = message + codeText(L" Error code: 0x%X.", error.code);
    return true;
}

std::wstring codeBoxText(DWORD code) {
    std::wstring text;
    if (systemText(code, text)) return text;
    return codeText(L"Error code: 0x%0x", code);
}

void showErrorBox(const std::wstring& text) {
    diagnostics::log(L"outcome: failure, box \"" + text + L"\"");
    ::MessageBoxW(mainWindow, text.c_str(), appSettings().productName.c_str(), MB_ICONERROR);
}

void showWarningBox(const wchar_t* outcome, const std::wstring& text) {
    diagnostics::log(std::wstring(L"outcome: ") + outcome + L", box \"" + text + L"\"");
    ::MessageBoxW(mainWindow, text.c_str(), appSettings().productName.c_str(), MB_ICONWARNING);
}

void showError(const windows_error& error) {
    std::wstring text;
    if (errorBoxText(error, text)) showErrorBox(text);
}

void showErrorCode(DWORD code) { showErrorBox(codeBoxText(code)); }
