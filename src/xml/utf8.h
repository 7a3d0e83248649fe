#pragma once
// UTF-8 conversion giving the same characters as Windows' code page 65001
// (MultiByteToWideChar / WideCharToMultiByte with CP_UTF8 and no flags): U+FFFD
// for invalid bytes, grouped as the system groups them; surrogate pairs above
// U+FFFF.
// The wide side is UTF-16 code units on every platform.
#include <string>
#include <string_view>

namespace xml {

std::wstring utf8ToWide(std::string_view bytes);
// Lone surrogates become U+FFFD.
std::string wideToUtf8(std::wstring_view text);

}  // namespace xml
