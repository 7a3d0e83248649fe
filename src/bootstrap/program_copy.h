#pragma once
// A copy of this program with one string-table setting changed: what a layout
// puts beside the release so that it installs from there. Any thread.
#include <windows.h>

#include <string>

// Copies this program's file to target and sets string stringId to value in
// every language of its string-table block, through the system's resource
// update functions. False with GetLastError on failure; the copy may then exist.
bool WriteProgramCopy(const wchar_t* programPath, const wchar_t* target, UINT stringId, const wchar_t* value);
