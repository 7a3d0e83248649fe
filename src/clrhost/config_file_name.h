#pragma once
// The file name of the custom-action domain's configuration file.
#include <string>

namespace clrhost {

// The assembly name with ".dll" appended unless it already ends in ".dll"
// (any case) and is longer than four characters, then ".config".
std::wstring configFileNameFor(const std::wstring& assemblyName);

}  // namespace clrhost
