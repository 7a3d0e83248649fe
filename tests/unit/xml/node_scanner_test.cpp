#include "xml/node_scanner.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace xml;

namespace {

struct Node {
    NodeKind kind;
    int32_t start;
    int32_t length;
    std::wstring detail;  // name, message, or "empty" for an EmptyElement start tag
    bool operator==(const Node& o) const {
        return kind == o.kind && start == o.start && length == o.length && detail == o.detail;
    }
};

std::ostream& operator<<(std::ostream& os, const Node& n) {
    return os << "{" << n.kind << "," << n.start << "," << n.length << "," << std::string(n.detail.begin(), n.detail.end()) << "}";
}

std::vector<Node> scan(const std::wstring& text) {
    NodeScanner scanner(text.data(), int32_t(text.size()));
    std::vector<Node> out;
    NodeToken t;
    for (;;) {
        scanner.next(t);
        if (t.kind == EndOfDocument) break;
        std::wstring detail;
        if (t.kind == Bad) detail = t.message;
        if (t.kind == Element || t.kind == EndTag) detail = text.substr(size_t(t.nameStart), size_t(t.nameLength));
        if (t.flags & NodeToken::EmptyElement) detail += L" empty";
        out.push_back({t.kind, t.start, t.length, detail});
        if (out.size() > text.size()) break;  // no progress: fail below instead of hanging
    }
    return out;
}

}  // namespace

// Every node kind is told apart by its first characters and ends where its marker ends.
TEST(NodeScanner, ClassifiesEveryKind) {
    const std::wstring text =
        L"<?xml v?><!DOCTYPE r [<!ENTITY e \"a>b\"><!-- c > --> ]>\r\n<r a='1'>t&amp;<![CDATA[x>]]><!--y--></r> ";
    const std::vector<Node> expected = {
        {ProcessingInstruction, 0, 9, L""},
        {DocumentType, 9, 45, L""},
        {Whitespace, 54, 2, L""},
        {Element, 56, 9, L"r"},
        {Text, 65, 6, L""},
        {CData, 71, 14, L""},
        {Comment, 85, 8, L""},
        {EndTag, 93, 4, L"r"},
        {Whitespace, 97, 1, L""},
    };
    EXPECT_EQ(expected, scan(text));
}

// Text that starts with whitespace but holds other characters is Text up to the
// next "<"; other text also ends just after a ">".
TEST(NodeScanner, WhitespaceAndText) {
    EXPECT_EQ((std::vector<Node>{{Whitespace, 0, 3, L""}, {Element, 3, 3, L"a"}}), scan(L" \t\n<a>"));
    EXPECT_EQ((std::vector<Node>{{Text, 0, 5, L""}, {Element, 5, 3, L"a"}}), scan(L" x>y <a>"));
    EXPECT_EQ((std::vector<Node>{{Text, 0, 2, L""}, {Text, 2, 1, L""}}), scan(L"x>y"));
}

// ">" inside a quoted value does not end a start tag; each quote hides the other.
TEST(NodeScanner, QuotesInStartTag) {
    EXPECT_EQ((std::vector<Node>{{Element, 0, 18, L"a"}}), scan(L"<a b=\"x>'\" c='\">'>"));
    EXPECT_EQ((std::vector<Node>{{Bad, 0, 8, L"Element tag at offset 0 unterminated"}}), scan(L"<a b=\"x>"));
}

// "/>" makes an empty element only when the "/" follows the name, whitespace or a quote.
TEST(NodeScanner, EmptyElementRule) {
    EXPECT_EQ(L"a empty", scan(L"<a/>")[0].detail);
    EXPECT_EQ(L"a empty", scan(L"<a />")[0].detail);
    EXPECT_EQ(L"a empty", scan(L"<a b=\"c\"/>")[0].detail);
    EXPECT_EQ(L"a empty", scan(L"<a b='c'/>")[0].detail);
    EXPECT_EQ(L"a", scan(L"<a b=c/>")[0].detail);
    EXPECT_EQ(L"a", scan(L"<a/ >")[0].detail);
}

// Closing markers must follow the opening characters: "<!-->" and "<?>" are unterminated.
TEST(NodeScanner, MarkersDoNotOverlapOpeners) {
    EXPECT_EQ(L"Comment at offset 0 unterminated", scan(L"<!-->")[0].detail);
    EXPECT_EQ(L"Processing instruction at offset 0 unterminated", scan(L"<?>")[0].detail);
    EXPECT_EQ((std::vector<Node>{{Comment, 0, 7, L""}}), scan(L"<!---->"));
    EXPECT_EQ((std::vector<Node>{{ProcessingInstruction, 0, 4, L""}}), scan(L"<?" L"?>"));
}

// Each bad construction gets its message with the node's offset, and the scan
// resumes after the next ">" or before the next "<".
TEST(NodeScanner, IncorrectMessages) {
    EXPECT_EQ((std::vector<Node>{{Bad, 0, 4, L"Incorrect tag name character at offset 0"}, {Element, 4, 3, L"b"}}),
              scan(L"<1a><b>"));
    EXPECT_EQ((std::vector<Node>{{Bad, 0, 2, L"Incorrect tag name character at offset 0"}, {Element, 2, 3, L"b"}}),
              scan(L"<.<b>"));
    EXPECT_EQ(L"Incorrect ! tag at offset 0", scan(L"<!x>")[0].detail);
    EXPECT_EQ(L"Incorrect comment tag at offset 1", scan(L" <!-x>")[1].detail);
    EXPECT_EQ(L"Incorrect tag at offset 0", scan(L"<![x>")[0].detail);
    EXPECT_EQ(L"Incorrect ! tag at offset 0", scan(L"<!DOCTYPE r [<!X>]>")[0].detail);
    EXPECT_EQ(L"Incorrect tag name character at offset 0", scan(L"<")[0].detail);
}

// Text ending inside a node names the node's kind and start.
TEST(NodeScanner, UnterminatedMessages) {
    EXPECT_EQ(L"Element tag at offset 0 unterminated", scan(L"<a b")[0].detail);
    EXPECT_EQ(L"Element end tag at offset 0 unterminated", scan(L"</a")[0].detail);
    EXPECT_EQ(L"CDATA Section at offset 0 unterminated", scan(L"<![CDATA[x]]")[0].detail);
    EXPECT_EQ(L"Processing instruction at offset 0 unterminated", scan(L"<?x ?")[0].detail);
    EXPECT_EQ(L"Comment at offset 0 unterminated", scan(L"<!-- --")[0].detail);
    EXPECT_EQ(L"Doctype at offset 0 unterminated", scan(L"<!DOCTYPE r [<!-- > ")[0].detail);
    EXPECT_EQ(L"Doctype at offset 0 unterminated", scan(L"<!DOCTYPE r [<!ENTITY e '>")[0].detail);
    const std::vector<Node> nodes = scan(L"<a>x<b c='");
    ASSERT_EQ(3u, nodes.size());
    EXPECT_EQ((Node{Bad, 4, 6, L"Element tag at offset 4 unterminated"}), nodes[2]);
}
