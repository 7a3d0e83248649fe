#include "xml/utf8.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#ifdef _WIN32
#include <windows.h>
#endif

using xml::utf8ToWide;
using xml::wideToUtf8;

namespace {

std::wstring units(std::initializer_list<unsigned> list) {
    std::wstring out;
    for (unsigned u : list) out += wchar_t(u);
    return out;
}

}  // namespace

// Valid sequences of every length convert, with a surrogate pair above U+FFFF, and back again.
TEST(Utf8, ValidRoundTrip) {
    const std::string bytes = "a\xC3\xA9\xE2\x82\xAC\xEF\xBB\xBF\xF0\x9F\x98\x80\xF4\x8F\xBF\xBF";
    const std::wstring wide = units({'a', 0xE9, 0x20AC, 0xFEFF, 0xD83D, 0xDE00, 0xDBFF, 0xDFFF});
    EXPECT_EQ(wide, utf8ToWide(bytes));
    EXPECT_EQ(bytes, wideToUtf8(wide));
    EXPECT_EQ(L"", utf8ToWide(""));
}

// Invalid bytes become U+FFFD, grouped as the system groups them: a form found bad
// by its value goes with the byte that showed it; a sequence cut off loses no byte after it.
TEST(Utf8, InvalidBytesBecomeReplacement) {
    const unsigned R = 0xFFFD;
    EXPECT_EQ(units({R, 'a'}), utf8ToWide("\x80" "a"));
    EXPECT_EQ(units({R, R}), utf8ToWide("\xC0\xAF"));              // lead bytes of overlongs
    EXPECT_EQ(units({R, R}), utf8ToWide("\xE0\x80\xAF"));         // overlong three-byte form
    EXPECT_EQ(units({R, R}), utf8ToWide("\xED\xA0\x80"));         // an encoded surrogate
    EXPECT_EQ(units({R, R, R}), utf8ToWide("\xF4\x90\x80\x80"));  // above U+10FFFF
    EXPECT_EQ(units({R, 'a'}), utf8ToWide("\xE2\x82" "a"));        // broken, then ASCII
    EXPECT_EQ(units({R}), utf8ToWide("\xF0\x9F\x98"));             // cut off at the end
    EXPECT_EQ(units({'x', R, 'z'}), utf8ToWide("x\xF3\x80" "z"));  // cut off near the end
    EXPECT_EQ(units({'<', R, '>'}), utf8ToWide("<\xE2>"));
    EXPECT_EQ(units({R, R}), utf8ToWide("\xFE\xFF"));
    EXPECT_EQ(units({R, 0xE9}), utf8ToWide("\xE2\xC3\xA9"));
    EXPECT_EQ(units({0xD7FF, 0xFFFE}), utf8ToWide("\xED\x9F\xBF\xEF\xBF\xBE"));
}

// Strict decoding takes well-formed UTF-8 only, a byte order mark included, and
// leaves the text alone for anything else.
TEST(Utf8, StrictDecodingRefusesWhatIsNotUtf8) {
    using namespace std::string_literals;  // bytes with NULs in them
    std::wstring text = L"kept";
    const std::string refused[] = {
        "caf\xE9"s,                                   // ISO-8859-1
        "\xFF\xFE<\0a\0/\0>\0"s, "\xFE\xFF\0<\0a"s,  // UTF-16 with a byte order mark
        "\xC0\xAF"s, "\xE0\x80\xAF"s, "\xF0\x80\x80\xAF"s,  // overlong
        "\xED\xA0\x80"s, "\xED\xBF\xBF"s,                // surrogates
        "\xF4\x90\x80\x80"s, "\xF8\x88\x80\x80\x80"s,   // above U+10FFFF
        "<a/>\xF0\x9F\x98"s, "<a/>\xC3"s, "\x80"s,      // cut off, stray continuation
    };
    for (const std::string& bytes : refused) {
        EXPECT_FALSE(xml::decodeUtf8(bytes, text)) << bytes;
        EXPECT_EQ(L"kept", text);
    }
    ASSERT_TRUE(xml::decodeUtf8("\xEF\xBB\xBF<a>\0\xF4\x8F\xBF\xBF\xEF\xBF\xBE\xEF\xBF\xBD</a>"s, text));
    EXPECT_EQ(units({0xFEFF, '<', 'a', '>', 0, 0xDBFF, 0xDFFF, 0xFFFE, 0xFFFD, '<', '/', 'a', '>'}), text);
    EXPECT_TRUE(xml::decodeUtf8("", text));
    EXPECT_EQ(L"", text);
}

// Lone surrogates cannot be written as UTF-8 and become U+FFFD.
TEST(Utf8, LoneSurrogatesBecomeReplacement) {
    EXPECT_EQ("\xEF\xBF\xBD" "a", wideToUtf8(units({0xD800, 'a'})));
    EXPECT_EQ("\xEF\xBF\xBD", wideToUtf8(units({0xDC00})));
    EXPECT_EQ("\xEF\xBF\xBD\xEF\xBF\xBD", wideToUtf8(units({0xDBFF, 0xDBFF})));
}

#ifdef _WIN32

namespace {

std::wstring systemToWide(const std::string& bytes) {
    if (bytes.empty()) return {};
    const int n = ::MultiByteToWideChar(CP_UTF8, 0, bytes.data(), int(bytes.size()), nullptr, 0);
    std::wstring out(size_t(n), L'\0');
    ::MultiByteToWideChar(CP_UTF8, 0, bytes.data(), int(bytes.size()), &out[0], n);
    return out;
}

std::string systemToUtf8(const std::wstring& text) {
    if (text.empty()) return {};
    const int n = ::WideCharToMultiByte(CP_UTF8, 0, text.data(), int(text.size()), nullptr, 0, nullptr, nullptr);
    std::string out(size_t(n), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, text.data(), int(text.size()), &out[0], n, nullptr, nullptr);
    return out;
}

std::string hex(const std::string& s) {
    std::string out;
    for (unsigned char c : s) {
        char buf[4];
        snprintf(buf, sizeof buf, "%02X ", c);
        out += buf;
    }
    return out;
}

}  // namespace

// The conversion gives the system's characters for every short sequence of telling bytes
// and for random byte strings. ASCII after each keeps the system off its end-of-input
// rule (a cut-off sequence there takes the rest of the input), which is not followed.
TEST(Utf8, MatchesSystemConversion) {
    const unsigned char telling[] = {0x00, 0x41, 0x7F, 0x80, 0x8F, 0x90, 0x9F, 0xA0, 0xBF, 0xC0, 0xC1, 0xC2,
                                     0xDF, 0xE0, 0xE1, 0xEC, 0xED, 0xEE, 0xEF, 0xF0, 0xF1, 0xF3, 0xF4, 0xF5, 0xFF};
    const size_t k = sizeof telling;
    int mismatches = 0;
    for (size_t a = 0; a < k; ++a)
        for (size_t b = 0; b < k; ++b)
            for (size_t c = 0; c < k; ++c) {
                const std::string s{char(telling[a]), char(telling[b]), char(telling[c]), char(0x80), 'z'};
                for (size_t len = 1; len <= s.size(); ++len) {
                    const std::string part = s.substr(0, len) + "zzz";
                    if (utf8ToWide(part) != systemToWide(part) && ++mismatches < 10)
                        ADD_FAILURE() << "bytes " << hex(part);
                }
            }
    std::mt19937 random(12345);
    for (int i = 0; i < 20000; ++i) {
        std::string s(size_t(random() % 12), '\0');
        for (char& ch : s) ch = char(random() % 4 == 0 ? telling[random() % k] : random() % 256);
        s += "zzz";
        if (utf8ToWide(s) != systemToWide(s) && ++mismatches < 10) ADD_FAILURE() << "bytes " << hex(s);
    }
    EXPECT_EQ(0, mismatches);
}

// Wide to UTF-8 gives the system's bytes, lone surrogates included.
TEST(Utf8, MatchesSystemConversionBack) {
    std::mt19937 random(777);
    const unsigned interesting[] = {0x41, 0x7F, 0x80, 0x7FF, 0x800, 0xD7FF, 0xD800, 0xDBFF, 0xDC00, 0xDFFF, 0xE000, 0xFFFD, 0xFFFF};
    int mismatches = 0;
    for (int i = 0; i < 20000; ++i) {
        std::wstring s(size_t(random() % 8), L'\0');
        for (wchar_t& ch : s) ch = wchar_t(interesting[random() % (sizeof interesting / sizeof interesting[0])]);
        if (wideToUtf8(s) != systemToUtf8(s) && ++mismatches < 10) ADD_FAILURE() << "text of " << s.size();
    }
    EXPECT_EQ(0, mismatches);
}

#endif
