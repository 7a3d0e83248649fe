#include "xml/xml_names.h"

#include "xml/node_scanner.h"

namespace xml {

bool nameMatches(const wchar_t* name, size_t length, std::wstring_view requested) {
    if (requested.empty()) return true;
    if (requested.size() < length || !namesEqual(name, requested.data(), length)) return false;
    if (requested.size() == length) return true;
    const wchar_t next = requested[length];
    return next == L'\0' || next == L' ' || next == L'=' || next == L'/' || next == L'[' ||
           next == L']';
}

// The name runs from the character after "<", past any whitespace, to the first
// space, tab, LF, CR, "<", ">", "=", "\", "/", "?" or "!", and holds at least one
// character.
bool elementNameMatches(const std::wstring& text, const ElementRecord& element,
                        std::wstring_view requested) {
    if (requested.empty()) return true;
    const size_t n = text.size();
    size_t i = size_t(element.start) + 1;
    while (i < n && isSpace(text[i])) ++i;
    if (i >= n) return false;
    const size_t begin = i++;
    while (i < n) {
        const wchar_t c = text[i];
        if (isSpace(c) || c == L'<' || c == L'>' || c == L'=' || c == L'\\' || c == L'/' ||
            c == L'?' || c == L'!')
            break;
        ++i;
    }
    return nameMatches(text.data() + begin, i - begin, requested);
}

}  // namespace xml
