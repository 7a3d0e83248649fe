// Numbers read from response header text.
#include <windows.h>

#include <climits>

#include <gtest/gtest.h>

#include "http/response_query.h"

TEST(ResponseQueryTest, NumbersComeFromTheLeadingDigitsOnly) {
    EXPECT_EQ(leadingNumber(L"200"), 200);
    EXPECT_EQ(leadingNumber(L"1234 bytes"), 1234);
    EXPECT_EQ(leadingNumber(L""), 0);
    EXPECT_EQ(leadingNumber(L"abc"), 0);
    EXPECT_EQ(leadingNumber(L"-5"), 0);
    EXPECT_EQ(leadingNumber(L" 7"), 0);
}

TEST(ResponseQueryTest, NumbersBeyondTheRangeSaturateInsteadOfWrapping) {
    EXPECT_EQ(leadingNumber(L"2147483647"), LONG_MAX);
    EXPECT_EQ(leadingNumber(L"2147483648"), LONG_MAX);
    EXPECT_EQ(leadingNumber(L"99999999999999999999"), LONG_MAX);
}

TEST(ResponseQueryTest, QueriesOnANullHandleFailAndLeaveTheTextEmpty) {
    std::wstring text = L"left over";
    EXPECT_FALSE(queryText(nullptr, HTTP_QUERY_STATUS_CODE, text));
    EXPECT_TRUE(text.empty());
    EXPECT_EQ(queryNumber(nullptr, HTTP_QUERY_CONTENT_LENGTH), 0);
}
