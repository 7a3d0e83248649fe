#pragma once
// What a name on an installation site may hold: it becomes a folder or file
// name on the site, part of a URL, and text in version_info.xml that the
// bootstrapper reads without unescaping.
#include <string>

// Empty when text can be such a name; otherwise what is wrong with it.
std::wstring sitePathPartProblem(const std::wstring& text);

// folder and name joined with one backslash (a "/" at the folder's end counts).
std::wstring sitePath(const std::wstring& folder, const std::wstring& name);
