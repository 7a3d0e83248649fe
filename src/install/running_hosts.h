#pragma once
// Before an update replaces the add-in's files, the Office hosts it lives in must
// be closed: the user is told which ones run, asked once whether to start them
// again afterwards, and the installation waits until they are all closed.
// Runs on the pipeline's worker thread; the question box has its own modal loop.
#include <windows.h>

#include <map>
#include <string>
#include <vector>

// Display name of a running host → full path of its executable (possibly empty).
using HostPaths = std::map<std::wstring, std::wstring>;

struct RunningHostsCheck {
    std::wstring hostApplication;               // ";"-separated configured names
    bool showRunningApplicationsWarning = true;
    bool previousVersionFound = false;          // a first installation never waits
    HWND owner = nullptr;                       // of the question box
    std::wstring caption;                       // product name
    DWORD pauseMs = 1000;                       // between passes
};

// The question's text for the hosts found running; only the first 13 are listed.
std::wstring BuildRunningHostsMessage(const std::vector<std::wstring>& runningHosts);

// Waits until no configured host runs in this session, asking the user once
// (Yes sets restartApplications). Records each running host's executable in
// hostPaths the first time it is seen. Returns at once when there is nothing to
// check; otherwise only when every configured host has been closed.
void CheckRunningHosts(const RunningHostsCheck& check, HostPaths& hostPaths, bool& restartApplications);
