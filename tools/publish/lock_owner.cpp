#include "lock_owner.h"

#include <windows.h>

#include <cwchar>

#include "base/unique_any.h"
#include "xml/utf8.h"

namespace {

std::wstring computerName() {
    wchar_t name[MAX_COMPUTERNAME_LENGTH + 1] = {};
    DWORD size = MAX_COMPUTERNAME_LENGTH + 1;
    return ::GetComputerNameW(name, &size) ? std::wstring(name, size) : std::wstring();
}

// The start of the process as text; empty when the system does not tell.
std::wstring startOf(HANDLE process) {
    FILETIME created, exited, kernel, user;
    SYSTEMTIME time;
    if (!::GetProcessTimes(process, &created, &exited, &kernel, &user) || !::FileTimeToSystemTime(&created, &time))
        return std::wstring();
    wchar_t text[64];
    std::swprintf(text, 64, L"%04u-%02u-%02u %02u:%02u:%02u.%03u UTC", time.wYear, time.wMonth, time.wDay, time.wHour,
                  time.wMinute, time.wSecond, time.wMilliseconds);
    return text;
}

}  // namespace

LockOwner currentLockOwner() {
    LockOwner owner;
    owner.computer = computerName();
    owner.processId = ::GetCurrentProcessId();
    owner.started = startOf(::GetCurrentProcess());
    return owner;
}

std::string lockText(const LockOwner& owner) {
    return xml::wideToUtf8(L"publish add\r\ncomputer=" + owner.computer + L"\r\nprocess=" +
                           std::to_wstring(owner.processId) + L"\r\nstarted=" + owner.started + L"\r\n");
}

bool parseLockText(const std::string& text, LockOwner& owner) {
    const std::wstring wide = xml::utf8ToWide(text);
    LockOwner result;
    bool hasProcess = false;
    size_t start = 0;
    while (start < wide.size()) {
        size_t end = wide.find(L'\n', start);
        if (end == std::wstring::npos) end = wide.size();
        std::wstring line = wide.substr(start, end - start);
        if (!line.empty() && line.back() == L'\r') line.pop_back();
        start = end + 1;
        const size_t equals = line.find(L'=');
        if (equals == std::wstring::npos) continue;
        const std::wstring key = line.substr(0, equals), value = line.substr(equals + 1);
        if (key == L"computer") result.computer = value;
        if (key == L"started") result.started = value;
        if (key == L"process" && !value.empty() && value.size() <= 10 &&
            value.find_first_not_of(L"0123456789") == std::wstring::npos) {
            result.processId = std::wcstoul(value.c_str(), nullptr, 10);
            hasProcess = true;
        }
    }
    if (!hasProcess || result.computer.empty() || result.started.empty()) return false;
    owner = result;
    return true;
}

bool lockOwnerEnded(const LockOwner& owner) {
    if (owner.computer != computerName()) return false;
    base::unique_handle process(::OpenProcess(PROCESS_QUERY_INFORMATION, FALSE, owner.processId));
    if (!process) return ::GetLastError() == ERROR_INVALID_PARAMETER;  // no such process
    DWORD code = 0;
    if (::GetExitCodeProcess(process.get(), &code) && code != STILL_ACTIVE) return true;
    const std::wstring started = startOf(process.get());
    return !started.empty() && started != owner.started;  // the id now belongs to another process
}

std::wstring describeLockOwner(const LockOwner& owner) {
    return L"process " + std::to_wstring(owner.processId) + L" on " + owner.computer + L", started " + owner.started;
}
