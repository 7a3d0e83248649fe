#include "xml/xml_document.h"
#include "xml_index_check.h"

#include <gtest/gtest.h>

namespace {

// After an edit the index must be what a fresh parse of the new text builds.
void expectSameAsFreshParse(const XmlDocument& doc) {
    EXPECT_EQ("", xmltest::checkIndex(doc));
    XmlDocument fresh;
    fresh.parseText(doc.documentText());
    EXPECT_TRUE(xmltest::elements(doc) == xmltest::elements(fresh));
}

// Parses text and walks the path of names (entering each but the last).
XmlDocument at(const std::wstring& text, std::initializer_list<const wchar_t*> path) {
    XmlDocument doc;
    doc.parseText(text);
    bool first = true;
    for (const wchar_t* name : path) {
        if (!first) {
            EXPECT_TRUE(doc.enterElement());
        }
        first = false;
        EXPECT_TRUE(doc.findElement(name)) << std::string(name, name + wcslen(name));
    }
    return doc;
}

}  // namespace

// An empty element gets start tag, content and end tag without line breaks.
TEST(XmlEditing, SetContentOfEmptyElement) {
    XmlDocument doc = at(L"<m>\r\n  <version/>\r\n  <x a='1'/>\r\n</m>", {L"m", L"version"});
    EXPECT_TRUE(doc.setElementContent(L"2.2.015"));
    EXPECT_EQ(L"<m>\r\n  <version>2.2.015</version>\r\n  <x a='1'/>\r\n</m>", doc.documentText());
    EXPECT_EQ(L"2.2.015", doc.getElementText());  // still current
    expectSameAsFreshParse(doc);
    EXPECT_TRUE(doc.findElement(L"x"));
    EXPECT_EQ(L"1", doc.getAttribute(L"a"));
}

// Old content, children included, is replaced; new markup becomes navigable children.
TEST(XmlEditing, SetContentReplacesOldContent) {
    XmlDocument doc = at(L"<m><version>1.0<old/></version><z/></m>", {L"m", L"version"});
    EXPECT_TRUE(doc.setElementContent(L"<a>1</a><b/>"));
    EXPECT_EQ(L"<m><version><a>1</a><b/></version><z/></m>", doc.documentText());
    expectSameAsFreshParse(doc);
    ASSERT_TRUE(doc.enterElement());
    EXPECT_FALSE(doc.findElement(L"old"));
    EXPECT_TRUE(doc.findElement(L"a"));
    EXPECT_EQ(L"1", doc.getElementText());
    EXPECT_TRUE(doc.findElement(L"b"));
    EXPECT_TRUE(doc.leaveElement());
    EXPECT_TRUE(doc.findElement(L"z"));
    EXPECT_NE(0, doc.releasedList());
}

// Without a current element nothing changes; malformed markup goes in and reports false.
TEST(XmlEditing, SetContentFailures) {
    XmlDocument doc;
    doc.parseText(L"<m/>");
    EXPECT_FALSE(doc.setElementContent(L"x"));
    EXPECT_EQ(L"<m/>", doc.documentText());
    ASSERT_TRUE(doc.findElement(L"m"));
    EXPECT_FALSE(doc.setElementContent(L"<a>"));
    EXPECT_EQ(L"<m><a></m>", doc.documentText());
    EXPECT_EQ(L"Element 'a' at offset 0 not ended", doc.resultText());
    EXPECT_EQ("", xmltest::checkIndex(doc));
}

// An element that was not ended gets the content and an end tag after its start tag.
TEST(XmlEditing, SetContentOfNotEndedElement) {
    XmlDocument doc = at(L"<r><v a='1'><c/></r>", {L"r", L"v"});
    EXPECT_TRUE(doc.setElementContent(L"7"));
    EXPECT_EQ(L"<r><v a='1'>7</v><c/></r>", doc.documentText());
    EXPECT_FALSE(doc.elementRecord(doc.currentIndex()).has(xml::ElementRecord::NotEnded));
    EXPECT_EQ(L"7", doc.getElementText());
    EXPECT_EQ("", xmltest::checkIndex(doc));
    EXPECT_TRUE(doc.findElement(L"c"));
}

// With the cursor on the first of two indented children, the new element goes
// right before the second one, after its indentation.
TEST(XmlEditing, AddElementAfterCurrent) {
    XmlDocument doc = at(L"<msi>\r\n    <a/>\r\n    <b/>\r\n</msi>", {L"msi", L"a"});
    EXPECT_TRUE(doc.addElement(L"language"));
    EXPECT_EQ(L"<msi>\r\n    <a/>\r\n    <language/>\r\n<b/>\r\n</msi>", doc.documentText());
    expectSameAsFreshParse(doc);
    EXPECT_TRUE(doc.setElementContent(L"en"));  // the new element is current
    EXPECT_TRUE(doc.findElement(L"b"));
    expectSameAsFreshParse(doc);
}

// Without a current element the new one goes last, in front of the parent's end tag.
TEST(XmlEditing, AddElementAsLastChild) {
    XmlDocument doc = at(L"<r>\r\n  <msi>\r\n    <a/>\r\n  </msi>\r\n</r>", {L"r", L"msi"});
    ASSERT_TRUE(doc.enterElement());
    EXPECT_TRUE(doc.addElement(L"version"));
    EXPECT_EQ(L"<r>\r\n  <msi>\r\n    <a/>\r\n  <version/>\r\n</msi>\r\n</r>", doc.documentText());
    expectSameAsFreshParse(doc);
    EXPECT_TRUE(doc.addElement(L"code"));
    EXPECT_EQ(L"<r>\r\n  <msi>\r\n    <a/>\r\n  <version/>\r\n<code/>\r\n</msi>\r\n</r>", doc.documentText());
    expectSameAsFreshParse(doc);
}

// A parent written "<p/>" is split; a parent with empty content gets line breaks around the element.
TEST(XmlEditing, AddElementIntoEmptyParents) {
    XmlDocument split = at(L"<r><p a='1'/><z/></r>", {L"r", L"p"});
    ASSERT_TRUE(split.enterElement());
    EXPECT_TRUE(split.addElement(L"e"));
    EXPECT_EQ(L"<r><p a='1'>\r\n<e/>\r\n</p><z/></r>", split.documentText());
    expectSameAsFreshParse(split);
    XmlDocument empty = at(L"<r><p></p><z/></r>", {L"r", L"p"});
    ASSERT_TRUE(empty.enterElement());
    EXPECT_TRUE(empty.addElement(L"e"));
    EXPECT_EQ(L"<r><p>\r\n<e/>\r\n</p><z/></r>", empty.documentText());
    expectSameAsFreshParse(empty);
}

// Adding at the document level appends after the root (a second top-level element).
TEST(XmlEditing, AddElementAtDocumentLevel) {
    XmlDocument doc;
    doc.parseText(L"<r/>\r\n");
    EXPECT_TRUE(doc.addElement(L"s"));
    EXPECT_EQ(L"<r/>\r\n<s/>\r\n", doc.documentText());
    expectSameAsFreshParse(doc);
    XmlDocument none;
    EXPECT_TRUE(none.addElement(L"a"));
    EXPECT_EQ(L"<a/>\r\n", none.documentText());
    expectSameAsFreshParse(none);
}

// One well-formed element: only it goes in, with line breaks, and it becomes current.
TEST(XmlEditing, InsertOneElement) {
    XmlDocument doc = at(L"<configuration>\r\n  <other/>\r\n</configuration>", {L"configuration"});
    ASSERT_TRUE(doc.enterElement());
    EXPECT_TRUE(doc.insertSubDocument(L" lead <msi>\r\n    <version/>\r\n  </msi> trail"));
    EXPECT_EQ(L"<configuration>\r\n  <other/>\r\n<msi>\r\n    <version/>\r\n  </msi>\r\n</configuration>",
              doc.documentText());
    expectSameAsFreshParse(doc);
    EXPECT_EQ(L"", doc.resultText());
    ASSERT_TRUE(doc.enterElement());
    EXPECT_TRUE(doc.findElement(L"version"));
    EXPECT_TRUE(doc.setElementContent(L"1.2"));
    expectSameAsFreshParse(doc);
}

// Several top-level elements go in from the first one's start to the last one's end.
TEST(XmlEditing, InsertSeveralElements) {
    XmlDocument doc = at(L"<r><a/><z/></r>", {L"r", L"a"});
    EXPECT_FALSE(doc.insertSubDocument(L"x<b/> <c>1</c>y"));
    EXPECT_EQ(L"<r><a/><b/> <c>1</c>\r\n<z/></r>", doc.documentText());
    expectSameAsFreshParse(doc);
    EXPECT_EQ(L"", doc.getElementText());
    EXPECT_TRUE(doc.findElement(L"c"));  // b is current, c follows it
    EXPECT_TRUE(doc.findElement(L"z"));
}

// No element or a malformed fragment: everything goes in as it is, without line breaks.
TEST(XmlEditing, InsertMalformedOrTextOnly) {
    XmlDocument text = at(L"<r><a/></r>", {L"r", L"a"});
    EXPECT_FALSE(text.insertSubDocument(L" just text "));
    EXPECT_EQ(L"<r><a/> just text </r>", text.documentText());
    EXPECT_EQ(L"", text.getElementText());  // a stays current
    expectSameAsFreshParse(text);
    XmlDocument bad = at(L"<r><a/></r>", {L"r", L"a"});
    EXPECT_FALSE(bad.insertSubDocument(L"<b></c>"));
    EXPECT_EQ(L"<r><a/><b></c></r>", bad.documentText());
    EXPECT_EQ(L"No start tag for end tag 'c' at offset 3", bad.resultText());
    EXPECT_EQ("", xmltest::checkIndex(bad));
}

// A fragment inserted into "<p/>" splits it like addElement does.
TEST(XmlEditing, InsertIntoEmptyElement) {
    XmlDocument doc = at(L"<r><p/></r>", {L"r", L"p"});
    ASSERT_TRUE(doc.enterElement());
    EXPECT_TRUE(doc.insertSubDocument(L"<q/>"));
    EXPECT_EQ(L"<r><p>\r\n<q/>\r\n</p></r>", doc.documentText());
    expectSameAsFreshParse(doc);
}

// The manifest update's sequence of edits keeps everything outside them byte for byte.
TEST(XmlEditing, ManifestSequence) {
    const std::wstring before = L"\xFEFF<?xml version=\"1.0\"?>\r\n<!-- keep -->\r\n<configuration>\r\n"
                                L"  <msi>\r\n    <installationUrl>old</installationUrl>\r\n  </msi>\r\n"
                                L"</configuration>\r\n";
    XmlDocument doc = at(before, {L"configuration", L"msi"});
    ASSERT_TRUE(doc.enterElement());
    ASSERT_TRUE(doc.findElement(L"installationUrl"));
    for (const wchar_t* name : {L"language", L"version", L"productCode"}) {
        if (!doc.findElement(name)) {
            EXPECT_TRUE(doc.addElement(name));
        }
    }
    doc.resetPosition();
    const wchar_t* values[][2] = {{L"installationUrl", L"http://h/a?b=1&c=2"}, {L"language", L"en"},
                                  {L"version", L"2.2.015"}, {L"productCode", L"{P}"}};
    for (const auto& row : values) {
        ASSERT_TRUE(doc.findElement(row[0]));
        EXPECT_TRUE(doc.setElementContent(row[1]));
    }
    EXPECT_EQ(L"\xFEFF<?xml version=\"1.0\"?>\r\n<!-- keep -->\r\n<configuration>\r\n  <msi>\r\n"
              L"    <installationUrl>http://h/a?b=1&c=2</installationUrl>\r\n"
              L"  <language>en</language>\r\n<version>2.2.015</version>\r\n<productCode>{P}</productCode>\r\n"
              L"</msi>\r\n</configuration>\r\n",
              doc.documentText());
    expectSameAsFreshParse(doc);
}

// An edit whose result the record fields cannot hold is refused and changes nothing.
TEST(XmlEditing, EditsRefuseWhatTheIndexCannotHold) {
    const std::wstring longName(1021, L'n');  // its end tag would take 1,024 characters
    XmlDocument named = at(L"<r><" + longName + L"/></r>", {L"r", longName.c_str()});
    const std::wstring before = named.documentText();
    EXPECT_FALSE(named.setElementContent(L"x"));
    EXPECT_EQ(before, named.documentText());
    ASSERT_TRUE(named.enterElement());
    EXPECT_FALSE(named.addElement(L"e"));
    EXPECT_FALSE(named.insertSubDocument(L"<e/>"));
    EXPECT_EQ(before, named.documentText());
    EXPECT_EQ("", xmltest::checkIndex(named));

    std::wstring deep;
    for (int i = 0; i < 65536; ++i) deep += L"<a>";
    for (int i = 0; i < 65536; ++i) deep += L"</a>";
    XmlDocument doc;
    ASSERT_TRUE(doc.parseText(deep));
    for (int i = 0; i < 65536; ++i) {
        ASSERT_TRUE(doc.findElement(L"a"));
        ASSERT_TRUE(doc.enterElement());
    }
    EXPECT_FALSE(doc.addElement(L"b"));  // would be level 65,536
    EXPECT_FALSE(doc.insertSubDocument(L"<b/>"));
    EXPECT_EQ(L"Element 'b' at offset 0 nested too deeply", doc.resultText());
    EXPECT_EQ(deep.size() + 4, doc.documentText().size());  // the malformed fragment still goes in
    EXPECT_EQ("", xmltest::checkIndex(doc));
}
