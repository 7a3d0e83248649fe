#pragma once
// One copy at a time: a global atom named after the program file plus a
// top-level window of the settings' window class.
#include <windows.h>

#include <string>

// True when the atom exists and a top-level window of the class is found. A
// stale atom (no such window) is deleted and false is returned.
bool anotherInstanceRunning(const std::wstring& atomName, const std::wstring& className);

// True when some top-level window has the class (compared without regard to case).
bool topLevelWindowOfClassExists(const std::wstring& className);
