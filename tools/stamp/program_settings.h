#pragma once
// The settings a built or stamped bootstrapper carries: its own string table,
// read as the program reads it at start-up.
#include <windows.h>

#include <map>
#include <string>

// id -> value for every setting (an id the table lacks reads as empty). False
// with one line in problem when the file is no Windows program or no
// bootstrapper (no progress window template, or none of the settings that
// every bootstrapper carries).
bool readProgramSettings(const std::wstring& program, std::map<UINT, std::wstring>& table, std::wstring& problem);
