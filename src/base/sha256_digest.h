#pragma once
// The SHA-256 digest a publisher may give for a release file (the `sha256`
// attribute of its `file` element in version_info.xml).
#include <cstddef>
#include <string>

struct Sha256Digest {
    static constexpr size_t size = 32;
    bool present = false;  // false: the file names no digest and is not checked
    unsigned char bytes[size] = {};
};

// Exactly 64 hexadecimal digits, either case, nothing around them. False (and
// digest untouched) for anything else.
bool parseSha256Digest(const std::wstring& text, Sha256Digest& digest);

// 64 lower-case hexadecimal digits, as version_info.xml gives them.
std::wstring sha256Text(const unsigned char (&bytes)[Sha256Digest::size]);

bool sameDigest(const Sha256Digest& digest, const unsigned char (&bytes)[Sha256Digest::size]);
