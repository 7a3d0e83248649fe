#pragma once
// Copies a bootstrapper and writes product settings into the copy's string table.
#include <string>

// Stamps target from source with the settings file. On failure returns false
// with a one-line reason in error and leaves no target behind.
bool stampProgram(const std::wstring& source, const std::wstring& settingsFile, const std::wstring& target,
                  std::wstring& error);
