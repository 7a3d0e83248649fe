#include "base/file_io.h"

#include <gtest/gtest.h>

#include "temp_folder.h"

TEST(WholeFiles, RoundTripBytesAndOverwriteAReadOnlyLeftover) {
    TempFolder temp;
    const std::wstring path = temp / L"data.bin";
    const std::string bytes("a\0b\xff", 4);
    ASSERT_TRUE(WriteWholeFile(bytes.data(), 4, path));
    ::SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_READONLY);
    ASSERT_TRUE(WriteWholeFile("xyz", 3, path));
    std::string read;
    ASSERT_TRUE(ReadWholeFile(path, read));
    EXPECT_EQ(read, "xyz");
}

TEST(WholeFiles, EmptyOrMissingFilesAreReadFailuresButEmptyWritesSucceed) {
    TempFolder temp;
    const std::wstring path = temp / L"empty.xml";
    ASSERT_TRUE(WriteWholeFile("", 0, path));
    EXPECT_TRUE(exists(path));
    std::string read = "stale";
    EXPECT_FALSE(ReadWholeFile(path, read));
    EXPECT_TRUE(read.empty());
    EXPECT_FALSE(ReadWholeFile(temp / L"missing.xml", read));
    EXPECT_EQ(::GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
    EXPECT_FALSE(WriteWholeFile("x", 1, temp / L"no\\such\\folder.txt"));
}

TEST(Utf8ToWide, ConvertsAndKeepsAByteOrderMark) {
    EXPECT_EQ(Utf8ToWide("\xEF\xBB\xBF<a/>"), L"\xFEFF<a/>");
    EXPECT_EQ(Utf8ToWide("\xC3\xA9t\xC3\xA9"), L"\x00E9t\x00E9");
    EXPECT_EQ(Utf8ToWide(""), L"");
}
