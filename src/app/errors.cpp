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

namespace {

bool failureSeen = false;

// The log always has the text; under /quiet nobody is there to read a box.
void showBox(const wchar_t* outcome, const std::wstring& text, UINT icon) {
    const bool quiet = appSettings().quiet;
    std::wstring line = L"outcome: ";
    diagnostics::log(line.append(outcome).append(quiet ? L", no box \"" : L", box \"").append(text).append(L"\""));
    if (!quiet) ::MessageBoxW(mainWindow, text.c_str(), appSettings().productName.c_str(), icon);
}

}  // namespace

void showErrorBox(const std::wstring& text) {
    failureSeen = true;
    showBox(L"failure", text, MB_ICONERROR);
}

void showWarningBox(const wchar_t* outcome, const std::wstring& text) {
    failureSeen = true;
    showBox(outcome, text, MB_ICONWARNING);
}

void showInformationBox(const wchar_t* outcome, const std::wstring& text) {
    showBox(outcome, text, MB_ICONINFORMATION);
}

bool failureReported() { return failureSeen; }

void showError(const windows_error& error) {
    std::wstring text;
    if (errorBoxText(error, text)) showErrorBox(text);
}

void showErrorCode(DWORD code) { showErrorBox(codeBoxText(code)); }
