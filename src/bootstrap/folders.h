#pragma once
// Folder operations for the download folder. Plain functions with no shared
// state: callable from any thread.
#include <windows.h>

#include <string>

#include "base/directory_tree.h"  // DeleteDirectoryTree, for the download folder

// Creates a folder and its missing parents. True when the folder exists afterwards
// (or the path has no backslash, so there is nothing to create).
bool CreateDirectoryChain(const std::wstring& path);

// Deletes the download folders of earlier runs in root (which ends with a
// backslash): folders named company + "_" + a time stamp (isDownloadFolderName)
// and nothing else; files and other folders are left alone, and nothing at all
// is deleted for a company name that is no plain folder-name part. Silent:
// stops at the first folder that cannot be deleted.
void PurgeOldFolders(const std::wstring& root, const std::wstring& company);

// "<year><month><day><hour><second>" without separators or leading zeros; the
// minute is not part of it.
std::wstring downloadFolderStamp(const SYSTEMTIME& time);

// The Temporary Internet Files folder with one trailing backslash; the temporary
// folder when the system cannot name it.
std::wstring downloadRoot();
