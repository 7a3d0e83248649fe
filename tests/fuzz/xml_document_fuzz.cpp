// Fuzz target: parseText of a document, then a sequence of navigation, reads
// and edits decoded from the rest of the input. After every operation the index
// must be consistent with itself, the text and the cursor; while the document
// came from a well-formed parse and every edit used well-formed markup, it must
// also be exactly what a fresh parse of the new text builds.
//
// Input: document bytes (UTF-8) up to the first 0xFF byte, then operations: one
// byte each, those with an argument followed by a length byte and that many
// bytes of UTF-8.
#include "xml/utf8.h"
#include "xml/xml_document.h"
#include "xml_index_check.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

[[noreturn]] void fail(const std::string& what, const XmlDocument& doc) {
    std::fprintf(stderr, "FAULT: %s\ntext: %s\n", what.c_str(), xml::wideToUtf8(doc.documentText()).c_str());
    std::abort();
}

class Input {
public:
    Input(const uint8_t* data, size_t size) : p_(data), end_(data + size) {}
    bool empty() const { return p_ >= end_; }
    uint8_t byte() { return p_ < end_ ? *p_++ : 0; }
    std::string bytes(size_t n) {
        n = std::min(n, size_t(end_ - p_));
        std::string out(reinterpret_cast<const char*>(p_), n);
        p_ += n;
        return out;
    }
    std::string untilFF() {
        const uint8_t* start = p_;
        while (p_ < end_ && *p_ != 0xFF) ++p_;
        std::string out(reinterpret_cast<const char*>(start), size_t(p_ - start));
        if (p_ < end_) ++p_;
        return out;
    }
    std::wstring argument() { return xml::utf8ToWide(bytes(byte())); }

private:
    const uint8_t* p_;
    const uint8_t* end_;
};

// A name that makes "<name/>" a well-formed empty element.
bool simpleName(const std::wstring& name) {
    if (name.empty()) return false;
    for (size_t i = 0; i < name.size(); ++i) {
        const wchar_t c = name[i];
        const bool letter = (c >= L'a' && c <= L'z') || (c >= L'A' && c <= L'Z') || c == L'_';
        if (!letter && (i == 0 || !((c >= L'0' && c <= L'9') || c == L'-' || c == L'.'))) return false;
    }
    return true;
}

void checkConsistent(XmlDocument& doc, bool trusted) {
    const std::string fault = xmltest::checkIndex(doc);
    if (!fault.empty()) fail(fault, doc);
    if (trusted) {
        XmlDocument fresh;
        fresh.parseText(doc.documentText());
        if (!(xmltest::elements(doc) == xmltest::elements(fresh))) fail("index differs from a fresh parse", doc);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    Input in(data, size);
    const std::string bytes = in.untilFF();
    const std::wstring text = xml::utf8ToWide(bytes);
    if (xml::utf8ToWide(xml::wideToUtf8(text)) != text) std::abort();  // decoded text round-trips
    // Strict decoding takes exactly the bytes that come back unchanged, and reads them alike.
    std::wstring strict;
    const bool wellFormed = xml::decodeUtf8(bytes, strict);
    if (wellFormed != (xml::wideToUtf8(text) == bytes) || (wellFormed && strict != text)) std::abort();
    // An invalid sequence never takes an ASCII byte with it.
    std::wstring ascii;
    for (const wchar_t c : text)
        if (c < 0x80) ascii += c;
    size_t at = 0;
    for (const char c : bytes)
        if (static_cast<unsigned char>(c) < 0x80 && (at >= ascii.size() || ascii[at++] != wchar_t(c))) std::abort();
    if (at != ascii.size()) std::abort();

    XmlDocument doc;
    bool trusted = doc.parseText(text);
    size_t written = text.size() + 16;  // characters that went into the document so far
    checkConsistent(doc, trusted);
    for (int ops = 0; !in.empty() && ops < 200; ++ops) {
        bool good = true;
        switch (in.byte() % 13) {
        case 0: doc.findElement(in.argument()); break;
        case 1: doc.findElement(L""); break;
        case 2: doc.enterElement(); break;
        case 3: doc.leaveElement(); break;
        case 4: doc.resetPosition(); break;
        case 5: (void)doc.getAttribute(in.argument()); break;
        case 6: (void)doc.getElementText(); break;
        case 7: {
            const std::wstring markup = in.argument();
            written += markup.size() + 1024;
            const bool hadCurrent = doc.currentIndex() != 0;
            good = doc.setElementContent(markup) || !hadCurrent;
            break;
        }
        case 8: {
            const std::wstring name = in.argument();
            written += name.size() + 8;
            good = simpleName(name);
            if (!doc.addElement(name) && good && doc.elementRecord(doc.parentIndex()).level() < 0xFFFF)
                fail("addElement refused a simple name", doc);
            break;
        }
        case 9: {
            const std::wstring markup = in.argument();
            written += markup.size() + 1024;
            doc.insertSubDocument(markup);
            good = doc.resultText().empty();
            break;
        }
        case 10: {
            // Repeated edits on the same spot.
            const std::wstring name = in.argument();
            written += 3 * (name.size() + 8);
            good = simpleName(name);
            for (int i = 0; i < 3; ++i) doc.addElement(name);
            break;
        }
        case 11: {
            const std::wstring again = doc.documentText();
            trusted = doc.parseText(again);
            if (doc.documentText() != again) fail("parse changed the text", doc);
            break;
        }
        default: {
            const std::string utf8 = xml::wideToUtf8(doc.documentText());
            if (xml::utf8ToWide(utf8).size() > doc.documentText().size()) fail("conversion grew the text", doc);
            break;
        }
        }
        trusted = trusted && good;
        checkConsistent(doc, trusted);
        // Records stay within a small multiple of what was put in: an element
        // takes at least three characters, and each edit one virtual record.
        if (size_t(doc.nextFreeIndex()) > written / 3 + size_t(ops) + 16) fail("index grows out of proportion", doc);
    }
    return 0;
}
