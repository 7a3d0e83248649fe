#pragma once
// The /layout=<folder> option: which folder, and the check that it may be used.
// Main thread, during start-up.
#include <windows.h>

#include <string>

#include "app/command_line.h"

// What prepareLayoutFolder came to.
enum class LayoutFolder {
    Absent,   // no /layout: folder untouched
    Created,  // this run made it
    Empty,    // it existed, empty: used as it is
    Refused,  // folder is as far as it could be read; code says why (0: not a new or empty folder)
};

// With /layout, folder becomes the full path (a relative one is taken from the
// current folder); an empty existing folder is used as it is, a missing one is
// created (its parent must exist: nothing is written outside it). optionCount:
// what parse returned. Refused for a folder that is not empty, is a file or a
// link, or cannot be created, and for a command line with options other than
// /quiet and /log beside it: a "/" or "=" cut the folder apart, and what is
// left names some other folder than the one meant.
LayoutFolder prepareLayoutFolder(const OptionTable& options, int optionCount, std::wstring& folder, DWORD& code);
