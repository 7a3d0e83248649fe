#include "xml_position.h"

#include <gtest/gtest.h>

#include "xml/xml_document.h"

namespace {

std::wstring placeOf(const wchar_t* text) {
    XmlDocument document;
    EXPECT_FALSE(document.parseText(text)) << text;
    const std::wstring place = parseErrorPlace(document);
    return place.substr(0, place.find(L':'));
}

}  // namespace

// The place an editor shows: lines counted by LF (a CR is no column), columns from 1.
TEST(ParseErrorPlace, LineAndColumnOfEachKindOfFailure) {
    EXPECT_EQ(placeOf(L"<a>\r\n  <b>\r\n  </c>\r\n</a>"), L"line 3, column 3");
    EXPECT_EQ(placeOf(L"<a>\n<b x='1>\n</a>"), L"line 2, column 1");
    EXPECT_EQ(placeOf(L"<a/>\n\n  <b/>"), L"line 3, column 3");
    // The engine closes 'a' early and reports what that leaves: a second root, 'b'.
    EXPECT_EQ(placeOf(L"<a>\n<b>\n</b>\n"), L"line 2, column 1");
    EXPECT_EQ(placeOf(L""), L"line 1, column 1");
    EXPECT_EQ(placeOf(L"\n\n"), L"line 3, column 1");
}

TEST(ParseErrorPlace, KeepsTheEnginesReason) {
    XmlDocument document;
    ASSERT_FALSE(document.parseText(L"<a></b></a>"));
    EXPECT_EQ(parseErrorPlace(document), L"line 1, column 4: " + document.resultText());
}
