#pragma once
// Name and text helpers of the download steps. Pure functions.
#include <windows.h>

#include <string>

// sentence + ". Error: <code>." (signed decimal), or sentence + "." when code is 0.
std::wstring textWithCode(const std::wstring& sentence, DWORD code);
// "Failed to create '<name>' file" with the code, as above.
std::wstring createFailureText(const std::wstring& name, DWORD code);

// The target without a ".deploy" suffix (any case) when the name is longer than
// the suffix itself.
std::wstring withoutDeploySuffix(const std::wstring& target);

// The path up to its last backslash; the whole path when it has none.
std::wstring folderOfTarget(const std::wstring& target);

// What follows the last backslash, then what follows the last "/" of that.
std::wstring baseName(const std::wstring& target);

// Whether a company name can start the download folder's name: not empty, short
// enough for the whole folder name to stay within 255 characters, and free of
// control characters, path separators and wildcards, so the purge's search can
// only ever find this program's own folders.
bool isPlainFolderNamePart(const std::wstring& text);

// Whether name is one that this program gives its download folders: company,
// "_", then the 8 to 12 digits of downloadFolderStamp and nothing else. The
// company part is compared without regard to ASCII case, as the file system does.
bool isDownloadFolderName(const std::wstring& name, const std::wstring& company);
