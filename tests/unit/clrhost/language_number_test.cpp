#include "clrhost/module_creation.h"

#include <climits>

#include <gtest/gtest.h>

using clrhost::languageNumber;

// Read like stream extraction of an int: leading blanks, a sign, digits up to the first other character.
TEST(LanguageNumber, ReadsLeadingDecimal) {
    EXPECT_EQ(1033, languageNumber(L"1033"));
    EXPECT_EQ(1031, languageNumber(L"  \t1031x"));
    EXPECT_EQ(-5, languageNumber(L"-5"));
    EXPECT_EQ(7, languageNumber(L"+7"));
    EXPECT_EQ(0, languageNumber(L"0"));
    EXPECT_EQ(0, languageNumber(L"en-US"));
    EXPECT_EQ(0, languageNumber(L""));
    EXPECT_EQ(0, languageNumber(L"- 5"));
}

// Out of range values are clamped as extraction does.
TEST(LanguageNumber, ClampsOnOverflow) {
    EXPECT_EQ(INT_MAX, languageNumber(L"2147483648"));
    EXPECT_EQ(INT_MIN, languageNumber(L"-2147483648"));
    EXPECT_EQ(INT_MIN, languageNumber(L"-99999999999999999999"));
}
