#pragma once
// Name rules shared by the parse and the reads. Names compare with the IgnoreCase
// rule: only the ASCII letters A-Z fold to a-z.
#include "xml/element_index.h"

#include <cstddef>
#include <string>
#include <string_view>

namespace xml {

inline wchar_t foldCase(wchar_t c) { return c >= L'A' && c <= L'Z' ? wchar_t(c + 32) : c; }

// Two names of the same length are equal under the case rule.
inline bool namesEqual(const wchar_t* a, const wchar_t* b, size_t length) {
    for (size_t i = 0; i < length; ++i) {
        if (a[i] != b[i] && foldCase(a[i]) != foldCase(b[i])) return false;
    }
    return true;
}

// A name read from the text matches a requested name when its characters equal
// the first ones of the request and the request ends there or goes on with a
// space, "=", "/", "[" or "]". An empty request matches any name.
bool nameMatches(const wchar_t* name, size_t length, std::wstring_view requested);

// The tag name of an element as a search sees it, tested against a request.
bool elementNameMatches(const std::wstring& text, const ElementRecord& element,
                        std::wstring_view requested);

}  // namespace xml
