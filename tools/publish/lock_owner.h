#pragma once
// Who holds a lock file: the computer, the process id and the process's start,
// written into the lock by its owner so that a run that finds the lock can name
// it and tell whether that process has ended (a process id alone may be reused).
#include <string>

struct LockOwner {
    std::wstring computer;
    unsigned long processId = 0;
    std::wstring started;  // "2026-12-09 03:40:12.345 UTC"
};

// This process, as its lock names it.
LockOwner currentLockOwner();

// The lock's text for the owner (UTF-8 lines "key=value"), and back. False when
// the text names no owner (for one, a lock just made, not yet written).
std::string lockText(const LockOwner& owner);
bool parseLockText(const std::string& text, LockOwner& owner);

// True only when the owner ran on this computer and no process with its id and
// start runs now; an owner elsewhere, or one this process may not look at, counts
// as running.
bool lockOwnerEnded(const LockOwner& owner);

// "process 1234 on HOST, started 2026-12-09 03:40:12.345 UTC"
std::wstring describeLockOwner(const LockOwner& owner);
