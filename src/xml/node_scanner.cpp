#include "xml/node_scanner.h"

#include <cwchar>

namespace xml {

// Everything that starts with "<" but is neither a start nor an end tag.
void NodeScanner::scanOther(NodeToken& t) {
    const int32_t p = pos_;
    const wchar_t c1 = at(p + 1);
    if (c1 == L'?') {
        scanMarked(t, ProcessingInstruction, p + 2, L'?', 1, L"Processing instruction");
    } else if (c1 == L'!') {
        const wchar_t c2 = at(p + 2);
        if (c2 == L'-') {
            if (at(p + 3) == L'-')
                scanMarked(t, Comment, p + 4, L'-', 2, L"Comment");
            else
                bad(t, L"comment tag", p + 1);
        } else if (c2 == L'[') {
            if (at(p + 3) == L'C')
                scanMarked(t, CData, p + 4, L']', 2, L"CDATA Section");
            else
                bad(t, L"tag", p + 1);
        } else if (c2 == L'D') {
            scanDocumentType(t);
        } else {
            bad(t, L"! tag", p + 1);
        }
    } else {
        bad(t, L"tag name character", p + 1);
    }
}

// Whitespace runs up to the next "<"; text that starts with another character
// ends before the next "<" or just after a ">".
void NodeScanner::scanText(NodeToken& t) {
    const int32_t p = pos_;
    int32_t i = p;
    if (isSpace(s_[i])) {
        while (i < n_ && isSpace(s_[i])) ++i;
        if (i >= n_ || s_[i] == L'<') {
            t.kind = Whitespace;
            t.length = i - p;
            pos_ = i;
            return;
        }
        while (i < n_ && s_[i] != L'<') ++i;
    } else {
        while (i < n_) {
            const wchar_t c = s_[i++];
            if (c == L'>' || (i < n_ && s_[i] == L'<')) break;
        }
    }
    t.kind = Text;
    t.length = i - p;
    pos_ = i;
}

// End of a quoted run that opens at text[i]: the index after its closing quote,
// or -1 when the text ends first. Inside, the other quote and ">" mean nothing.
int32_t NodeScanner::quotedEnd(int32_t i) const {
    const wchar_t* close = std::wmemchr(s_ + i + 1, s_[i], size_t(n_ - i - 1));
    return close ? int32_t(close - s_) + 1 : -1;
}

// Nodes closed by a marker: "?>" (one mark), "-->" and "]]>" (two marks). The
// marks must come after the opening characters, so "<!-->" is not a comment.
void NodeScanner::scanMarked(NodeToken& t, NodeKind kind, int32_t from, wchar_t mark, int32_t marks,
                             const wchar_t* word) {
    int32_t i = from + marks;
    for (;;) {
        if (i >= n_) return unterminated(t, word);
        const wchar_t* close = std::wmemchr(s_ + i, L'>', size_t(n_ - i));
        if (!close) return unterminated(t, word);
        i = int32_t(close - s_);
        if (s_[i - 1] == mark && (marks == 1 || s_[i - 2] == mark)) break;
        ++i;
    }
    t.kind = kind;
    t.length = i + 1 - pos_;
    pos_ = i + 1;
}

// A document type ends at the first ">" outside the declarations and comments of
// its internal subset.
void NodeScanner::scanDocumentType(NodeToken& t) {
    const int32_t p = pos_;
    int32_t i = p + 3;
    for (;;) {
        if (i >= n_) return unterminated(t, L"Doctype");
        const wchar_t c = s_[i];
        if (c == L'>') break;
        if (c != L'<' || at(i + 1) != L'!') {
            ++i;
            continue;
        }
        const wchar_t c2 = at(i + 2);
        if (c2 == L'-' && at(i + 3) == L'-') {
            int32_t j = i + 6;
            for (;;) {
                if (j >= n_) return unterminated(t, L"Doctype");
                const wchar_t* close = std::wmemchr(s_ + j, L'>', size_t(n_ - j));
                if (!close) return unterminated(t, L"Doctype");
                j = int32_t(close - s_);
                if (s_[j - 1] == L'-' && s_[j - 2] == L'-') break;
                ++j;
            }
            i = j + 1;
        } else if (c2 == L'E' || c2 == L'A' || c2 == L'N') {
            int32_t j = i + 3;
            for (;;) {
                while (j < n_ && s_[j] != L'>' && s_[j] != L'"' && s_[j] != L'\'') ++j;
                if (j >= n_) return unterminated(t, L"Doctype");
                if (s_[j] == L'>') break;
                j = quotedEnd(j);
                if (j < 0) return unterminated(t, L"Doctype");
            }
            i = j + 1;
        } else if (i + 2 >= n_) {
            return unterminated(t, L"Doctype");
        } else {
            return bad(t, L"! tag", i + 2);
        }
    }
    t.kind = DocumentType;
    t.length = i + 1 - p;
    pos_ = i + 1;
}

// After a bad construction the scan goes on after the next ">", or just before
// the next "<", whichever comes first.
void NodeScanner::bad(NodeToken& t, const wchar_t* word, int32_t skipFrom) {
    int32_t i = skipFrom;
    while (i < n_ && s_[i] != L'>' && s_[i] != L'<') ++i;
    if (i < n_ && s_[i] == L'>') ++i;
    t.kind = Bad;
    t.length = i - pos_;
    t.message = std::wstring(L"Incorrect ") + word + L" at offset " + std::to_wstring(pos_);
    pos_ = i;
}

void NodeScanner::unterminated(NodeToken& t, const wchar_t* word) {
    t.kind = Bad;
    t.length = n_ - pos_;
    t.message = std::wstring(word) + L" at offset " + std::to_wstring(pos_) + L" unterminated";
    pos_ = n_;
}

}  // namespace xml
