#pragma once
// Name and text helpers of the download steps. Pure functions.
#include <windows.h>

#include <string>

// sentence + ". Error: <code>." (signed decimal), or sentence + "." when code is 0.
std::wstring textWithCode(const std::wstring& sentence, DWORD code);

// The target without a ".deploy" suffix (any case) when the name is longer than
// the suffix itself.
std::wstring withoutDeploySuffix(const std::wstring& target);

// The path up to its last backslash; the whole path when it has none.
std::wstring folderOfTarget(const std::wstring& target);

// What follows the last backslash, then what follows the last "/" of that.
std::wstring baseName(const std::wstring& target);
