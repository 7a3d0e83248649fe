#include "install/process_list.h"

#include <tlhelp32.h>

#include "base/unique_any.h"

namespace {

// Calls visit(entry) for every process in a fresh snapshot until it returns false.
template <typename Visit>
void forEachProcess(Visit visit) {
    base::unique_file snapshot(::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    if (!snapshot) return;
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof entry;
    for (BOOL more = ::Process32FirstW(snapshot.get(), &entry); more;
         more = ::Process32NextW(snapshot.get(), &entry)) {
        entry.szExeFile[MAX_PATH - 1] = L'\0';
        if (!visit(entry)) return;
    }
}

using QueryImageNameFunction = BOOL(WINAPI*)(HANDLE, DWORD, LPWSTR, PDWORD);

// Looked up at run time: the program must still load on Windows XP, which lacks it.
QueryImageNameFunction queryImageName() {
    HMODULE kernel = ::GetModuleHandleW(L"kernel32.dll");
    if (!kernel) return nullptr;
    return reinterpret_cast<QueryImageNameFunction>(
        reinterpret_cast<void*>(::GetProcAddress(kernel, "QueryFullProcessImageNameW")));
}

}  // namespace

std::vector<ProcessEntry> ProcessSnapshot() {
    std::vector<ProcessEntry> processes;
    forEachProcess([&](const PROCESSENTRY32W& entry) {
        ProcessEntry process;
        process.exeFile = entry.szExeFile;
        process.processId = entry.th32ProcessID;
        process.sessionKnown = ::ProcessIdToSessionId(entry.th32ProcessID, &process.sessionId) != FALSE;
        processes.push_back(process);
        return true;
    });
    return processes;
}

bool HasProcessInSession(const std::vector<ProcessEntry>& processes, const std::wstring& executable,
                         const DWORD* session) {
    for (const ProcessEntry& process : processes) {
        if (::lstrcmpiW(process.exeFile.c_str(), executable.c_str()) != 0) continue;
        if (session == nullptr || (process.sessionKnown && process.sessionId == *session)) return true;
    }
    return false;
}

bool IsProcessRunning(const std::wstring& executable, bool sameSession) {
    DWORD ownSession = 0;
    if (sameSession && !::ProcessIdToSessionId(::GetCurrentProcessId(), &ownSession)) sameSession = false;
    return HasProcessInSession(ProcessSnapshot(), executable, sameSession ? &ownSession : nullptr);
}

std::wstring RunningProcessImagePath(const std::wstring& executable) {
    const QueryImageNameFunction query = queryImageName();
    if (!query) return std::wstring();

    std::wstring path;
    forEachProcess([&](const PROCESSENTRY32W& entry) {
        if (::lstrcmpiW(entry.szExeFile, executable.c_str()) != 0) return true;
        base::unique_handle process(::OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, entry.th32ProcessID));
        if (!process) return true;
        wchar_t buffer[MAX_PATH * 4];
        DWORD length = ARRAYSIZE(buffer);
        if (query(process.get(), 0, buffer, &length) && length > 0) path.assign(buffer, length);
        return true;
    });
    return path;
}
