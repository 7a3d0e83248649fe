#pragma once
// Text written into XML so that a reader gives back exactly the text.
#include <string>

namespace xml {

// "&", "<" and ">" as references; with inAttribute also the double quote, for
// a value written between double quotes.
std::wstring escapedText(const std::wstring& text, bool inAttribute);

}  // namespace xml
