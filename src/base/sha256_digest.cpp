#include "base/sha256_digest.h"

namespace {

int hexValue(wchar_t c) {
    if (c >= L'0' && c <= L'9') return c - L'0';
    if (c >= L'a' && c <= L'f') return c - L'a' + 10;
    if (c >= L'A' && c <= L'F') return c - L'A' + 10;
    return -1;
}

}  // namespace

bool parseSha256Digest(const std::wstring& text, Sha256Digest& digest) {
    if (text.size() != 2 * Sha256Digest::size) return false;
    Sha256Digest parsed;
    for (size_t i = 0; i < Sha256Digest::size; ++i) {
        const int high = hexValue(text[2 * i]);
        const int low = hexValue(text[2 * i + 1]);
        if (high < 0 || low < 0) return false;
        parsed.bytes[i] = static_cast<unsigned char>(high * 16 + low);
    }
    parsed.present = true;
    digest = parsed;
    return true;
}

bool sameDigest(const Sha256Digest& digest, const unsigned char (&bytes)[Sha256Digest::size]) {
    if (!digest.present) return false;
    // Not secret: a plain comparison is enough.
    for (size_t i = 0; i < Sha256Digest::size; ++i) {
        if (digest.bytes[i] != bytes[i]) return false;
    }
    return true;
}

std::wstring sha256Text(const unsigned char (&bytes)[Sha256Digest::size]) {
    static const wchar_t digits[] = L"0123456789abcdef";
    std::wstring text;
    text.reserve(2 * Sha256Digest::size);
    for (unsigned char byte : bytes) {
        text.push_back(digits[byte >> 4]);
        text.push_back(digits[byte & 0x0F]);
    }
    return text;
}
