// Reads of the current element: attribute values and raw element text.
#include "xml/xml_document.h"

#include "xml/node_scanner.h"
#include "xml/xml_names.h"

#include <algorithm>
#include <cassert>

using xml::ElementRecord;

namespace {

struct Token {
    size_t begin;
    size_t end;
    bool quoted;
};

// One token of a start tag within [i, end): a quoted run without its quotes, or
// an unquoted run of at least one character. A value (after "=") runs to
// whitespace or ">", any other token also stops at "=", "/" and "?".
bool nextToken(const wchar_t* s, size_t& i, size_t end, bool value, Token& t) {
    while (i < end && xml::isSpace(s[i])) ++i;
    if (i >= end) return false;
    const wchar_t c = s[i];
    if (c == L'"' || c == L'\'') {
        const size_t begin = i + 1;
        size_t j = begin;
        while (j < end && s[j] != c) ++j;
        t = Token{begin, j, true};
        i = j < end ? j + 1 : end;
        return true;
    }
    const size_t begin = i;
    while (i < end) {
        const wchar_t d = s[i];
        if (xml::isSpace(d) || d == L'>') break;
        if (!value && (d == L'=' || d == L'/' || d == L'?')) break;
        ++i;
    }
    if (i == begin) ++i;
    t = Token{begin, i, false};
    return true;
}

bool startsWith(const wchar_t* s, size_t end, size_t i, const wchar_t* word) {
    for (; *word; ++word, ++i) {
        if (i >= end || s[i] != *word) return false;
    }
    return true;
}

// Decodes the five named references and numeric ones (decimal, or hexadecimal
// with a lower-case x) whose ";" comes within six characters after "&#"; a value
// above U+FFFF becomes a surrogate pair. Any other "&" is kept as it is.
std::wstring decodeValue(const wchar_t* s, size_t begin, size_t end) {
    static const struct {
        const wchar_t* name;
        wchar_t value;
    } named[] = {{L"lt;", L'<'}, {L"amp;", L'&'}, {L"gt;", L'>'}, {L"apos;", L'\''}, {L"quot;", L'"'}};
    std::wstring out;
    out.reserve(end - begin);
    for (size_t i = begin; i < end; ++i) {
        const wchar_t c = s[i];
        if (c != L'&') {
            out += c;
            continue;
        }
        bool decoded = false;
        for (const auto& ref : named) {
            if (startsWith(s, end, i + 1, ref.name)) {
                out += ref.value;
                i += std::char_traits<wchar_t>::length(ref.name);
                decoded = true;
                break;
            }
        }
        if (decoded) continue;
        if (i + 1 < end && s[i + 1] == L'#') {
            size_t semicolon = i + 2;
            const size_t limit = std::min(end, i + 2 + 7);
            while (semicolon < limit && s[semicolon] != L';') ++semicolon;
            if (semicolon < limit) {
                size_t k = i + 2;
                const bool hex = s[k] == L'x';
                if (hex) ++k;
                uint32_t value = 0;
                size_t digits = 0;
                for (; k < semicolon; ++k, ++digits) {
                    const wchar_t d = s[k];
                    if (d >= L'0' && d <= L'9')
                        value = value * (hex ? 16 : 10) + uint32_t(d - L'0');
                    else if (hex && d >= L'a' && d <= L'f')
                        value = value * 16 + uint32_t(d - L'a' + 10);
                    else if (hex && d >= L'A' && d <= L'F')
                        value = value * 16 + uint32_t(d - L'A' + 10);
                    else
                        break;  // what follows the digits up to ";" is ignored
                }
                // The six-character window keeps every value within U+FFFFF, so
                // each one has a UTF-16 form.
                assert(value <= 0xFFFFF);
                if (digits > 0 && value != 0) {
                    if (value >= 0x10000) {  // UTF-16 text: a surrogate pair
                        value -= 0x10000;
                        out += wchar_t(0xD800 | (value >> 10));
                        out += wchar_t(0xDC00 | (value & 0x3FF));
                    } else {
                        out += wchar_t(value);
                    }
                    i = semicolon;
                    continue;
                }
            }
        }
        out += c;
    }
    return out;
}

}  // namespace

// The tokens of the current element's start tag: the tag name, then names, "="
// and values. A value never reaches past the start tag.
std::wstring XmlDocument::getAttribute(std::wstring_view name) const {
    if (current_ == 0) return {};
    const ElementRecord& e = index_.at(current_);
    const wchar_t* s = text_.data();
    const size_t end = std::min(text_.size(), size_t(e.start) + size_t(e.startTagLength()));
    size_t i = size_t(e.start) + 1;
    Token t;
    if (!nextToken(s, i, end, false, t)) return {};  // the tag name
    bool matched = false;
    bool value = false;
    while (nextToken(s, i, end, value, t)) {
        if (!t.quoted && (s[t.begin] == L'>' || s[t.begin] == L'/' || s[t.begin] == L'?')) break;
        if (value) {
            if (matched) return decodeValue(s, t.begin, t.end);
            value = false;
            continue;
        }
        if (!t.quoted && t.end - t.begin == 1 && s[t.begin] == L'=') {
            value = true;
            continue;
        }
        if (matched) return {};  // a name without a value
        matched = xml::nameMatches(s + t.begin, t.end - t.begin, name);
    }
    return {};
}

std::wstring XmlDocument::getElementText() const {
    if (current_ == 0) return {};
    const ElementRecord& e = index_.at(current_);
    const size_t begin = size_t(e.start) + size_t(e.startTagLength());
    const size_t end = std::min(text_.size(), size_t(e.start) + size_t(e.length) - size_t(e.endTagLength()));
    if (end <= begin) return {};
    return text_.substr(begin, end - begin);
}
