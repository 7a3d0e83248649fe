#pragma once
// Lists in the settings are one text with a separator (";").
#include <string>
#include <vector>

// The pieces of text between separators, in order, without the empty ones.
std::vector<std::wstring> splitList(const std::wstring& text, wchar_t separator);
