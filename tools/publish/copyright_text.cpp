#include "copyright_text.h"

std::wstring copyrightText(unsigned year, const std::wstring& manufacturer) {
    return L"\x00A9 " + std::to_wstring(year) + L" " + manufacturer;
}
