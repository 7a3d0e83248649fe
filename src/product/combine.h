#pragma once
// Joining a base location and a relative name.
#include <string>

// base + "/" (when missing) joined with relative by UrlCombineW; empty when that fails.
std::wstring combineUrl(const std::wstring& base, const std::wstring& relative);

// folder + "\" (when missing) joined with relative ("/" read as "\") by
// PathCombineW; empty when that fails (for instance beyond 260 characters).
// Like PathCombineW it lets ".." parts and absolute names leave the folder.
std::wstring combinePath(const std::wstring& folder, const std::wstring& relative);

// True when relative, joined to any folder, stays inside it: not absolute, no
// drive or share, no colon and no "..". Trailing dots and spaces, which Windows
// drops from a name, are ignored when looking for "..".
bool staysInsideFolder(const std::wstring& relative);
