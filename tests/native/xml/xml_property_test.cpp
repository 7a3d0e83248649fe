// For many generated well-formed documents and random sequences of navigation
// and edits with well-formed markup: after every edit the index is what a fresh
// parse of the new text builds, the text changed only at the edited spot, and the
// public navigation sees the same elements, texts and attributes.
#include "xml/xml_document.h"
#include "xml_index_check.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <random>
#include <string>
#include <vector>

namespace {

class Generator {
public:
    explicit Generator(uint32_t seed) : random_(seed) {}

    int pick(int n) { return int(random_() % uint32_t(n)); }
    bool chance(int percent) { return pick(100) < percent; }

    std::wstring name() {
        static const wchar_t* names[] = {L"a", L"b", L"Item", L"item", L"x1", L"ns:el", L"\u00e9l", L"_v"};
        return names[pick(8)];
    }

    std::wstring text() {
        static const wchar_t* pieces[] = {L"t",     L"1&amp;2", L"&lt;",  L" ",
                                          L"\r\n  ", L"x>y",     L"\u00e9", L"&#65;",
                                          L"&#x1F600;"};
        std::wstring out;
        for (int i = pick(3) + 1; i > 0; --i) out += pieces[pick(9)];
        return out;
    }

    std::wstring attributes() {
        std::wstring out;
        for (int i = pick(3); i > 0; --i) {
            out += chance(50) ? L" " : L"\r\n\t";
            out += name();
            out += chance(20) ? L" = " : L"=";
            const wchar_t quote = chance(50) ? L'"' : L'\'';
            out += quote;
            out += chance(30) ? std::wstring(L"a>b/") : text();
            if (chance(20)) out += quote == L'"' ? L'\'' : L'"';
            out += quote;
        }
        return out;
    }

    std::wstring misc() {
        switch (pick(4)) {
        case 0: return L"<!-- c <a> -->";
        case 1: return L"<?pi x?>";
        case 2: return L"<![CDATA[<b>&]]>";
        default: return L"\r\n    ";
        }
    }

    std::wstring element(int depth) {
        const std::wstring n = name();
        std::wstring out = L"<" + n + attributes();
        if (depth > 5 || chance(25)) return out + (chance(50) ? L"/>" : L" />");
        out += L">";
        out += content(depth + 1);
        return out + L"</" + (chance(20) ? upper(n) : n) + L">";
    }

    std::wstring content(int depth) {
        std::wstring out;
        for (int i = pick(5); i > 0; --i) {
            const int k = pick(10);
            if (k < 5)
                out += element(depth);
            else if (k < 8)
                out += text();
            else
                out += misc();
        }
        return out;
    }

    std::wstring document() {
        std::wstring out;
        if (chance(20)) out += wchar_t(0xFEFF);
        if (chance(50)) out += L"<?xml version=\"1.0\"?>\r\n";
        if (chance(20)) out += L"<!DOCTYPE r [<!ENTITY e \"a>b\"><!-- > -->]>\r\n";
        if (chance(30)) out += misc();
        out += element(0);
        if (chance(50)) out += L"\r\n";
        return out;
    }

    // A fragment for insertSubDocument: one element with optional text around it,
    // several elements, or text alone.
    std::wstring fragment() {
        const int k = pick(10);
        if (k < 6) return (chance(30) ? text() : L"") + element(3) + (chance(30) ? misc() : L"");
        if (k < 8) return element(4) + (chance(50) ? L"\r\n" : L"") + element(4);
        return text();
    }

private:
    static std::wstring upper(std::wstring s) {
        for (wchar_t& c : s)
            if (c >= L'a' && c <= L'z') c = wchar_t(c - 32);
        return s;
    }
    std::mt19937 random_;
};

bool isSpace(wchar_t c) { return c == L' ' || c == L'\t' || c == L'\n' || c == L'\r'; }

// The text an edit must produce, worked out from the records before it.
struct Model {
    const XmlDocument& doc;

    const xml::ElementRecord& rec(int32_t r) const { return doc.elementRecord(r); }
    std::wstring name(int32_t r) const {
        const std::wstring& t = doc.documentText();
        size_t i = size_t(rec(r).start) + 1, j = i;
        while (j < t.size() && !isSpace(t[j]) && t[j] != L'/' && t[j] != L'>') ++j;
        return t.substr(i, j - i);
    }
    bool emptyElement(int32_t r) const {
        return rec(r).endTagLength() == 0 && !rec(r).has(xml::ElementRecord::NotEnded);
    }

    std::wstring setContent(const std::wstring& markup) const {
        const std::wstring& t = doc.documentText();
        const xml::ElementRecord& e = rec(doc.currentIndex());
        if (emptyElement(doc.currentIndex())) {
            const size_t slash = size_t(e.start + e.startTagLength() - 2);
            return t.substr(0, slash) + L">" + markup + L"</" + name(doc.currentIndex()) + L">" + t.substr(slash + 2);
        }
        const size_t begin = size_t(e.start + e.startTagLength());
        const size_t end = size_t(e.start + e.length - e.endTagLength());
        return t.substr(0, begin) + markup + t.substr(end);
    }

    // piece: what goes in; lineBreaks: whether the edit adds CR LF around it.
    std::wstring insert(const std::wstring& piece, bool lineBreaks) const {
        const std::wstring& t = doc.documentText();
        const int32_t parent = doc.parentIndex(), current = doc.currentIndex();
        const std::wstring crlf = lineBreaks ? L"\r\n" : L"";
        if (current == 0 && parent != 0 && emptyElement(parent)) {
            const size_t slash = size_t(rec(parent).start + rec(parent).startTagLength() - 2);
            return t.substr(0, slash) + L">" + crlf + piece + crlf + L"</" + name(parent) + L">" +
                   t.substr(slash + 2);
        }
        const size_t limit = parent == 0 ? t.size()
                                         : size_t(rec(parent).start + rec(parent).length - rec(parent).endTagLength());
        size_t q = current != 0 ? size_t(rec(current).start + rec(current).length) : limit;
        size_t i = q;
        while (i < limit && isSpace(t[i])) ++i;
        if (i == limit || t[i] == L'<') q = i;
        const bool noContent = current == 0 && parent != 0 && rec(parent).endTagLength() > 0 &&
                               rec(parent).length == rec(parent).startTagLength() + rec(parent).endTagLength();
        return t.substr(0, q) + (noContent ? crlf : L"") + piece + crlf + t.substr(q);
    }
};

// What the public operations see, walking the whole tree from the document level.
std::wstring walk(XmlDocument& doc) {
    std::wstring seen;
    doc.resetPosition();
    while (doc.leaveElement()) {
    }
    doc.resetPosition();
    int depth = 0;
    for (;;) {
        if (doc.findElement(L"")) {
            seen += std::to_wstring(depth) + L"[" + doc.getElementText() + L"|" + doc.getAttribute(L"a") +
                    L"|" + doc.getAttribute(L"item") + L"]";
            if (doc.enterElement()) ++depth;
            continue;
        }
        if (!doc.leaveElement()) break;
        --depth;
    }
    return seen;
}

std::string narrow(const std::wstring& s) { return std::string(s.begin(), s.end()); }

}  // namespace

TEST(XmlProperty, EditsMatchFreshParse) {
    const char* env = std::getenv("XML_PROPERTY_ITERATIONS");
    const int iterations = env ? std::atoi(env) : 3000;
    Generator gen(20240601);
    int edits = 0;
    for (int iteration = 0; iteration < iterations && !HasFailure(); ++iteration) {
        XmlDocument doc;
        const std::wstring original = gen.document();
        ASSERT_TRUE(doc.parseText(original)) << narrow(original) << " " << narrow(doc.resultText());
        for (int step = 0; step < 25 && !HasFailure(); ++step) {
            const std::wstring before = doc.documentText();
            std::wstring expected;
            bool edited = true;
            switch (gen.pick(9)) {
            case 0: doc.findElement(gen.chance(30) ? L"" : gen.name()); edited = false; break;
            case 1: doc.enterElement(); edited = false; break;
            case 2: doc.leaveElement(); edited = false; break;
            case 3: doc.resetPosition(); edited = false; break;
            case 4:
            case 5: {
                const std::wstring markup = gen.chance(30) ? gen.text() : gen.content(3);
                if (doc.currentIndex() == 0) {
                    EXPECT_FALSE(doc.setElementContent(markup));
                    expected = before;
                } else {
                    expected = Model{doc}.setContent(markup);
                    EXPECT_TRUE(doc.setElementContent(markup)) << narrow(markup);
                }
                break;
            }
            case 6: {
                const std::wstring n = gen.name();
                expected = Model{doc}.insert(L"<" + n + L"/>", true);
                EXPECT_TRUE(doc.addElement(n));
                break;
            }
            default: {
                const std::wstring fragment = gen.fragment();
                XmlDocument alone;
                alone.parseText(L"<f>" + fragment + L"</f>");
                alone.findElement(L"f");
                alone.enterElement();
                int count = 0;
                int32_t first = 0, last = 0;
                while (alone.findElement(L"")) {
                    if (++count == 1) first = alone.currentIndex();
                    last = alone.currentIndex();
                }
                std::wstring piece = fragment;
                if (count > 0) {
                    const size_t b = size_t(alone.elementRecord(first).start) - 3;
                    const size_t e = size_t(alone.elementRecord(last).start + alone.elementRecord(last).length) - 3;
                    piece = fragment.substr(b, e - b);
                }
                expected = Model{doc}.insert(piece, count > 0);
                EXPECT_EQ(count == 1, doc.insertSubDocument(fragment)) << narrow(fragment);
                break;
            }
            }
            ++edits;
            if (edited) ASSERT_EQ(narrow(expected), narrow(doc.documentText())) << "before: " << narrow(before);
            ASSERT_EQ("", xmltest::checkIndex(doc)) << narrow(doc.documentText());
            XmlDocument fresh;
            fresh.parseText(doc.documentText());
            ASSERT_TRUE(xmltest::elements(doc) == xmltest::elements(fresh)) << narrow(doc.documentText());
        }
        XmlDocument fresh;
        fresh.parseText(doc.documentText());
        ASSERT_EQ(narrow(walk(fresh)), narrow(walk(doc)));
    }
    RecordProperty("steps", edits);
}
