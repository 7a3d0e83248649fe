#pragma once
#include <windows.h>

#include <string>

// Whether this process runs elevated. From major version 6 on, the token's
// elevation (throws windows_error when it cannot be read); before that,
// membership of the built-in Administrators group (false on any failure).
bool processIsElevated(DWORD osMajorVersion);

// Starts the program again through "runas" with the given arguments (none when
// empty). Returns normally when the new copy was started; throws windows_error
// with ShellExecuteW's result otherwise (for example when the user refused).
void relaunchElevated(const std::wstring& exePath, const std::wstring& exeDirectory,
                      const std::wstring& arguments);

// /quiet: the same start through "runas", then waits for the elevated copy and
// returns its exit code (ERROR_INSTALL_FAILURE when the system gave no process
// to wait for). Throws windows_error when it could not be started.
DWORD runElevatedAndWait(const std::wstring& exePath, const std::wstring& exeDirectory,
                         const std::wstring& arguments);
