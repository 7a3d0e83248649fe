#pragma once
// The /layout=<folder> option: which folder, and the check that it may be used.
// Main thread, during start-up.
#include <string>

#include "app/command_line.h"

// The folder as a full path (a relative one is taken from the current folder);
// empty without the option. Throws windows_error when the option has no single
// value or other pieces show that a "/" or "=" cut the folder apart: such a
// command line names some other folder than the one meant.
std::wstring layoutFolderOption(const OptionTable& options);

// An empty existing folder is used as it is; a missing one is created (its
// parent must exist: nothing is written outside the folder). Returns whether
// this run created it. Throws windows_error for a folder that is not empty, is
// a file, or cannot be created.
bool prepareLayoutFolder(const std::wstring& folder);
