#pragma once
// Deleting a folder tree safely. Callable from any thread.
#include <windows.h>

#include <string>

// Deletes a folder with everything in it, read-only files included. A junction or
// symbolic link, at the top or inside, is removed itself and never followed, so
// its target stays untouched. On Vista and later every folder from the root down
// to the one being emptied is held open, so none of them can be swapped for a
// link while the walk is inside. False when the folder cannot be listed (a
// missing one too) or an entry cannot be deleted; the walk carries on past such
// an entry and GetLastError gives the first failure.
bool DeleteDirectoryTree(const std::wstring& path);
