#include "xml/utf8.h"

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

}  // namespace

std::wstring utf8ToWide(std::string_view bytes) {
    std::wstring out;
    out.reserve(bytes.size());
    const auto* s = reinterpret_cast<const unsigned char*>(bytes.data());
    const size_t n = bytes.size();
    size_t i = 0;
    while (i < n) {
        const unsigned char b = s[i];
        if (b < 0x80) {
            out += wchar_t(b);
            ++i;
            continue;
        }
        // Lead byte: how many continuation bytes follow and the range allowed for
        // the first of them (which rules out overlongs, surrogates and > U+10FFFF).
        int more;
        unsigned char low = 0x80, high = 0xBF;
        uint32_t c;
        if (b >= 0xC2 && b <= 0xDF) {
            more = 1;
            c = b & 0x1F;
        } else if (b >= 0xE0 && b <= 0xEF) {
            more = 2;
            c = b & 0x0F;
            if (b == 0xE0) low = 0xA0;
            if (b == 0xED) high = 0x9F;
        } else if (b >= 0xF0 && b <= 0xF4) {
            more = 3;
            c = b & 0x07;
            if (b == 0xF0) low = 0x90;
            if (b == 0xF4) high = 0x8F;
        } else {
            out += Replacement;
            ++i;
            continue;
        }
        ++i;
        bool complete = true;
        for (int k = 0; k < more; ++k) {
            if (i >= n || s[i] < low || s[i] > high) {
                complete = false;
                break;
            }
            c = (c << 6) | (s[i] & 0x3F);
            ++i;
            low = 0x80;
            high = 0xBF;
        }
        if (!complete) {
            out += Replacement;  // the maximal subpart read so far; the bad byte starts afresh
        } else if (c >= 0x10000) {
            c -= 0x10000;
            out += wchar_t(0xD800 | (c >> 10));
            out += wchar_t(0xDC00 | (c & 0x3FF));
        } else {
            out += wchar_t(c);
        }
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
