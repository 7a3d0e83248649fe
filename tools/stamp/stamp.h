#pragma once
// Copies a bootstrapper and writes product settings into the copy's string table.
#include <string>
#include <vector>

// Stamps target from source with the settings file. When checked, a table the
// program would reject or misread (settingProblems) is refused, and so is a
// file that leaves settings out unless keepBuiltIn: a left-out key silently
// keeps the built program's (the sample product's) value. Unchecked lets tests
// give the program such a table on purpose. On failure returns false with
// one line per problem in problems and leaves no target behind.
bool stampProgram(const std::wstring& source, const std::wstring& settingsFile, const std::wstring& target,
                  bool checked, bool keepBuiltIn, std::vector<std::wstring>& problems);
