#pragma once
// The node scanner: reads one node of markup at a time from a wide text,
// classifying it by its first characters and finding its end. It never reads
// outside [text, text + length) and never allocates except for error messages.
#include <cstdint>
#include <cwchar>
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
inline int32_t tagNameLength(const wchar_t* text, int32_t length, int32_t from) {
    int32_t i = from;
    while (i < length) {
        const wchar_t c = text[i];
        if (c <= L'>' && (c == L'>' || c == L'/' || isSpace(c))) break;
        ++i;
    }
    return i - from;
}

class NodeScanner {
public:
    NodeScanner(const wchar_t* text, int32_t length) : s_(text), n_(length) {}

    // Reads the node at the next scan offset into token; the next scan offset
    // ends up just after it.
    inline void next(NodeToken& token);
    // Moves the next scan offset over any text and whitespace to the next "<",
    // for readers that ignore text nodes.
    inline void skipText();
    int32_t offset() const { return pos_; }

private:
    wchar_t at(int32_t i) const { return i < n_ ? s_[i] : L'\0'; }
    void scanText(NodeToken& t);
    inline void scanElement(NodeToken& t);
    inline void scanEndTag(NodeToken& t);
    void scanOther(NodeToken& t);
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

// Elements, end tags and text are most of any document, so their scans are
// inline; the rest is out of line.
void NodeScanner::next(NodeToken& t) {
    const int32_t p = pos_;
    t.start = p;
    t.flags = 0;
    t.nameStart = 0;
    t.nameLength = 0;
    if (p >= n_) {
        t.kind = EndOfDocument;
        t.length = 0;
    } else if (s_[p] != L'<') {
        scanText(t);
    } else if (p + 1 < n_ && isNameStart(s_[p + 1])) {
        scanElement(t);
    } else if (p + 1 < n_ && s_[p + 1] == L'/') {
        scanEndTag(t);
    } else {
        scanOther(t);
    }
}

void NodeScanner::skipText() {
    int32_t i = pos_;
    const int32_t shortRun = i + 16 < n_ ? i + 16 : n_;
    while (i < shortRun && s_[i] != L'<') ++i;
    if (i == shortRun && i < n_) {
        const wchar_t* open = std::wmemchr(s_ + i, L'<', size_t(n_ - i));
        i = open ? int32_t(open - s_) : n_;
    }
    pos_ = i;
}

void NodeScanner::scanElement(NodeToken& t) {
    const int32_t p = pos_;
    const int32_t nameEnd = p + 1 + tagNameLength(s_, n_, p + 1);
    int32_t i = nameEnd;
    for (;;) {
        wchar_t c = 0;
        while (i < n_) {
            c = s_[i];
            if (c <= L'>' && (c == L'>' || c == L'"' || c == L'\'')) break;
            ++i;
        }
        if (i >= n_) return unterminated(t, L"Element tag");
        if (c == L'>') break;
        // A quoted value: the other quote and ">" mean nothing inside it.
        ++i;
        while (i < n_ && s_[i] != c) ++i;
        if (i >= n_) return unterminated(t, L"Element tag");
        ++i;
    }
    // i is the closing ">". In an unquoted value such as b=c/ the "/" is part of it.
    if (s_[i - 1] == L'/') {
        const wchar_t before = s_[i - 2];
        if (i - 1 == nameEnd || isSpace(before) || before == L'"' || before == L'\'')
            t.flags = NodeToken::EmptyElement;
    }
    t.kind = Element;
    t.length = i + 1 - p;
    t.nameStart = p + 1;
    t.nameLength = nameEnd - p - 1;
    pos_ = i + 1;
}

void NodeScanner::scanEndTag(NodeToken& t) {
    const int32_t p = pos_;
    const int32_t nameLength = tagNameLength(s_, n_, p + 2);
    int32_t i = p + 2 + nameLength;
    while (i < n_ && s_[i] != L'>') ++i;
    if (i >= n_) return unterminated(t, L"Element end tag");
    t.kind = EndTag;
    t.length = i + 1 - p;
    t.nameStart = p + 2;
    t.nameLength = nameLength;
    pos_ = i + 1;
}

}  // namespace xml
