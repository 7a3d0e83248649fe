#pragma once
// Lists in one text with a separator: the settings' ";" lists, the command
// line's options and their "=" parts.
#include <string>
#include <vector>

// The pieces of text between separators, in order, without the empty ones.
std::vector<std::wstring> splitList(const std::wstring& text, wchar_t separator);
