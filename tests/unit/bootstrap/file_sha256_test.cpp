// SHA-256 of files through the system's CryptoAPI, against published vectors.
#include "base/file_sha256.h"

#include <gtest/gtest.h>

#include <string>

#include "base/unique_any.h"
#include "temp_folder.h"

namespace {

std::string hex(const unsigned char (&digest)[Sha256Digest::size]) {
    static const char digits[] = "0123456789abcdef";
    std::string text;
    for (unsigned char byte : digest) {
        text += digits[byte >> 4];
        text += digits[byte & 15];
    }
    return text;
}

// The digest of a file holding text, as hex; "error <code>" when it cannot be computed.
std::string digestOf(const TempFolder& folder, const std::string& text) {
    const std::wstring path = folder / L"data.bin";
    writeText(path, text);
    base::unique_file file(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
    if (!file) return "open failed";
    unsigned char digest[Sha256Digest::size];
    if (!ComputeFileSha256(file.get(), digest)) return "error " + std::to_string(::GetLastError());
    return hex(digest);
}

}  // namespace

TEST(FileSha256, PublishedVectorsIncludingTheEmptyFileAndOneSpanningManyBlocks) {
    TempFolder folder;
    EXPECT_EQ(digestOf(folder, ""), "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");
    EXPECT_EQ(digestOf(folder, "abc"), "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
    EXPECT_EQ(digestOf(folder, "abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq"),
              "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1");
    EXPECT_EQ(digestOf(folder, std::string(1000000, 'a')),
              "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0");
}

TEST(FileSha256, FilesEndingOnAndJustPastTheReadBlockAreHashedWhole) {
    TempFolder folder;
    const std::string block(64 * 1024, 'x');
    EXPECT_EQ(digestOf(folder, block), "1f8745f0d2d1387ec1af2211a3cf417b2e9e885e853472649c1d979d0e9370e3");
    EXPECT_EQ(digestOf(folder, block + "x"), "1abe08ebecf1c18cab71f6fe28aaddf20268f85bad78bb9a72f88ca47c874662");
}

TEST(FileSha256, HashesFromTheStartWhereverTheHandleStandsAndTwiceGivesTheSame) {
    TempFolder folder;
    const std::wstring path = folder / L"data.bin";
    writeText(path, "abc");
    base::unique_file file(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(file);
    ::SetFilePointer(file.get(), 2, nullptr, FILE_BEGIN);
    unsigned char first[Sha256Digest::size];
    unsigned char second[Sha256Digest::size];
    ASSERT_TRUE(ComputeFileSha256(file.get(), first));
    ASSERT_TRUE(ComputeFileSha256(file.get(), second));
    EXPECT_EQ(hex(first), "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
    EXPECT_EQ(hex(second), hex(first));
}

TEST(FileSha256, AHandleWithoutReadAccessFailsWithTheSystemsCode) {
    TempFolder folder;
    const std::wstring path = folder / L"data.bin";
    writeText(path, "abc");
    base::unique_file file(::CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(file);
    unsigned char digest[Sha256Digest::size];
    EXPECT_FALSE(ComputeFileSha256(file.get(), digest));
    EXPECT_NE(::GetLastError(), 0u);
}
