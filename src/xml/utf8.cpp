#include "xml/utf8.h"

#include <cassert>
#include <cstdint>

namespace xml {

namespace {

constexpr wchar_t Replacement = 0xFFFD;

void appendUnit(std::string& out, uint32_t c) {
    if (c < 0x80) {
        out += char(c);
    } else if (c < 0x800) {
        out += char(0xC0 | (c >> 6));
        out += char(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += char(0xE0 | (c >> 12));
        out += char(0x80 | ((c >> 6) & 0x3F));
        out += char(0x80 | (c & 0x3F));
    } else {
        out += char(0xF0 | (c >> 18));
        out += char(0x80 | ((c >> 12) & 0x3F));
        out += char(0x80 | ((c >> 6) & 0x3F));
        out += char(0x80 | (c & 0x3F));
    }
}

// One character from s[i] on. A sequence is checked as its value builds up, as
// the system does, so an overlong or surrogate form is rejected together with the
// continuation byte that revealed it, and a value above U+10FFFF before that byte.
// A sequence cut short (by another byte or by the end) ends where it was cut: no
// byte after it is lost. False for an invalid sequence; i ends past its bytes.
bool decodeOne(const unsigned char* s, size_t n, size_t& i, uint32_t& c) {
    assert(i < n);
    const unsigned char lead = s[i++];
    if (lead < 0x80) {
        c = lead;
        return true;
    }
    const int more = lead >= 0xC2 && lead <= 0xDF ? 1 : lead >= 0xE0 && lead <= 0xEF ? 2
                     : lead >= 0xF0 && lead <= 0xF4                             ? 3
                                                                                : 0;
    if (more == 0) return false;
    c = lead & (0x7F >> (more + 1));
    uint32_t bits;
    switch (more) {
    case 3:
        if (i >= n || (bits = s[i] ^ 0x80u) >= 0x40) return false;
        c = (c << 6) | bits;
        ++i;
        if (c < 0x10) return false;
        [[fallthrough]];
    case 2:
        if (i >= n || (bits = s[i] ^ 0x80u) >= 0x40) return false;
        c = (c << 6) | bits;
        if (c >= (0x110000 >> 6)) return false;
        ++i;
        if (c < 0x20) return false;
        if (c >= (0xD800 >> 6) && c <= (0xDFFF >> 6)) return false;
        [[fallthrough]];
    default:
        if (i >= n || (bits = s[i] ^ 0x80u) >= 0x40) return false;
        c = (c << 6) | bits;
        ++i;
        return c >= 0x80;
    }
}

void appendWide(std::wstring& out, uint32_t c) {
    if (c >= 0x10000) {
        c -= 0x10000;
        out += wchar_t(0xD800 | (c >> 10));
        out += wchar_t(0xDC00 | (c & 0x3FF));
    } else {
        out += wchar_t(c);
    }
}

}  // namespace

bool decodeUtf8(std::string_view bytes, std::wstring& text) {
    const auto* s = reinterpret_cast<const unsigned char*>(bytes.data());
    const size_t n = bytes.size();
    // Checked whole before anything is allocated: a large file of other bytes
    // fails at its first bad sequence.
    size_t units = 0;
    for (size_t i = 0; i < n;) {
        uint32_t c;
        if (!decodeOne(s, n, i, c)) return false;
        units += c >= 0x10000 ? 2 : 1;
    }
    std::wstring out;
    out.reserve(units);
    for (size_t i = 0; i < n;) {
        uint32_t c = 0;
        decodeOne(s, n, i, c);
        appendWide(out, c);
    }
    assert(out.size() == units);
    text = std::move(out);
    return true;
}

std::wstring utf8ToWide(std::string_view bytes) {
    std::wstring out;
    out.reserve(bytes.size());
    const auto* s = reinterpret_cast<const unsigned char*>(bytes.data());
    const size_t n = bytes.size();
    for (size_t i = 0; i < n;) {
        uint32_t c;
        appendWide(out, decodeOne(s, n, i, c) ? c : Replacement);
    }
    return out;
}

std::string wideToUtf8(std::wstring_view text) {
    std::string out;
    out.reserve(text.size());
    const size_t n = text.size();
    for (size_t i = 0; i < n; ++i) {
        uint32_t c = static_cast<uint32_t>(text[i]);
        if (c >= 0xD800 && c <= 0xDBFF) {
            const uint32_t next = i + 1 < n ? static_cast<uint32_t>(text[i + 1]) : 0;
            if (next >= 0xDC00 && next <= 0xDFFF) {
                c = 0x10000 + ((c - 0xD800) << 10) + (next - 0xDC00);
                ++i;
            } else {
                c = Replacement;
            }
        } else if ((c >= 0xDC00 && c <= 0xDFFF) || c > 0x10FFFF) {
            c = Replacement;  // a lone low surrogate, or (where wchar_t is 32 bits) no character
        }
        appendUnit(out, c);
    }
    return out;
}

}  // namespace xml
