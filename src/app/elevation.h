#pragma once
#include <windows.h>

#include <string>

// Whether this process runs elevated. From major version 6 on, the token's
// elevation (throws windows_error when it cannot be read); before that,
// membership of the built-in Administrators group (false on any failure).
bool processIsElevated(DWORD osMajorVersion);

// Starts the program again through "runas" with the given arguments (none when
// empty). Throws windows_error with the shell's SE_ERR result when it was not
// started (for example when the user refused). Without wait returns 0 at once;
// with it, waits for the new copy and returns its exit code
// (ERROR_INSTALL_FAILURE when the system gave no process to wait for).
DWORD relaunchElevated(const std::wstring& exePath, const std::wstring& exeDirectory, const std::wstring& arguments,
                       bool wait);
