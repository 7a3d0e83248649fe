#pragma once
// UTF-8 conversion. The wide side is UTF-16 code units on every platform, with
// surrogate pairs above U+FFFF.
#include <string>
#include <string_view>

namespace xml {

// Text that must come through unchanged (files): false, leaving text alone, when
// the bytes are not well-formed UTF-8 (a stray or cut-off sequence, an overlong
// form, an encoded surrogate, a value above U+10FFFF). A UTF-8 byte order mark
// is the character U+FEFF.
bool decodeUtf8(std::string_view bytes, std::wstring& text);

// Best effort for display: each invalid sequence becomes one U+FFFD, grouped as
// Windows' code page 65001 groups them in the middle of a text; a sequence cut
// short by the end of the input is one U+FFFD too.
std::wstring utf8ToWide(std::string_view bytes);
// Lone surrogates become U+FFFD.
std::string wideToUtf8(std::wstring_view text);

}  // namespace xml
