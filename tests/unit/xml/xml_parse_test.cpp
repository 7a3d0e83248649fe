#include "xml/xml_document.h"
#include "xml_index_check.h"

#include <gtest/gtest.h>

#include <string>

using xml::ElementRecord;

namespace {

struct Parsed {
    bool wellFormed;
    std::wstring result;
};

Parsed parse(const std::wstring& text) {
    XmlDocument doc;
    const bool ok = doc.parseText(text);
    EXPECT_EQ("", xmltest::checkIndex(doc)) << std::string(text.begin(), text.begin() + std::min<size_t>(text.size(), 80));
    return {ok, doc.resultText()};
}

std::wstring repeat(const std::wstring& s, size_t n) {
    std::wstring out;
    out.reserve(s.size() * n);
    for (size_t i = 0; i < n; ++i) out += s;
    return out;
}

}  // namespace

// A new document is the parse of an empty text, with the IgnoreCase flag.
TEST(XmlParse, NewDocument) {
    XmlDocument doc;
    EXPECT_EQ(L"Empty document", doc.resultText());
    EXPECT_EQ(XmlDocument::IgnoreCase, doc.documentFlags());
    EXPECT_EQ(0, doc.elementRecord(0).firstChild);
    EXPECT_FALSE(doc.findElement(L""));
    EXPECT_FALSE(doc.parseText(nullptr));
    EXPECT_EQ(L"Empty document", doc.resultText());
}

// Document-level messages replace those of the index building.
TEST(XmlParse, DocumentLevelMessages) {
    EXPECT_EQ(L"Empty document", parse(L"").result);
    EXPECT_EQ(L"No root element", parse(L"<!-- c -->\r\n <?pi?>").result);
    EXPECT_EQ(L"No root element", parse(L"<1a/>").result);
    const Parsed two = parse(L"<a/><b/>");
    EXPECT_FALSE(two.wellFormed);
    EXPECT_EQ(L"Root element has sibling", two.result);
    const Parsed good = parse(L"<?xml version=\"1.0\"?>\r\n<!DOCTYPE r>\r\n<r><a/>x<!--c--></r>\r\n");
    EXPECT_TRUE(good.wellFormed);
    EXPECT_EQ(L"", good.result);
}

// Both top-level elements stay navigable when the root has a sibling.
TEST(XmlParse, SiblingsOfRootAreFound) {
    XmlDocument doc;
    EXPECT_FALSE(doc.parseText(L"<a/><b/>"));
    EXPECT_TRUE(doc.findElement(L"a"));
    EXPECT_TRUE(doc.findElement(L"b"));
}

// A mismatched end tag closes the inner element as not ended and still closes the outer one.
TEST(XmlParse, MismatchedEndTag) {
    XmlDocument doc;
    EXPECT_FALSE(doc.parseText(L"<a><b></a>"));
    EXPECT_EQ(L"End tag 'a' at offset 7 does not match start tag 'b' at offset 3", doc.resultText());
    ASSERT_TRUE(doc.findElement(L"a"));
    const ElementRecord& a = doc.elementRecord(doc.currentIndex());
    EXPECT_EQ(10, a.length);
    EXPECT_EQ(4, a.endTagLength());
    ASSERT_TRUE(doc.enterElement());
    ASSERT_TRUE(doc.findElement(L"b"));
    const ElementRecord& b = doc.elementRecord(doc.currentIndex());
    EXPECT_TRUE(b.has(ElementRecord::NotEnded));
    EXPECT_EQ(3, b.length);
    EXPECT_EQ(0, b.firstChild);
    EXPECT_TRUE(doc.elementRecord(0).has(ElementRecord::IllFormed));
}

// An end tag without a start tag leaves the open element intact; the first message wins.
TEST(XmlParse, LoneEndTagAndNotEnded) {
    XmlDocument doc;
    EXPECT_FALSE(doc.parseText(L"<a></b></a>"));
    EXPECT_EQ(L"No start tag for end tag 'b' at offset 3", doc.resultText());
    ASSERT_TRUE(doc.findElement(L"a"));
    EXPECT_EQ(11, doc.elementRecord(doc.currentIndex()).length);
    EXPECT_TRUE(doc.elementRecord(doc.currentIndex()).has(ElementRecord::IllData));
    EXPECT_EQ(L"Element 'a' at offset 0 not ended", parse(L"<a>").result);
    EXPECT_EQ(L"Element 'a' at offset 0 not ended", parse(L"<a>text").result);
    // Children of a root that is not ended become its siblings, which the document level reports.
    EXPECT_EQ(L"Root element has sibling", parse(L"<a><b></b><b>").result);
}

// Scanner errors inside the root make the document not well formed with their message.
TEST(XmlParse, ScannerErrorsInsideRoot) {
    const Parsed name = parse(L"<r><1a/></r>");
    EXPECT_FALSE(name.wellFormed);
    EXPECT_EQ(L"Incorrect tag name character at offset 3", name.result);
    const Parsed comment = parse(L"<r><!-x></r>");
    EXPECT_FALSE(comment.wellFormed);
    EXPECT_EQ(L"Incorrect comment tag at offset 3", comment.result);
    const Parsed open = parse(L"<r><a");
    EXPECT_FALSE(open.wellFormed);
    EXPECT_EQ(L"Element tag at offset 3 unterminated", open.result);
}

// Children of an element that is not ended become its following siblings, in order.
TEST(XmlParse, NotEndedChildrenMoveUp) {
    XmlDocument doc;
    EXPECT_FALSE(doc.parseText(L"<r><p><c1/><c2><d/></c2></r>"));
    ASSERT_TRUE(doc.findElement(L"r"));
    ASSERT_TRUE(doc.enterElement());
    EXPECT_TRUE(doc.findElement(L"p"));
    EXPECT_TRUE(doc.findElement(L"c1"));
    EXPECT_TRUE(doc.findElement(L"c2"));
    ASSERT_TRUE(doc.enterElement());
    EXPECT_TRUE(doc.findElement(L"d"));
    EXPECT_EQ(2, doc.elementRecord(doc.currentIndex()).level());
    EXPECT_TRUE(doc.leaveElement());
    EXPECT_TRUE(doc.leaveElement());
    EXPECT_FALSE(doc.leaveElement());
}

// A byte order mark read as U+FEFF is text before the root element.
TEST(XmlParse, ByteOrderMarkIsText) {
    EXPECT_TRUE(parse(std::wstring(1, wchar_t(0xFEFF)) + L"<a/>").wellFormed);
}

// Names that are not ASCII letters, and NUL characters, are ordinary characters.
TEST(XmlParse, NonAsciiAndNulCharacters) {
    XmlDocument doc;
    EXPECT_TRUE(doc.parseText(std::wstring(L"<\u00e9l a='\0'>\0</\u00e9l>", 16)));
    EXPECT_TRUE(doc.findElement(L"\u00e9l"));
    EXPECT_FALSE(doc.parseText(std::wstring(L"<\0/>", 4)));
}

// A long run of unclosed tags is closed in linear time and leaves a flat list.
TEST(XmlParse, DeepUnclosedRunIsLinear) {
    XmlDocument doc;
    const size_t n = 60000;
    EXPECT_FALSE(doc.parseText(L"<r>" + repeat(L"<a>", n) + L"</r>"));
    EXPECT_EQ(L"End tag 'r' at offset " + std::to_wstring(3 * n + 4) +
                  L" does not match start tag 'a' at offset " + std::to_wstring(3 * n),
              doc.resultText());
    EXPECT_EQ("", xmltest::checkIndex(doc));
    ASSERT_TRUE(doc.findElement(L"r"));
    ASSERT_TRUE(doc.enterElement());
    size_t found = 0;
    while (doc.findElement(L"a")) ++found;
    EXPECT_EQ(n, found);
    // The same for a document that just ends: every element ends up at the top.
    EXPECT_FALSE(doc.parseText(repeat(L"<a>", n)));
    EXPECT_EQ(L"Root element has sibling", doc.resultText());
    EXPECT_EQ("", xmltest::checkIndex(doc));
    found = 0;
    while (doc.findElement(L"a")) ++found;
    EXPECT_EQ(n, found);
}

// End tags under a deep stack find their open tag, or find none, without a quadratic search.
TEST(XmlParse, EndTagsUnderDeepStack) {
    XmlDocument doc;
    const size_t n = 60000;
    EXPECT_FALSE(doc.parseText(L"<r>" + repeat(L"<a>", n) + repeat(L"</b>", n) + L"</r>"));
    EXPECT_EQ(L"No start tag for end tag 'b' at offset " + std::to_wstring(3 * n + 3), doc.resultText());
    EXPECT_EQ("", xmltest::checkIndex(doc));

    EXPECT_FALSE(doc.parseText(L"<r>" + repeat(L"<x>", 100) + L"<y>" + repeat(L"<x>", 100) + L"</Y></r>"));
    EXPECT_EQ(L"End tag 'Y' at offset " + std::to_wstring(3 + 303 + 300 + 1) +
                  L" does not match start tag 'x' at offset " + std::to_wstring(3 + 303 + 297),
              doc.resultText());
    EXPECT_EQ("", xmltest::checkIndex(doc));
    ASSERT_TRUE(doc.findElement(L"r"));
    ASSERT_TRUE(doc.enterElement());
    size_t outer = 0;
    while (doc.findElement(L"x")) ++outer;
    EXPECT_EQ(100u, outer);
    ASSERT_TRUE(doc.findElement(L"y"));
    EXPECT_EQ(3 + 300 + 4, doc.elementRecord(doc.currentIndex()).length);
    ASSERT_TRUE(doc.enterElement());
    size_t inner = 0;
    while (doc.findElement(L"x")) ++inner;
    EXPECT_EQ(100u, inner);
}

// Tags and depths beyond the record fields are parse errors, not truncated values.
TEST(XmlParse, RecordLimits) {
    const std::wstring name1020(1020, L'n');
    EXPECT_TRUE(parse(L"<" + name1020 + L"></" + name1020 + L">").wellFormed);  // end tag of 1,023
    const std::wstring name1021(1021, L'n');
    const Parsed endTag = parse(L"<" + name1021 + L"></" + name1021 + L">");
    EXPECT_FALSE(endTag.wellFormed);
    EXPECT_EQ(L"Element end tag at offset 1023 too long", endTag.result);

    const std::wstring attribute = L" a='" + std::wstring(4194303 - 9, L'x') + L"'";
    EXPECT_TRUE(parse(L"<r><e" + attribute + L"/></r>").wellFormed);  // start tag of 4,194,303
    const Parsed startTag = parse(L"<r><e" + attribute + L" /></r>");
    EXPECT_FALSE(startTag.wellFormed);
    EXPECT_EQ(L"Element tag at offset 3 too long", startTag.result);

    const size_t depth = 65536;  // levels 0 to 65,535
    EXPECT_TRUE(parse(repeat(L"<a>", depth) + repeat(L"</a>", depth)).wellFormed);
    const Parsed deep = parse(repeat(L"<a>", depth + 1) + repeat(L"</a>", depth + 1));
    EXPECT_FALSE(deep.wellFormed);
    EXPECT_EQ(L"Element 'a' at offset " + std::to_wstring(3 * depth) + L" nested too deeply", deep.result);
}

// The index grows past its first estimate and across 65,536-record segments.
TEST(XmlParse, IndexGrowsAcrossSegments) {
    XmlDocument doc;
    const size_t n = 150000;
    EXPECT_TRUE(doc.parseText(L"<r>" + repeat(L"<a/>", n) + L"</r>"));
    EXPECT_EQ("", xmltest::checkIndex(doc));
    ASSERT_TRUE(doc.findElement(L"r"));
    ASSERT_TRUE(doc.enterElement());
    size_t found = 0;
    int32_t expectedStart = 3;
    while (doc.findElement(L"a")) {
        if (doc.elementRecord(doc.currentIndex()).start != expectedStart) break;
        expectedStart += 4;
        ++found;
    }
    EXPECT_EQ(n, found);
}
