#pragma once
// The settings file of the stamping tool: UTF-8 text, one key=value per line;
// blank lines and lines starting with "#" are ignored. Keys are the AppSettings
// field names; blanks around keys and values are dropped.
#include <windows.h>

#include <map>
#include <string>

// The string id of a settings key; 0 when the key is unknown.
UINT settingStringId(const std::wstring& key);

// Parses the file's bytes into id -> value. False with a one-line reason in
// error (naming the line) for unknown or repeated keys, lines without "=",
// text that is not UTF-8 and values too long for a string table.
bool parseSettingsText(const std::string& bytes, std::map<UINT, std::wstring>& values, std::wstring& error);
