#pragma once
// Questions about running processes, answered from a Toolhelp snapshot.
#include <string>

// True when a process whose image name equals executable (lstrcmpiW) runs. The
// first match in the snapshot decides: with sameSession it must also run in this
// process's terminal-services session (the flag is dropped when this process's
// session cannot be determined).
bool IsProcessRunning(const std::wstring& executable, bool sameSession);

// Full path of the executable of a running process with that image name, from
// the process itself (QueryFullProcessImageNameW); the last process that gives
// a path wins. Empty when none runs or none can be asked (before Windows Vista).
std::wstring RunningProcessImagePath(const std::wstring& executable);
