#include "install/msiexec.h"

#include <shlobj.h>

#include <vector>

#include "base/unique_any.h"
#include "diagnostics/diagnostic_log.h"

namespace {

constexpr DWORD exitCancelled = 1602;  // ERROR_INSTALL_USEREXIT

// "<what> failed. Error: <n>." or "<what> failed." when the system gave no number.
std::wstring failedText(const wchar_t* what, DWORD error) {
    std::wstring text = std::wstring(what) + L" failed.";
    if (error != 0) text.insert(text.size() - 1, L" Error: " + std::to_wstring(static_cast<int>(error)));
    return text;
}

// A command line that CreateProcessW may write into.
std::vector<wchar_t> writable(const std::wstring& text) {
    std::vector<wchar_t> buffer(text.begin(), text.end());
    buffer.push_back(L'\0');
    return buffer;
}

}  // namespace

bool isRestartRequest(DWORD result) {
    return result == ERROR_SUCCESS_REBOOT_REQUIRED || result == ERROR_SUCCESS_REBOOT_INITIATED;
}

bool JudgeMsiexecExitCode(DWORD exitCode, bool showUI, std::wstring& errorText) {
    if (exitCode == 0 || isRestartRequest(exitCode)) return true;
    if (exitCode == exitCancelled || showUI) {
        errorText.clear();  // the user cancelled, or msiexec has shown its own error
        return false;
    }
    errorText = L"The installation failed. Error: " + std::to_wstring(static_cast<int>(exitCode)) + L".";
    return false;
}

bool RunMsiexec(const std::wstring& arguments, bool showUI, std::wstring& errorText, DWORD* exitCodeOut) {
    if (exitCodeOut != nullptr) *exitCodeOut = 0;
    wchar_t systemFolder[MAX_PATH] = {};
    if (FAILED(::SHGetFolderPathW(nullptr, CSIDL_SYSTEM, nullptr, 0, systemFolder))) return false;
    const std::wstring program = std::wstring(systemFolder) + L"\\msiexec.exe";
    std::wstring command = L"\"" + program + L"\" " + arguments;
    // With a diagnostic log, the installer writes its own verbose log beside it.
    const std::wstring installerLog = diagnostics::nextInstallerLogPath();
    if (!installerLog.empty()) command += L" /l*v \"" + installerLog + L"\"";
    diagnostics::log(L"msiexec starts: " + command);
    const diagnostics::Stopwatch stopwatch;
    std::vector<wchar_t> commandLine = writable(command);

    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = showUI ? SW_SHOWNORMAL : SW_HIDE;
    PROCESS_INFORMATION started{};
    if (!::CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE,
                          CREATE_DEFAULT_ERROR_MODE | CREATE_NO_WINDOW | NORMAL_PRIORITY_CLASS, nullptr, nullptr,
                          &startup, &started)) {
        errorText = failedText(L"CreateProcess", ::GetLastError());
        return false;
    }
    base::unique_handle process(started.hProcess);
    base::unique_handle thread(started.hThread);

    // Always the process we started: its exit code means nothing until it has ended.
    if (::WaitForSingleObject(process.get(), INFINITE) != WAIT_OBJECT_0) {
        errorText = failedText(L"WaitForSingleObject", ::GetLastError());
        return false;
    }
    DWORD exitCode = 0;
    if (!::GetExitCodeProcess(process.get(), &exitCode)) {
        errorText = failedText(L"GetExitCodeProcess", ::GetLastError());
        return false;
    }
    if (exitCodeOut != nullptr) *exitCodeOut = exitCode;
    diagnostics::log(L"msiexec ended with exit code " + std::to_wstring(exitCode) + L" after " +
                     diagnostics::millisecondsText(stopwatch.elapsedMs()) + L" ms");
    return JudgeMsiexecExitCode(exitCode, showUI, errorText);
}

void StartProgram(const std::wstring& path) {
    if (path.empty()) return;
    // Quoted, so that a path with blanks never starts "C:\Program.exe" instead.
    std::vector<wchar_t> commandLine = writable(L"\"" + path + L"\"");
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = SW_SHOWNORMAL;
    PROCESS_INFORMATION started{};
    if (!::CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE,
                          CREATE_DEFAULT_ERROR_MODE | NORMAL_PRIORITY_CLASS, nullptr, nullptr, &startup, &started))
        return;  // best effort: a host that does not start again is not a failed update
    base::unique_handle process(started.hProcess);
    base::unique_handle thread(started.hThread);
    ::WaitForInputIdle(process.get(), 10000);
}
