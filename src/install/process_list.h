#pragma once
// Questions about running processes, answered from a Toolhelp snapshot.
#include <windows.h>

#include <string>
#include <vector>

// One process of a snapshot.
struct ProcessEntry {
    std::wstring exeFile;  // image name, at most 259 characters
    DWORD processId = 0;
    DWORD sessionId = 0;
    bool sessionKnown = false;  // false when ProcessIdToSessionId failed for it
};

// Every process running now, with its terminal-services session.
std::vector<ProcessEntry> ProcessSnapshot();

// True when a process whose image name equals executable (lstrcmpiW) is in the
// list; with a session given, only processes known to run in that session
// count, so another user's copy on a terminal server neither hides nor stands
// in for this user's own.
bool HasProcessInSession(const std::vector<ProcessEntry>& processes, const std::wstring& executable,
                         const DWORD* session);

// True when a process whose image name equals executable runs; with sameSession
// only one in this process's session counts (the flag is dropped when this
// process's session cannot be determined).
bool IsProcessRunning(const std::wstring& executable, bool sameSession);

// Full path of the executable of a running process with that image name, from
// the process itself (QueryFullProcessImageNameW); the last process that gives
// a path wins. Empty when none runs or none can be asked (before Windows Vista).
std::wstring RunningProcessImagePath(const std::wstring& executable);
