#include "install/running_hosts.h"

#include <algorithm>
#include <cwchar>

#include "diagnostics/diagnostic_log.h"
#include "install/host_executable.h"
#include "product/host_table.h"
#include "install/process_list.h"
#include "product/split_list.h"

namespace {

constexpr int slotCount = 13;
const wchar_t placeholder[] = L"$host$";
const wchar_t messageTemplate[] =
    L"You have the following applications running on your machine:\r\n"
    L"  %ls\r\n  %ls\r\n  %ls\r\n  %ls\r\n  %ls\r\n  %ls\r\n  %ls\r\n  %ls\r\n  %ls\r\n  %ls\r\n  %ls\r\n"
    L"  %ls\r\n  %ls\r\n\r\n"
    L"Please close the above application(s) for the update process to complete.\r\n"
    L"Do you want the application(s) to start automatically after the update is installed?";

bool isBlank(wchar_t c) { return c == L' ' || c == L'\t' || c == L'\r' || c == L'\n' || c == L'\v' || c == L'\f'; }

std::wstring trimmed(const std::wstring& text) {
    size_t begin = 0;
    size_t end = text.size();
    while (begin < end && isBlank(text[begin])) ++begin;
    while (end > begin && isBlank(text[end - 1])) --end;
    return text.substr(begin, end - begin);
}

// The row's executable path, trying its type libraries in order.
std::wstring hostExecutable(const HostApplication& host) {
    std::wstring path;
    bool triedOne = false;
    for (const wchar_t* typeLibrary : host.typeLibraries) {
        if (!typeLibrary) continue;
        triedOne = true;
        path = FindHostExecutable(host.executable, typeLibrary);
        if (!path.empty()) break;
    }
    if (!triedOne) path = FindHostExecutable(host.executable, std::wstring());
    return path;
}

}  // namespace

std::wstring BuildRunningHostsMessage(const std::vector<std::wstring>& runningHosts) {
    const wchar_t* slots[slotCount];
    for (int i = 0; i < slotCount; ++i) {
        slots[i] = i < static_cast<int>(runningHosts.size()) ? runningHosts[i].c_str() : placeholder;
    }
    size_t length = wcslen(messageTemplate) + 1;
    for (const wchar_t* slot : slots) length += wcslen(slot);
    std::wstring text(length, L'\0');
    const int written = swprintf(&text[0], text.size(), messageTemplate, slots[0], slots[1], slots[2], slots[3],
                                 slots[4], slots[5], slots[6], slots[7], slots[8], slots[9], slots[10], slots[11],
                                 slots[12]);
    text.resize(written > 0 ? static_cast<size_t>(written) : 0);

    const size_t first = text.find(placeholder);
    if (first == std::wstring::npos) return text;
    std::wstring head = trimmed(text.substr(0, first));
    if (!head.empty() && head.back() == L'\n') head.pop_back();
    if (!head.empty() && head.back() == L'\r') head.pop_back();
    const size_t last = text.rfind(placeholder);
    return head + text.substr(last + wcslen(placeholder));
}

void CheckRunningHosts(const RunningHostsCheck& check, HostPaths& hostPaths, bool& restartApplications) {
    if (diagnostics::logging()) {
        diagnostics::log(L"running-host check: hosts \"" + check.hostApplication + L"\", warning wanted " +
                         diagnostics::yesNo(check.showRunningApplicationsWarning) + L", earlier release installed " +
                         diagnostics::yesNo(check.previousVersionFound));
    }
    if (check.hostApplication.empty() || !check.showRunningApplicationsWarning || !check.previousVersionFound) return;

    std::vector<const HostApplication*> hosts;
    for (const std::wstring& name : splitList(check.hostApplication, L';')) {
        // Names the table does not know are ignored.
        const HostApplication* host = findHostApplication(name);
        if (host && std::find(hosts.begin(), hosts.end(), host) == hosts.end()) hosts.push_back(host);
    }

    bool asked = false;
    for (bool first = true;; first = false) {
        // One pass a second while hosts run; the first pass at once, so that an
        // update with no host running loses no time here.
        if (!first) ::Sleep(check.pauseMs);
        std::vector<std::wstring> running;
        for (const HostApplication* host : hosts) {
            if (IsProcessRunning(host->executable, true)) {
                running.push_back(host->displayName);
                if (hostPaths.find(host->displayName) == hostPaths.end()) {
                    hostPaths[host->displayName] = hostExecutable(*host);
                }
            }
        }
        if (running.empty()) {
            diagnostics::log(asked ? L"running-host check: every host has been closed"
                                   : L"running-host check: no host runs");
            return;
        }
        if (!asked) {
            asked = true;
            const std::wstring message = BuildRunningHostsMessage(running);
            diagnostics::log(L"running-host check: asking \"" + message + L"\"");
            const int answer = ::MessageBoxW(check.owner, message.c_str(), check.caption.c_str(),
                                             MB_YESNO | MB_ICONWARNING | MB_DEFBUTTON2);
            if (answer == IDYES) restartApplications = true;
            diagnostics::log(L"running-host check: the answer is " +
                             std::wstring(answer == IDYES ? L"Yes (start them again afterwards)"
                                                          : answer == IDNO ? L"No" : L"none (the box failed)") +
                             L"; waiting until they are closed");
        }
    }
}
