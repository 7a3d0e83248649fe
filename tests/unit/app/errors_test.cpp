#include "app/errors.h"

#include <gtest/gtest.h>

namespace {

// A code no system message table knows.
constexpr DWORD unknownCode = 0xE0001234;

}  // namespace

TEST(MessageFromCode, ZeroGivesNothing) { EXPECT_EQ(messageFromCode(0), L""); }

TEST(MessageFromCode, SystemTextComesWithItsLineEnd) {
    const std::wstring text = messageFromCode(ERROR_ACCESS_DENIED);
    ASSERT_GT(text.size(), 2u);
    EXPECT_EQ(text.substr(text.size() - 2), L"\r\n");
}

TEST(MessageFromCode, WithoutSystemTextGivesLowerCaseHex) {
    EXPECT_EQ(messageFromCode(unknownCode), L"Error code: 0xe0001234");
}

TEST(WindowsError, ThreeConstructors) {
    const windows_error plain(L"Unsupported operating system.");
    EXPECT_EQ(plain.message(), L"Unsupported operating system.");
    EXPECT_EQ(plain.code, 0u);
    EXPECT_STREQ(plain.what(), "Unsupported operating system.");

    const windows_error withCode(L"Failed.", 1602);
    EXPECT_EQ(withCode.code, 1602u);

    const windows_error fromCode(ERROR_ACCESS_DENIED);
    EXPECT_EQ(fromCode.message(), messageFromCode(ERROR_ACCESS_DENIED));
    EXPECT_EQ(fromCode.code, static_cast<DWORD>(ERROR_ACCESS_DENIED));
}

TEST(WindowsError, CaughtAsStandardException) {
    try {
        throw windows_error(L"Failed to start.", 7);
    } catch (const std::exception& error) {
        EXPECT_STREQ(error.what(), "Failed to start.");
    }
}

TEST(ShowRules, EmptyMessageWithoutCodeShowsNothing) {
    std::wstring text = L"unchanged";
    EXPECT_FALSE(errorBoxText(windows_error(0), text));
    EXPECT_FALSE(errorBoxText(windows_error(L""), text));
    EXPECT_EQ(text, L"unchanged");
}

TEST(ShowRules, EmptyMessageWithCodeShowsTheBareCode) {
    std::wstring text;
    EXPECT_TRUE(errorBoxText(windows_error(L"", ERROR_ACCESS_DENIED), text));
    EXPECT_EQ(text, codeBoxText(ERROR_ACCESS_DENIED));
}

TEST(ShowRules, MessageWithoutCodeIsShownUnchanged) {
    std::wstring text;
    EXPECT_TRUE(errorBoxText(windows_error(L"Line one.\r\n"), text));
    EXPECT_EQ(text, L"Line one.\r\n");
}

TEST(ShowRules, CodeIsAppendedInUpperCaseHex) {
    std::wstring text;
    errorBoxText(windows_error(L"Failed.", 0xabc), text);
    EXPECT_EQ(text, L"Failed. Error code: 0xABC.");
}

TEST(ShowRules, OnlyOneTrailingLineEndIsRemoved) {
    std::wstring text;
    errorBoxText(windows_error(L"Text\r\n\r\n", 5), text);
    EXPECT_EQ(text, L"Text\r\n Error code: 0x5.");
    errorBoxText(windows_error(L"Text\n", 5), text);
    EXPECT_EQ(text, L"Text\n Error code: 0x5.");
}

TEST(ShowRules, TwoCharacterMessageIsNeverShortened) {
    std::wstring text;
    errorBoxText(windows_error(L"\r\n", 5), text);
    EXPECT_EQ(text, L"\r\n Error code: 0x5.");
}

TEST(ShowRules, SystemTextLosesItsLineEndBeforeTheCode) {
    std::wstring text;
    errorBoxText(windows_error(ERROR_ACCESS_DENIED), text);
    std::wstring system = messageFromCode(ERROR_ACCESS_DENIED);
    system.resize(system.size() - 2);
    EXPECT_EQ(text, system + L" Error code: 0x5.");
}

TEST(ShowRules, CodeWithoutSystemTextShowsBothHexForms) {
    std::wstring text;
    errorBoxText(windows_error(unknownCode), text);
    EXPECT_EQ(text, L"Error code: 0xe0001234 Error code: 0xE0001234.");
}

TEST(ShowRules, BareCodeShowsSystemTextOrHex) {
    EXPECT_EQ(codeBoxText(ERROR_ACCESS_DENIED), messageFromCode(ERROR_ACCESS_DENIED));
    EXPECT_EQ(codeBoxText(unknownCode), L"Error code: 0xe0001234");
}
