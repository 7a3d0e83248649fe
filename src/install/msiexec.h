#pragma once
// The system's msiexec.exe, used when no managed custom-action module drives the
// Windows Installer itself, and the restart of closed host applications.
#include <windows.h>

#include <string>

// Runs "<system folder>\msiexec.exe" with the arguments (shown normally or
// hidden) and waits until it ends. True when it succeeded; on false errorText
// holds the reason, or is empty when msiexec has told the user itself (its own
// UI shown, or the user cancelled) or the system folder is unknown.
bool RunMsiexec(const std::wstring& arguments, bool showUI, std::wstring& errorText);

// How an ended msiexec's exit code is judged; the same contract as RunMsiexec.
// 3010 (restart required) is a failure like any other non-zero code.
bool JudgeMsiexecExitCode(DWORD exitCode, bool showUI, std::wstring& errorText);

// Starts a program by its full path, shown normally, and waits at most 10 s for it
// to be ready for input. Failures are not reported.
void StartProgram(const std::wstring& path);
