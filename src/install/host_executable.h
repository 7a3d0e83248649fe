#pragma once
// Where the executable of a running host application lives, so that it can be
// started again after the update.
#include <string>
#include <vector>

// Path of the running process's executable by image name, from WMI; the last
// process listed wins. Empty when WMI is not available or gives no path.
std::wstring QueryWmiExecutablePath(const std::wstring& executable);

// The full path of the host's executable, possibly empty: WMI first, then the
// running process itself, then the folders of the host's registered type
// library (when typeLibrary is not empty).
std::wstring FindHostExecutable(const std::wstring& executable, const std::wstring& typeLibrary);

// The last folder of TypeLibraryFolders whose copy of executable has a non-zero
// file version, joined with executable; empty when none qualifies.
std::wstring FindHostByTypeLibrary(const std::wstring& typeLibrary, const std::wstring& executable);

// Folders of the files registered for the type library: for each registered
// version in registry order, the win32 and then the win64 entry of locale 0,
// when it names an existing file.
std::vector<std::wstring> TypeLibraryFolders(const std::wstring& typeLibrary);
