#pragma once
// The two ways DeleteDirectoryTree walks a tree; it picks the first where the
// system has the calls. Both carry on past an entry they cannot delete and
// return false with the first failure's error.
#include <windows.h>

#include <string>

#include "base/unique_any.h"

namespace base {
namespace tree {

// Vista and later: every entry is opened as itself and checked, listed and
// deleted through its handle, while every folder from the root down stays open
// (see openEntry). False with ERROR_PROC_NOT_FOUND where the calls are missing.
bool deleteByHandles(const std::wstring& path);

// Windows 2000 and XP: listed by path and deleted by path.
bool deleteByPaths(const std::wstring& path);

// An entry opened the way the handle walk holds it: the entry itself, never a
// link's target, and shared with everyone but a deleter, so that while it is
// open nobody can rename it away (and put a link in its place). folder asks for
// the right to list it.
unique_file openEntry(const std::wstring& path, bool folder);

}  // namespace tree
}  // namespace base
