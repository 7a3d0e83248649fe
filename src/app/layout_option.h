#pragma once
// The /layout=<folder> option: which folder, and the check that it may be used.
// Main thread, during start-up.
#include <windows.h>

#include <string>

#include "app/command_line.h"

// The folder as a full path (a relative one is taken from the current folder);
// left alone without the option. optionCount: what parse returned. Throws
// windows_error when the option has no single value or the command line holds
// options other than /quiet and /log: a "/" or "=" cut the folder apart, and
// what is left names some other folder than the one meant.
void readLayoutFolderOption(const OptionTable& options, int optionCount, std::wstring& folder);

// An empty existing folder is used as it is; a missing one is created (its
// parent must exist: nothing is written outside the folder). Returns whether
// this run created it. Throws windows_error for a folder that is not empty, is
// a file or a link, or cannot be created.
bool prepareLayoutFolder(const std::wstring& folder);

// The one refusal of both: throws windows_error naming the folder (as given
// when it could not be read), with the system's code when there is one.
[[noreturn]] void refuseLayoutFolder(const std::wstring& folder, DWORD code);
