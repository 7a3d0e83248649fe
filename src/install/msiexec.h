#pragma once
// The system's msiexec.exe, used when no managed custom-action module drives the
// Windows Installer itself, and the restart of closed host applications.
#include <windows.h>

#include <string>

// Runs "<system folder>\msiexec.exe" with the arguments (shown normally or
// hidden) and waits until it ends. True when it succeeded; on false errorText
// holds the reason, or is empty when msiexec has told the user itself (its own
// UI shown, or the user cancelled) or the system folder is unknown.
// exitCode, when given, receives msiexec's exit code (0 when it did not run).
bool RunMsiexec(const std::wstring& arguments, bool showUI, std::wstring& errorText, DWORD* exitCode = nullptr);

// How an ended msiexec's exit code is judged; the same contract as RunMsiexec.
// A restart request (3010, 1641) is a success: the product is installed.
bool JudgeMsiexecExitCode(DWORD exitCode, bool showUI, std::wstring& errorText);

// 3010 (ERROR_SUCCESS_REBOOT_REQUIRED) or 1641 (ERROR_SUCCESS_REBOOT_INITIATED).
bool isRestartRequest(DWORD result);

// Starts a program by its full path, shown normally, and waits at most 10 s for it
// to be ready for input. Failures are not reported.
void StartProgram(const std::wstring& path);
