#include "app/run_log.h"

#include <windows.h>

#include <cwchar>
#include <vector>

#include "base/wow64.h"
#include "diagnostics/diagnostic_log.h"
#include "product/settings.h"

namespace {

const wchar_t logOptionName[] = L"/log";

std::wstring fullPathOf(const std::wstring& path) {
    const DWORD size = ::GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
    if (size == 0) return std::wstring();
    std::vector<wchar_t> buffer(size + 1, L'\0');
    const DWORD length = ::GetFullPathNameW(path.c_str(), size + 1, buffer.data(), nullptr);
    if (length == 0 || length > size) return std::wstring();
    return std::wstring(buffer.data(), length);
}

std::wstring windowsVersionText() {
    OSVERSIONINFOEXW version = {};
    version.dwOSVersionInfoSize = sizeof(version);
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
    if (!::GetVersionExW(reinterpret_cast<OSVERSIONINFOW*>(&version))) return L"unknown";
#pragma GCC diagnostic pop
    wchar_t text[200];
    std::swprintf(text, 200, L"%lu.%lu.%lu %ls (product type %u)", version.dwMajorVersion, version.dwMinorVersion,
                  version.dwBuildNumber, version.szCSDVersion, static_cast<unsigned>(version.wProductType));
    return text;
}

// "32-bit on 64-bit Windows" and the like.
std::wstring widthText() {
    if (sizeof(void*) == 8) return L"64-bit";
    return base::runsOnWow64() ? L"32-bit, on 64-bit Windows" : L"32-bit";
}

}  // namespace

std::wstring logFileOption(const OptionTable& options) {
    if (options.valueCount(logOptionName) <= 0) return std::wstring();
    return fullPathOf(options.firstValue(logOptionName));
}

void startDiagnosticLog(const std::wstring& fullPath, const std::wstring& commandLine) {
    if (fullPath.empty() || !diagnostics::openLog(fullPath)) return;
    diagnostics::log(L"start: command line \"" + commandLine + L"\"");
}

void logProgramAndSettings(const AppSettings& settings) {
    if (!diagnostics::logging()) return;
    diagnostics::log(L"program " + settings.exePath + L", " + widthText() + L", built " + TEXT(__DATE__) L" " +
                     TEXT(__TIME__));
    diagnostics::log(L"windows " + windowsVersionText());
    for (const SettingField& field : settingFields) {
        diagnostics::log(std::wstring(L"setting ") + field.name + L" (" + std::to_wstring(field.id) + L") = \"" +
                         settings.*field.value + L"\"");
    }
}
