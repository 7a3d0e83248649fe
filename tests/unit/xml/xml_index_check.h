#pragma once
// Test helpers shared by the unit tests, the property test and the fuzz target:
// a structural check of a document's element index, and a flat view of the
// elements that two documents can be compared by.
#include "xml/xml_document.h"

#include <cstdint>
#include <string>
#include <vector>

namespace xmltest {

struct ElementView {
    int depth;
    int32_t start;
    int32_t length;
    int32_t startTag;
    int32_t endTag;
    int32_t level;
    bool notEnded;
    bool operator==(const ElementView& o) const {
        return depth == o.depth && start == o.start && length == o.length && startTag == o.startTag &&
               endTag == o.endTag && level == o.level && notEnded == o.notEnded;
    }
};

// Every element reachable from the document element, in document order.
inline std::vector<ElementView> elements(const XmlDocument& doc) {
    std::vector<ElementView> out;
    struct Frame {
        int32_t record;
        int depth;
    };
    std::vector<Frame> pending;
    for (int32_t c = doc.elementRecord(0).firstChild; c != 0; c = doc.elementRecord(c).nextSibling)
        pending.push_back({c, 0});
    std::vector<Frame> reversed(pending.rbegin(), pending.rend());
    pending.swap(reversed);
    while (!pending.empty() && out.size() <= size_t(doc.nextFreeIndex())) {
        const Frame f = pending.back();
        pending.pop_back();
        const xml::ElementRecord& e = doc.elementRecord(f.record);
        out.push_back({f.depth, e.start, e.length, e.startTagLength(), e.endTagLength(), e.level(),
                       e.has(xml::ElementRecord::NotEnded)});
        std::vector<Frame> children;
        for (int32_t c = e.firstChild; c != 0 && children.size() <= size_t(doc.nextFreeIndex());
             c = doc.elementRecord(c).nextSibling)
            children.push_back({c, f.depth + 1});
        pending.insert(pending.end(), children.rbegin(), children.rend());
    }
    return out;
}

// Empty when the index is consistent with itself, the text and the cursor;
// otherwise a description of the first fault found.
inline std::string checkIndex(const XmlDocument& doc) {
    using xml::ElementRecord;
    const std::wstring& text = doc.documentText();
    const int64_t n = int64_t(text.size());
    const int32_t records = doc.nextFreeIndex();
    auto at = [&](int32_t r) -> const ElementRecord& { return doc.elementRecord(r); };
    if (at(0).start != 0 || at(0).length != n) return "document record does not span the text";
    std::vector<char> seen(size_t(records), 0);
    std::vector<int32_t> work{0};
    seen[0] = 1;
    while (!work.empty()) {
        const int32_t r = work.back();
        work.pop_back();
        const ElementRecord& p = at(r);
        const int64_t contentBegin = r == 0 ? 0 : int64_t(p.start) + p.startTagLength();
        const int64_t contentEnd = r == 0 ? n : int64_t(p.start) + p.length - p.endTagLength();
        int64_t previousEnd = contentBegin;
        int32_t previous = 0;
        for (int32_t c = p.firstChild; c != 0; c = at(c).nextSibling) {
            if (c < 0 || c >= records) return "link outside the index";
            if (seen[size_t(c)]) return "record reached twice";
            seen[size_t(c)] = 1;
            const ElementRecord& e = at(c);
            if (e.has(ElementRecord::Released)) return "released record linked";
            if (e.parent != r) return "wrong parent of record " + std::to_string(c);
            const bool first = previous == 0;
            if (first != e.has(ElementRecord::FirstChild)) return "FirstChild flag wrong";
            if (!first && e.previousSibling != previous) return "previous sibling wrong";
            if (e.start < previousEnd) return "record " + std::to_string(c) + " overlaps what precedes it";
            if (e.startTagLength() < 1 || e.length < e.startTagLength() + e.endTagLength())
                return "tag lengths exceed the element";
            if (int64_t(e.start) + e.length > contentEnd)
                return "record " + std::to_string(c) + " outside its parent's content";
            if (text[size_t(e.start)] != L'<') return "element does not start with <";
            if (e.endTagLength() > 0 &&
                text.compare(size_t(e.start + e.length - e.endTagLength()), 2, L"</") != 0)
                return "end tag does not start with </";
            if (e.level() != (r == 0 ? 0 : p.level() + 1)) return "wrong level of record " + std::to_string(c);
            previousEnd = int64_t(e.start) + e.length;
            previous = c;
            work.push_back(c);
        }
        if (p.firstChild != 0 && at(p.firstChild).previousSibling != previous)
            return "first child does not name the last one";
    }
    int32_t count = 0;
    for (int32_t r = doc.releasedList(); r != 0; r = at(r).nextSibling) {
        if (r < 0 || r >= records || ++count > records) return "released list broken";
        if (!at(r).has(ElementRecord::Released) || seen[size_t(r)]) return "released record still in use";
    }
    // The cursor stands on live records.
    const int32_t parent = doc.parentIndex(), current = doc.currentIndex(), child = doc.childIndex();
    if (parent < 0 || parent >= records || !seen[size_t(parent)]) return "cursor parent not in the tree";
    if (current != 0 && (current >= records || !seen[size_t(current)] || at(current).parent != parent))
        return "current element not a child of the parent";
    if (child != 0 && (current == 0 || child >= records || !seen[size_t(child)] || at(child).parent != current))
        return "current child not a child of the current element";
    return {};
}

}  // namespace xmltest
