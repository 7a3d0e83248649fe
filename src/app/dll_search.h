#pragma once
#include <windows.h>

#include <string>

// Where this process loads DLLs from. The program is run from a Downloads
// folder, often elevated: a DLL that someone put beside it, or in the current
// folder, must never be loaded. The program imports only KnownDLLs, which the
// system always takes from its own folder; every other DLL is delay-loaded,
// after the search was restricted, from the system folder by full path.
namespace dll_search {

// Restricts the search of every later load to the system folder
// (SetDefaultDllDirectories). Where the system lacks that call, the current
// folder is dropped from the search (SetDllDirectoryW(L"")) and false is
// returned. Safe before the C runtime starts: it uses kernel32 only.
bool restrictToSystemFolder();

// Whether restrictToSystemFolder took effect fully.
bool searchRestricted();

// "<system folder>\<name>", empty when the system folder is unknown.
std::wstring systemLibraryPath(const char* name);

// Whether the process's activation context redirects the name to a
// side-by-side assembly (comctl32 version 6): such a DLL is loaded by name.
bool redirectedBySideBySide(const char* name);

// Loads a delay-loaded DLL: from the system folder by full path, or by name
// when side-by-side redirects it. Null on failure, with the last error set.
HMODULE loadSystemLibrary(const char* name);

}  // namespace dll_search
