#pragma once
// The copyright line publish settings writes for the version resource.
#include <string>

// "© <year> <manufacturer>".
std::wstring copyrightText(unsigned year, const std::wstring& manufacturer);
