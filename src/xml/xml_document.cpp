// Parse of a document or fragment into the element index, and the cursor.
#include "xml/xml_document.h"

#include "xml/node_scanner.h"
#include "xml/xml_names.h"

#include <cassert>
#include <climits>

using xml::ElementRecord;
using xml::NodeToken;

namespace {

// Offsets are 32-bit signed, so a text can hold at most this many characters.
constexpr size_t MaxTextLength = INT32_MAX;

}  // namespace

XmlDocument::XmlDocument() {
    parseDocument();
    flags_ = IgnoreCase;
}

bool XmlDocument::parseText(const wchar_t* text) {
    return parseText(text ? std::wstring(text) : std::wstring());
}

bool XmlDocument::parseText(std::wstring text) {
    text_ = std::move(text);
    resultText_.clear();
    return parseDocument();
}

void XmlDocument::resetCursor() {
    parent_ = 0;
    current_ = 0;
    child_ = 0;
    nodeKind_ = 0;
    nodeOffset_ = 0;
    nodeLength_ = 0;
}

void XmlDocument::setResultOnce(std::wstring message) {
    if (resultText_.empty()) resultText_ = std::move(message);
}

// The whole-document parse; a message already in resultText (a file read result)
// stays in front of the parse's own message.
bool XmlDocument::parseDocument() {
    std::wstring saved;
    saved.swap(resultText_);
    resetCursor();
    const bool tooLong = text_.size() > MaxTextLength;
    index_.reset(tooLong ? 0 : int64_t(text_.size()));
    const int32_t length = tooLong ? 0 : int32_t(text_.size());
    int32_t root = 0;
    if (tooLong) {
        resultText_ = L"Document too large";
    } else if (length == 0) {
        resultText_ = L"Empty document";
    } else {
        buildIndex(0, 0, text_.data(), length);
        index_.at(0).length = length;
        root = index_.at(0).firstChild;
        if (root == 0)
            resultText_ = L"No root element";
        else if (index_.at(root).nextSibling != 0)
            resultText_ = L"Root element has sibling";
    }
    resetCursor();
    if (!saved.empty()) resultText_ = resultText_.empty() ? saved : saved + L", " + resultText_;
    return root != 0 && index_.at(root).nextSibling == 0 &&
           !index_.at(0).has(ElementRecord::IllFormed);
}

// Builds records for the elements of text under virtualParent, whose children
// get nesting level baseLevel. Returns the first element created, or 0.
int32_t XmlDocument::buildIndex(int32_t virtualParent, int32_t baseLevel, const wchar_t* text,
                                int32_t length) {
    resultText_.clear();
    const int32_t firstRecord = index_.nextFree();
    int32_t current = virtualParent;
    int32_t result = 0;
    reparented_ = false;
    stack_.reset(text);
    auto markBad = [&](std::wstring message) {
        index_.at(virtualParent).flagsLevel |= ElementRecord::IllFormed;
        index_.at(current).flagsLevel |= ElementRecord::IllData;
        setResultOnce(std::move(message));
    };
    xml::NodeScanner scanner(text, length);
    NodeToken t;
    for (;;) {
        scanner.skipText();  // text and whitespace leave no record
        scanner.next(t);
        if (t.kind == xml::Element) {
            const int64_t level = int64_t(baseLevel) + int64_t(stack_.size());
            if (uint32_t(t.length) > ElementRecord::MaxStartTag) {
                markBad(L"Element tag at offset " + std::to_wstring(t.start) + L" too long");
                continue;
            }
            if (level > int64_t(ElementRecord::MaxLevel)) {
                markBad(L"Element '" + std::wstring(text + t.nameStart, size_t(t.nameLength)) +
                        L"' at offset " + std::to_wstring(t.start) + L" nested too deeply");
                continue;
            }
            const int32_t r = index_.allocate();
            ElementRecord& parent = index_.at(current);
            ElementRecord& e = index_.at(r);
            e.start = t.start;
            e.length = t.length;
            e.setTagLengths(t.length, 0);
            e.parent = current;
            e.firstChild = 0;
            e.nextSibling = 0;
            if (parent.firstChild == 0) {
                parent.firstChild = r;
                e.previousSibling = r;
                e.flagsLevel = ElementRecord::FirstChild | uint32_t(level);
            } else {
                ElementRecord& first = index_.at(parent.firstChild);
                const int32_t last = first.previousSibling;
                index_.at(last).nextSibling = r;
                e.previousSibling = last;
                first.previousSibling = r;
                e.flagsLevel = uint32_t(level);
            }
            if (result == 0) result = r;
            if (!(t.flags & NodeToken::EmptyElement)) {
                stack_.push(xml::OpenTag{r, t.nameStart, t.nameLength});
                current = r;
            }
        } else if (t.kind == xml::EndTag) {
            if (uint32_t(t.length) > ElementRecord::MaxEndTag) {
                markBad(L"Element end tag at offset " + std::to_wstring(t.start) + L" too long");
                continue;
            }
            const ptrdiff_t found = stack_.find(t.nameStart, t.nameLength);
            if (found < 0) {
                markBad(L"No start tag for end tag '" +
                        std::wstring(text + t.nameStart, size_t(t.nameLength)) + L"' at offset " +
                        std::to_wstring(t.start));
                continue;
            }
            const size_t matched = size_t(found);
            if (matched + 1 < stack_.size()) {
                const xml::OpenTag& top = stack_.back();
                setResultOnce(L"End tag '" + std::wstring(text + t.nameStart, size_t(t.nameLength)) +
                              L"' at offset " + std::to_wstring(t.start + 1) +
                              L" does not match start tag '" +
                              std::wstring(text + top.nameStart, size_t(top.nameLength)) +
                              L"' at offset " + std::to_wstring(index_.at(top.record).start));
                closeNotEnded(virtualParent, matched + 1, stack_[matched].record);
            }
            ElementRecord& e = index_.at(stack_[matched].record);
            e.length = t.start + t.length - e.start;
            e.setTagLengths(e.startTagLength(), t.length);
            stack_.popTo(matched);
            current = matched > 0 ? stack_[matched - 1].record : virtualParent;
        } else if (t.kind == xml::Bad) {
            markBad(std::move(t.message));
        } else if (t.kind == xml::EndOfDocument) {
            if (!stack_.empty()) {
                const xml::OpenTag& top = stack_.back();
                setResultOnce(L"Element '" + std::wstring(text + top.nameStart, size_t(top.nameLength)) +
                              L"' at offset " + std::to_wstring(index_.at(top.record).start) +
                              L" not ended");
                closeNotEnded(virtualParent, 0, virtualParent);
            }
            break;
        }
    }
    stack_.reset(nullptr);
    if (reparented_) repairParents(virtualParent, baseLevel, firstRecord);
    return result;
}

// Closes the open elements stack_[from..] as not ended: each keeps only its start
// tag and its children become its following siblings under `parent` (the element
// below them on the stack, or the virtual parent). They are closed outermost
// first: each one is then its parent's last child and its children are spliced
// in one step, so a deep run of unclosed tags costs linear time. Parent fields
// and levels of moved children are repaired once the build ends.
void XmlDocument::closeNotEnded(int32_t virtualParent, size_t from, int32_t parent) {
    index_.at(virtualParent).flagsLevel |= ElementRecord::IllFormed;
    for (size_t i = from; i < stack_.size(); ++i) {
        const int32_t r = stack_[i].record;
        ElementRecord& e = index_.at(r);
        const int32_t startTag = e.startTagLength();
        e.setTagLengths(startTag, 0);
        e.length = startTag;
        e.flagsLevel |= ElementRecord::NotEnded;
        ElementRecord& p = index_.at(parent);
        if (e.has(ElementRecord::IllData)) {
            e.flagsLevel &= ~ElementRecord::IllData;
            p.flagsLevel |= ElementRecord::IllData;
        }
        if (e.firstChild != 0) {
            assert(index_.at(index_.at(p.firstChild).previousSibling).nextSibling == 0);
            ElementRecord& first = index_.at(e.firstChild);
            const int32_t last = first.previousSibling;
            e.nextSibling = e.firstChild;
            first.previousSibling = r;
            first.flagsLevel &= ~ElementRecord::FirstChild;
            index_.at(p.firstChild).previousSibling = last;
            e.firstChild = 0;
            reparented_ = true;
        }
    }
}

// Sets the parent and level of every child of the records built since
// firstRecord. A parent always precedes its children in record order (it starts
// earlier in the text), so one pass in that order settles each level before its
// children need it.
void XmlDocument::repairParents(int32_t virtualParent, int32_t baseLevel, int32_t firstRecord) {
    for (int32_t c = index_.at(virtualParent).firstChild; c != 0; c = index_.at(c).nextSibling) {
        index_.at(c).parent = virtualParent;
        index_.at(c).setLevel(baseLevel);
    }
    const int32_t end = index_.nextFree();
    for (int32_t r = firstRecord; r < end; ++r) {
        const int32_t level = index_.at(r).level() + 1;
        for (int32_t c = index_.at(r).firstChild; c != 0; c = index_.at(c).nextSibling) {
            index_.at(c).parent = r;
            index_.at(c).setLevel(level);
        }
    }
}

bool XmlDocument::findElement(std::wstring_view name) {
    int32_t candidate = current_ != 0 ? index_.at(current_).nextSibling : index_.at(parent_).firstChild;
    for (; candidate != 0; candidate = index_.at(candidate).nextSibling) {
        if (xml::elementNameMatches(text_, index_.at(candidate), name)) {
            current_ = candidate;
            child_ = 0;
            nodeKind_ = 1;
            return true;
        }
    }
    return false;
}

bool XmlDocument::enterElement() {
    if (current_ == 0) return false;
    parent_ = current_;
    current_ = child_;
    child_ = 0;
    nodeKind_ = current_ != 0 ? 1 : 0;
    return true;
}

bool XmlDocument::leaveElement() {
    if (parent_ == 0) return false;
    child_ = current_;
    current_ = parent_;
    parent_ = index_.at(parent_).parent;
    nodeKind_ = 1;
    return true;
}

void XmlDocument::resetPosition() {
    current_ = 0;
    child_ = 0;
    nodeKind_ = 0;
}
