#include "xml/xml_document.h"

#include <gtest/gtest.h>

namespace {

// A document whose cursor stands on the first element named `name` below the root.
XmlDocument onChild(const std::wstring& text, const wchar_t* name) {
    XmlDocument doc;
    doc.parseText(text);
    EXPECT_TRUE(doc.findElement(L""));
    EXPECT_TRUE(doc.enterElement());
    EXPECT_TRUE(doc.findElement(name));
    return doc;
}

}  // namespace

// Element names match regardless of ASCII case only.
TEST(XmlReading, ElementNamesIgnoreAsciiCase) {
    XmlDocument doc;
    doc.parseText(L"<r><application/><\u00c9t\u00e9/></r>");
    ASSERT_TRUE(doc.findElement(L"R"));
    ASSERT_TRUE(doc.enterElement());
    EXPECT_TRUE(doc.findElement(L"Application"));
    doc.resetPosition();
    EXPECT_FALSE(doc.findElement(L"\u00e9t\u00e9"));
    EXPECT_TRUE(doc.findElement(L"\u00c9T\u00e9"));
}

// A request matches a name that equals its first characters when it ends there or
// goes on with a space, "=", "/", "[" or "]"; an empty request matches the first element.
TEST(XmlReading, NameMatchRule) {
    XmlDocument doc;
    doc.parseText(L"<r><ab/><a/><a\tx='1'/></r>");
    ASSERT_TRUE(doc.findElement(L""));
    ASSERT_TRUE(doc.enterElement());
    ASSERT_TRUE(doc.findElement(L"a[1]"));
    EXPECT_EQ(8, doc.elementRecord(doc.currentIndex()).start);
    doc.resetPosition();
    EXPECT_FALSE(doc.findElement(L"abc"));
    EXPECT_FALSE(doc.findElement(L"a.b"));
    EXPECT_TRUE(doc.findElement(L"a=x"));
    EXPECT_TRUE(doc.findElement(L"a"));
    EXPECT_EQ(12, doc.elementRecord(doc.currentIndex()).start);
    doc.resetPosition();
    EXPECT_TRUE(doc.findElement(L""));
    EXPECT_EQ(3, doc.elementRecord(doc.currentIndex()).start);
}

// findElement goes on after the element found last; a failed search changes nothing.
TEST(XmlReading, SearchContinuesAfterLastFound) {
    XmlDocument doc;
    doc.parseText(L"<r><a id='1'/><b/><a id='2'/></r>");
    ASSERT_TRUE(doc.findElement(L"r"));
    ASSERT_TRUE(doc.enterElement());
    ASSERT_TRUE(doc.findElement(L"a"));
    EXPECT_EQ(L"1", doc.getAttribute(L"id"));
    ASSERT_TRUE(doc.findElement(L"a"));
    EXPECT_EQ(L"2", doc.getAttribute(L"id"));
    EXPECT_FALSE(doc.findElement(L"b"));
    EXPECT_EQ(L"2", doc.getAttribute(L"id"));
    doc.resetPosition();
    EXPECT_TRUE(doc.findElement(L"b"));
}

// enterElement needs a current element; leaveElement returns to it and stops at the document level.
TEST(XmlReading, EnterAndLeave) {
    XmlDocument doc;
    doc.parseText(L"<r><a><b/></a><c/></r>");
    EXPECT_FALSE(doc.enterElement());
    EXPECT_FALSE(doc.leaveElement());
    ASSERT_TRUE(doc.findElement(L"r"));
    ASSERT_TRUE(doc.enterElement());
    ASSERT_TRUE(doc.findElement(L"a"));
    ASSERT_TRUE(doc.enterElement());
    EXPECT_TRUE(doc.findElement(L"b"));
    EXPECT_TRUE(doc.leaveElement());  // a is current again
    EXPECT_TRUE(doc.findElement(L"c"));
    EXPECT_TRUE(doc.leaveElement());  // r
    EXPECT_FALSE(doc.findElement(L"a"));
    EXPECT_TRUE(doc.enterElement());  // back on c, the child that was current
    EXPECT_FALSE(doc.findElement(L"a"));
    EXPECT_FALSE(doc.leaveElement() && doc.leaveElement());
}

// Attribute values are decoded: five named references and numeric ones; anything else stays.
TEST(XmlReading, AttributeReferences) {
    XmlDocument doc = onChild(
        L"<r><e a='a&lt;b' b=\"&#65;&#x41;\" c='&#X41;&#0;&#x;&#65' d='&quot;&apos;&gt;&amp;amp;' "
        L"e='&LT;&lt' g='&#65xyz;' h='&#1234567;'/></r>",
        L"e");
    EXPECT_EQ(L"a<b", doc.getAttribute(L"a"));
    EXPECT_EQ(L"AA", doc.getAttribute(L"b"));
    EXPECT_EQ(L"&#X41;&#0;&#x;&#65", doc.getAttribute(L"c"));
    EXPECT_EQ(L"\"'>&amp;", doc.getAttribute(L"d"));
    EXPECT_EQ(L"&LT;&lt", doc.getAttribute(L"e"));
    EXPECT_EQ(L"A", doc.getAttribute(L"g"));
    EXPECT_EQ(L"&#1234567;", doc.getAttribute(L"h"));
}

// A reference above U+FFFF gives its surrogate pair, in hexadecimal and decimal
// alike, up to the largest values six characters hold; one character more (and
// with it every value beyond U+10FFFF) stays raw. Element text stays raw.
TEST(XmlReading, ReferencesAboveTheBasicPlane) {
    XmlDocument doc = onChild(
        L"<r><e f='&#x1F600;' g='a&#128512;&#x10000;&#xFFFF;z' h='&#x110000;&#1114112;&#x0110000;' "
        L"i='&#xFFFFF;&#999999;' j='&#x0FFFFF;&#0999999;&#x10FFFF;'>"
        L"&#x1F600;&#128512;</e></r>",
        L"e");
    EXPECT_EQ(L"\xD83D\xDE00", doc.getAttribute(L"f"));
    EXPECT_EQ(L"a\xD83D\xDE00\xD800\xDC00\xFFFFz", doc.getAttribute(L"g"));
    EXPECT_EQ(L"&#x110000;&#1114112;&#x0110000;", doc.getAttribute(L"h"));  // beyond U+10FFFF
    EXPECT_EQ(L"\xDBBF\xDFFF\xDB90\xDE3F", doc.getAttribute(L"i"));         // U+FFFFF, U+F423F
    EXPECT_EQ(L"&#x0FFFFF;&#0999999;&#x10FFFF;", doc.getAttribute(L"j"));     // seven characters
    EXPECT_EQ(L"&#x1F600;&#128512;", doc.getElementText());
}

// Quoting, unquoted values, names in any case, absent and valueless attributes.
TEST(XmlReading, AttributeTokens) {
    XmlDocument doc = onChild(
        L"<r><e  one = \"1 '\"\ttwo='2 \"' three=3>x four='4' five six=6/><f a=b/>/></r>", L"e");
    EXPECT_EQ(L"1 '", doc.getAttribute(L"ONE"));
    EXPECT_EQ(L"2 \"", doc.getAttribute(L"Two"));
    EXPECT_EQ(L"3", doc.getAttribute(L"three"));
    EXPECT_EQ(L"", doc.getAttribute(L"four"));  // after the tag's ">"
    EXPECT_EQ(L"", doc.getAttribute(L"missing"));
    EXPECT_EQ(L"", doc.getAttribute(L"e"));  // the tag name is no attribute
    XmlDocument valueless = onChild(L"<r><e five six=6/></r>", L"e");
    EXPECT_EQ(L"", valueless.getAttribute(L"five"));
    EXPECT_EQ(L"6/", valueless.getAttribute(L"six"));  // in an unquoted value "/" is part of it
    XmlDocument slash = onChild(L"<r><f a=b/></f></r>", L"f");
    EXPECT_EQ(L"b/", slash.getAttribute(L"a"));
    XmlDocument none;
    none.parseText(L"<r a='1'/>");
    EXPECT_EQ(L"", none.getAttribute(L"a"));  // no current element
}

// A quoted value never reaches past its own start tag.
TEST(XmlReading, AttributeStaysInsideStartTag) {
    XmlDocument doc = onChild(L"<r><e a=\"x\" b=y\"z c=\"w>v\"</e></r>", L"e");
    EXPECT_EQ(L"x", doc.getAttribute(L"a"));
    EXPECT_EQ(L"y\"z", doc.getAttribute(L"b"));
    EXPECT_EQ(L"w>", doc.getAttribute(L"c"));
}

// Element text is the raw content, markup and references included.
TEST(XmlReading, ElementText) {
    XmlDocument doc = onChild(L"<r><a>1&amp;2</a><b/><c> <d/> </c><e></e></r>", L"a");
    EXPECT_EQ(L"1&amp;2", doc.getElementText());
    ASSERT_TRUE(doc.findElement(L"b"));
    EXPECT_EQ(L"", doc.getElementText());
    ASSERT_TRUE(doc.findElement(L"c"));
    EXPECT_EQ(L" <d/> ", doc.getElementText());
    ASSERT_TRUE(doc.findElement(L"e"));
    EXPECT_EQ(L"", doc.getElementText());
    doc.resetPosition();
    EXPECT_EQ(L"", doc.getElementText());
}
