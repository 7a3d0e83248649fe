#pragma once
// The node scanner: reads one node of markup at a time from a wide text,
// classifying it by its first characters and finding its end. It never reads
// outside [text, text + length) and never allocates except for error messages.
#include <cstdint>
#include <string>

namespace xml {

enum NodeKind : int32_t {
    EndTag = 0,
    Element = 1,
    Text = 2,
    Whitespace = 4,
    CData = 8,
    ProcessingInstruction = 16,
    Comment = 32,
    DocumentType = 64,
    Bad = -1,
    EndOfDocument = -2,
};

struct NodeToken {
    static constexpr uint32_t EmptyElement = 0x10000;  // start tag ended by "/>"

    NodeKind kind = EndOfDocument;
    int32_t start = 0;
    int32_t length = 0;
    uint32_t flags = 0;
    // Name of an element or end tag, as offsets into the text.
    int32_t nameStart = 0;
    int32_t nameLength = 0;
    // Error message of a Bad node.
    std::wstring message;
};

inline bool isSpace(wchar_t c) { return c == L' ' || c == L'\t' || c == L'\n' || c == L'\r'; }

// A character that may follow "<" to start an element: a letter, "_", ":" or
// anything above the grave accent (every non-ASCII character included).
inline bool isNameStart(wchar_t c) {
    return (c >= L'A' && c <= L'Z') || c == L'_' || c == L':' || static_cast<uint32_t>(c) > 0x60;
}

// Length of a start-tag or end-tag name beginning at text[from]: up to a space,
// tab, LF, CR, "/" or ">".
int32_t tagNameLength(const wchar_t* text, int32_t length, int32_t from);

class NodeScanner {
public:
    NodeScanner(const wchar_t* text, int32_t length) : s_(text), n_(length) {}

    // Reads the node at the next scan offset into token; the next scan offset
    // ends up just after it.
    void next(NodeToken& token);
    int32_t offset() const { return pos_; }

private:
    wchar_t at(int32_t i) const { return i < n_ ? s_[i] : L'\0'; }
    void scanText(NodeToken& t);
    void scanElement(NodeToken& t);
    void scanEndTag(NodeToken& t);
    void scanMarked(NodeToken& t, NodeKind kind, int32_t from, wchar_t mark, int32_t marks,
                    const wchar_t* word);
    void scanDocumentType(NodeToken& t);
    int32_t quotedEnd(int32_t i) const;
    void bad(NodeToken& t, const wchar_t* word, int32_t skipFrom);
    void unterminated(NodeToken& t, const wchar_t* word);

    const wchar_t* s_;
    int32_t n_;
    int32_t pos_ = 0;
};

}  // namespace xml
