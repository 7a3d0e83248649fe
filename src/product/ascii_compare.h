#pragma once
// Text comparison of names and values in this program's files: only the ASCII
// letters A to Z are folded, whatever the user's locale.
#include <string>

bool equalsAsciiNoCase(const std::wstring& a, const std::wstring& b);
