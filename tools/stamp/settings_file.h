#pragma once
// The settings file of the stamping tool: UTF-8 text, one key=value per line;
// blank lines and lines starting with "#" are ignored. Keys are the AppSettings
// field names; blanks around keys and values are dropped.
#include <windows.h>

#include <map>
#include <string>
#include <vector>

// The string id of a settings key; 0 when the key is unknown.
UINT settingStringId(const std::wstring& key);

// Parses the file's bytes into id -> value. False with one line per problem in
// problems (each naming its line) for unknown or repeated keys, lines without
// "=" and values too long for a string table, or one line for text that is not
// UTF-8; values is then left as it was.
bool parseSettingsText(const std::string& bytes, std::map<UINT, std::wstring>& values,
                       std::vector<std::wstring>& problems);

// The settings keys (AppSettings field names) that values has no entry for, in
// the program's order: each would keep the built program's value.
std::vector<std::wstring> missingSettingKeys(const std::map<UINT, std::wstring>& values);
