#pragma once
// Deleting a folder tree safely. Callable from any thread.
#include <windows.h>

#include <string>

// Deletes a folder with everything in it, read-only files included. A junction or
// symbolic link, at the top or inside, is removed itself and never followed, so
// its target stays untouched. False when the folder cannot be listed (a missing
// one too) or an entry cannot be deleted.
bool DeleteDirectoryTree(const std::wstring& path);
