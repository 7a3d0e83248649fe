// Edits: splice text into the document and keep the index in step.
//
// Every edit first does all that can fail (building the new text, parsing a
// fragment, taking records) and only then changes the document, so a failed
// allocation leaves it as it was. The index keeps one invariant the shifting
// relies on: an element's range holds exactly its descendants' ranges and
// siblings follow each other in the text, so the elements after an edit are the
// following siblings of the edited spot and of each of its ancestors.
#include "xml/xml_document.h"

#include "xml/node_scanner.h"

#include <cassert>
#include <climits>

using xml::ElementRecord;

namespace {

constexpr int64_t MaxTextLength = INT32_MAX;

bool isEmptyElement(const ElementRecord& e) {
    return e.endTagLength() == 0 && !e.has(ElementRecord::NotEnded);
}

}  // namespace

int32_t XmlDocument::childLevel(int32_t parent) const {
    return parent == 0 ? 0 : index_.at(parent).level() + 1;
}

int32_t XmlDocument::newVirtualRecord(int32_t level) {
    const int32_t r = index_.allocate();
    index_.at(r) = ElementRecord{};
    index_.at(r).setLevel(level > int32_t(ElementRecord::MaxLevel) ? int32_t(ElementRecord::MaxLevel) : level);
    return r;
}

// Releases every descendant of the element whose first child is given, walking
// without extra memory: a record is released once its subtree is done.
void XmlDocument::releaseSubtree(int32_t owner) {
    int32_t x = index_.at(owner).firstChild;
    index_.at(owner).firstChild = 0;
    while (x != 0) {
        while (index_.at(x).firstChild != 0) x = index_.at(x).firstChild;
        for (;;) {
            const int32_t next = index_.at(x).nextSibling;
            const int32_t up = index_.at(x).parent;
            index_.release(x);
            if (next != 0) {
                x = next;
                break;
            }
            if (up == owner) {
                x = 0;
                break;
            }
            x = up;
        }
    }
}

void XmlDocument::shiftSubtree(int32_t root, int32_t delta) {
    int32_t x = root;
    for (;;) {
        index_.at(x).start += delta;
        if (index_.at(x).firstChild != 0) {
            x = index_.at(x).firstChild;
            continue;
        }
        while (x != root && index_.at(x).nextSibling == 0) x = index_.at(x).parent;
        if (x == root) return;
        x = index_.at(x).nextSibling;
    }
}

void XmlDocument::shiftSiblingsAfter(int32_t record, int32_t delta) {
    for (int32_t s = index_.at(record).nextSibling; s != 0; s = index_.at(s).nextSibling)
        shiftSubtree(s, delta);
}

// The element and its ancestors grow by delta; everything after each of them moves.
void XmlDocument::growEnclosing(int32_t record, int32_t delta) {
    for (int32_t a = record; a != 0; a = index_.at(a).parent) {
        index_.at(a).length += delta;
        shiftSiblingsAfter(a, delta);
    }
    index_.at(0).length += delta;
}

// Links the sibling chain first..last under parent, after `after` or, when that
// is 0, as the last children.
void XmlDocument::linkAfter(int32_t parent, int32_t after, int32_t first, int32_t last) {
    for (int32_t c = first;; c = index_.at(c).nextSibling) {
        index_.at(c).parent = parent;
        if (c == last) break;
    }
    ElementRecord& p = index_.at(parent);
    index_.at(first).flagsLevel &= ~ElementRecord::FirstChild;
    if (after != 0) {
        const int32_t next = index_.at(after).nextSibling;
        index_.at(after).nextSibling = first;
        index_.at(first).previousSibling = after;
        index_.at(last).nextSibling = next;
        if (next != 0)
            index_.at(next).previousSibling = last;
        else
            index_.at(p.firstChild).previousSibling = last;
    } else if (p.firstChild == 0) {
        p.firstChild = first;
        index_.at(first).previousSibling = last;
        index_.at(first).flagsLevel |= ElementRecord::FirstChild;
        index_.at(last).nextSibling = 0;
    } else {
        ElementRecord& head = index_.at(p.firstChild);
        const int32_t oldLast = head.previousSibling;
        index_.at(oldLast).nextSibling = first;
        index_.at(first).previousSibling = oldLast;
        head.previousSibling = last;
        index_.at(last).nextSibling = 0;
    }
}

// Moves every element parsed under a virtual record from fragment offsets to
// document offsets.
void XmlDocument::moveFragment(int32_t virtualRecord, int32_t delta) {
    for (int32_t c = index_.at(virtualRecord).firstChild; c != 0; c = index_.at(c).nextSibling)
        shiftSubtree(c, delta);
}

// Where a new element goes: after the current element, or before the parent's
// end tag, then forward over whitespace that leads to a "<" or to the end of the
// parent's content. Never past that end, so the new text stays inside the
// parent (which matters only for a parent without an end tag).
int32_t XmlDocument::insertionPoint(int32_t parent, int32_t after) const {
    const ElementRecord& p = index_.at(parent);
    const int32_t limit = parent == 0 ? int32_t(text_.size()) : p.start + p.length - p.endTagLength();
    int32_t q = limit;
    if (after != 0) q = index_.at(after).start + index_.at(after).length;
    int32_t i = q;
    while (i < limit && xml::isSpace(text_[size_t(i)])) ++i;
    if (i == limit || text_[size_t(i)] == L'<') q = i;
    return q;
}

namespace {

// How an insertion changes the text: `removed` characters at `at` give way to
// `inserted`; the new piece begins at `pieceAt` in the new text.
struct Splice {
    int32_t at = 0;
    int32_t removed = 0;
    std::wstring inserted;
    int32_t pieceAt = 0;
    bool split = false;  // the parent "<p/>" becomes "<p>...</p>"
    int32_t splitNameLength = 0;
};

}  // namespace

bool XmlDocument::setElementContent(std::wstring_view markup) {
    if (current_ == 0) return false;
    const int32_t element = current_;
    const ElementRecord e = index_.at(element);
    const int32_t startTag = e.startTagLength();
    const int32_t nameLength = xml::tagNameLength(text_.data(), int32_t(text_.size()), e.start + 1);
    const bool needsEndTag = e.endTagLength() == 0;  // written "<name/>" or not ended
    const bool empty = isEmptyElement(e);
    if (markup.size() > size_t(MaxTextLength)) return false;
    if (needsEndTag && uint32_t(nameLength) + 3 > ElementRecord::MaxEndTag) {
        resultText_ = L"End tag for element at offset " + std::to_wstring(e.start) + L" too long";
        return false;
    }

    int32_t at;
    int32_t removed;
    std::wstring inserted;
    int32_t newStartTag = startTag;
    int32_t newEndTag = e.endTagLength();
    if (empty) {
        at = e.start + startTag - 2;  // the "/>"
        removed = 2;
        newStartTag = startTag - 1;
        inserted.reserve(markup.size() + size_t(nameLength) + 4);
        inserted += L'>';
    } else {
        at = e.start + startTag;
        removed = e.length - startTag - e.endTagLength();
        inserted.reserve(markup.size() + size_t(nameLength) + 3);
    }
    inserted += markup;
    if (needsEndTag) {
        inserted += L"</";
        inserted.append(text_, size_t(e.start) + 1, size_t(nameLength));
        inserted += L'>';
        newEndTag = nameLength + 3;
    }
    const int64_t delta = int64_t(inserted.size()) - removed;
    if (int64_t(text_.size()) + delta > MaxTextLength) return false;
    text_.reserve(text_.size() + size_t(delta > 0 ? delta : 0));

    const int32_t fragment = newVirtualRecord(e.level() + 1);
    buildIndex(fragment, e.level() + 1, markup.data(), int32_t(markup.size()));
    const bool wellFormed = !index_.at(fragment).has(ElementRecord::IllFormed);

    // Nothing below can fail.
    releaseSubtree(element);
    text_.replace(size_t(at), size_t(removed), inserted);
    ElementRecord& edited = index_.at(element);
    edited.setTagLengths(newStartTag, newEndTag);
    edited.flagsLevel &= ~(ElementRecord::NotEnded | ElementRecord::IllData);
    edited.flagsLevel |= index_.at(fragment).flagsLevel & ElementRecord::IllData;
    growEnclosing(element, int32_t(delta));
    moveFragment(fragment, e.start + newStartTag);
    const int32_t first = index_.at(fragment).firstChild;
    if (first != 0) linkAfter(element, 0, first, index_.at(first).previousSibling);
    index_.release(fragment);
    child_ = 0;
    return wellFormed;
}

bool XmlDocument::addElement(std::wstring_view name) {
    const int32_t parent = parent_;
    const int32_t after = current_;
    const int32_t level = childLevel(parent);
    const size_t elementLength = name.size() + 3;
    if (level > int32_t(ElementRecord::MaxLevel) || elementLength > ElementRecord::MaxStartTag) return false;

    Splice splice;
    const ElementRecord& p = index_.at(parent);
    std::wstring element;
    element.reserve(elementLength);
    element += L'<';
    element += name;
    element += L"/>";
    if (after == 0 && parent != 0 && isEmptyElement(p)) {
        const int32_t nameLength = xml::tagNameLength(text_.data(), int32_t(text_.size()), p.start + 1);
        if (uint32_t(nameLength) + 3 > ElementRecord::MaxEndTag) return false;
        splice.split = true;
        splice.splitNameLength = nameLength;
        splice.at = p.start + p.startTagLength() - 2;
        splice.removed = 2;
        splice.inserted = L">\r\n" + element + L"\r\n</";
        splice.inserted.append(text_, size_t(p.start) + 1, size_t(nameLength));
        splice.inserted += L'>';
        splice.pieceAt = splice.at + 3;
    } else {
        splice.at = insertionPoint(parent, after);
        const bool noContent = after == 0 && parent != 0 && p.endTagLength() > 0 &&
                               p.length == p.startTagLength() + p.endTagLength();
        splice.pieceAt = splice.at;
        if (noContent) {
            splice.inserted = L"\r\n";
            splice.pieceAt += 2;
        }
        splice.inserted += element;
        splice.inserted += L"\r\n";
    }
    const int64_t delta = int64_t(splice.inserted.size()) - splice.removed;
    if (int64_t(text_.size()) + delta > MaxTextLength) return false;
    text_.reserve(text_.size() + size_t(delta));
    const int32_t r = index_.allocate();

    // Nothing below can fail.
    text_.replace(size_t(splice.at), size_t(splice.removed), splice.inserted);
    ElementRecord& n = index_.at(r);
    n = ElementRecord{};
    n.start = splice.pieceAt;
    n.length = int32_t(elementLength);
    n.setTagLengths(int32_t(elementLength), 0);
    n.setLevel(level);
    if (splice.split) {
        ElementRecord& q = index_.at(parent);
        q.setTagLengths(q.startTagLength() - 1, splice.splitNameLength + 3);
    }
    linkAfter(parent, after, r, r);
    shiftSiblingsAfter(r, int32_t(delta));
    growEnclosing(parent, int32_t(delta));
    current_ = r;
    child_ = 0;
    nodeKind_ = 1;
    return true;
}

bool XmlDocument::insertSubDocument(std::wstring_view markup) {
    const int32_t parent = parent_;
    const int32_t after = current_;
    if (markup.size() > size_t(MaxTextLength)) return false;
    const ElementRecord& p0 = index_.at(parent);
    const bool split = after == 0 && parent != 0 && isEmptyElement(p0);
    int32_t splitNameLength = 0;
    if (split) {
        splitNameLength = xml::tagNameLength(text_.data(), int32_t(text_.size()), p0.start + 1);
        if (uint32_t(splitNameLength) + 3 > ElementRecord::MaxEndTag) {
            resultText_ = L"End tag for element at offset " + std::to_wstring(p0.start) + L" too long";
            return false;
        }
    }

    const int32_t level = childLevel(parent);
    const int32_t fragment = newVirtualRecord(level);
    buildIndex(fragment, level, markup.data(), int32_t(markup.size()));
    const int32_t first = index_.at(fragment).firstChild;
    const int32_t last = first != 0 ? index_.at(first).previousSibling : 0;
    const bool error = index_.at(fragment).has(ElementRecord::IllFormed);

    // Exactly one good element goes in alone, with line breaks; several go in
    // from the first one's start to the last one's end; anything else goes in
    // whole, without line breaks.
    size_t pieceBegin = 0;
    size_t pieceEnd = markup.size();
    const bool lineBreaks = !error && first != 0;
    if (lineBreaks) {
        pieceBegin = size_t(index_.at(first).start);
        pieceEnd = size_t(index_.at(last).start) + size_t(index_.at(last).length);
    }
    const bool result = lineBreaks && first == last;

    const ElementRecord& p = index_.at(parent);
    Splice splice;
    if (split) {
        splice.at = p.start + p.startTagLength() - 2;
        splice.removed = 2;
        splice.inserted = lineBreaks ? L">\r\n" : L">";
        splice.pieceAt = splice.at + int32_t(splice.inserted.size());
        splice.inserted.append(markup.substr(pieceBegin, pieceEnd - pieceBegin));
        if (lineBreaks) splice.inserted += L"\r\n";
        splice.inserted += L"</";
        splice.inserted.append(text_, size_t(p.start) + 1, size_t(splitNameLength));
        splice.inserted += L'>';
    } else {
        splice.at = insertionPoint(parent, after);
        const bool noContent = after == 0 && parent != 0 && p.endTagLength() > 0 &&
                               p.length == p.startTagLength() + p.endTagLength();
        if (lineBreaks && noContent) splice.inserted = L"\r\n";
        splice.pieceAt = splice.at + int32_t(splice.inserted.size());
        splice.inserted.append(markup.substr(pieceBegin, pieceEnd - pieceBegin));
        if (lineBreaks) splice.inserted += L"\r\n";
    }
    const int64_t delta = int64_t(splice.inserted.size()) - splice.removed;
    if (int64_t(text_.size()) + delta > MaxTextLength) {
        index_.release(fragment);
        return false;
    }
    text_.reserve(text_.size() + size_t(delta));

    // Nothing below can fail.
    text_.replace(size_t(splice.at), size_t(splice.removed), splice.inserted);
    if (split) {
        ElementRecord& q = index_.at(parent);
        q.setTagLengths(q.startTagLength() - 1, splitNameLength + 3);
    }
    moveFragment(fragment, splice.pieceAt - int32_t(pieceBegin));
    if (first != 0) {
        linkAfter(parent, after, first, last);
        shiftSiblingsAfter(last, int32_t(delta));
        current_ = first;
        child_ = 0;
        nodeKind_ = 1;
    } else if (after != 0) {
        shiftSiblingsAfter(after, int32_t(delta));
    }
    growEnclosing(parent, int32_t(delta));
    index_.release(fragment);
    return result;
}
