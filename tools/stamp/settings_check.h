#pragma once
// What the stamping tool refuses to write into a program: values the program
// would reject at run time, or misread without saying so.
#include <windows.h>

#include <map>
#include <string>
#include <vector>

// One line per problem ("<key>: <what is wrong>") for the string table a
// program would carry (id -> value; ids missing from the map count as empty).
// programFolder is where the program will live, with a trailing backslash: a
// relative installation URL is taken beside it.
std::vector<std::wstring> settingProblems(const std::map<UINT, std::wstring>& table, const std::wstring& programFolder);

// Decimal from 1 to 65535 without sign or leading zeros: the text is compared
// as it is with the language of version_info.xml.
bool isLanguageId(const std::wstring& text);
