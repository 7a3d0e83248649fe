#pragma once
// XmlDocument: one document held as a single wide-character text plus an index
// of fixed 32-byte element records. Navigation moves a cursor over the index,
// reads cut text out of the string and edits splice text into it while keeping
// the index in step, so text outside an edited spot is never rewritten.
//
// Never throws for bad input (only std::bad_alloc may leave an operation) and
// never reads outside its text. Used by one thread at a time.
#include "xml/element_index.h"
#include "xml/open_tag_stack.h"

#include <cstdint>
#include <string>
#include <string_view>

class XmlDocument {
public:
    // The only document flag; every document compares names this way.
    static constexpr uint32_t IgnoreCase = 8;

    XmlDocument();
    XmlDocument(XmlDocument&&) noexcept = default;
    XmlDocument& operator=(XmlDocument&&) noexcept = default;
    XmlDocument(const XmlDocument&) = delete;
    XmlDocument& operator=(const XmlDocument&) = delete;

    // Replaces the text (nullptr means empty), clears resultText, parses it and
    // resets the cursor to the document level. True when well formed.
    bool parseText(const wchar_t* text);
    bool parseText(std::wstring text);

    // The cursor: a parent, the current element among its children (or none) and
    // the current element's current child. findElement searches the siblings after
    // the current element (all children when none is current) for the first name
    // match, ignoring ASCII case; on failure nothing changes.
    bool findElement(std::wstring_view name);
    // The current element becomes the parent (false when none is current).
    bool enterElement();
    // The parent becomes current again (false at the document level).
    bool leaveElement();
    // No element current: the next findElement searches all children again.
    void resetPosition();

    // Reads of the current element (empty when none is current).
    std::wstring getAttribute(std::wstring_view name) const;
    std::wstring getElementText() const;
    const std::wstring& documentText() const { return text_; }
    const std::wstring& resultText() const { return resultText_; }

    // Edits; the index stays in step with the text without a new parse.
    // Replaces the current element's content by markup, inserted verbatim; the
    // element stays current. False when none is current (nothing changes) or the
    // markup is not well formed (it goes in all the same).
    bool setElementContent(std::wstring_view markup);
    // Inserts "<name/>" and CR LF after the current element, or as the last child,
    // and makes it current. False, changing nothing, only when the index could not
    // hold the result (nesting beyond 65,535 levels, a tag too long for its field).
    bool addElement(std::wstring_view name);
    // Inserts a fragment where addElement would; its first element becomes
    // current. True when the fragment is exactly one well-formed element.
    bool insertSubDocument(std::wstring_view markup);

    // File boundary: byte-exact UTF-8 files (no mark added or removed). A read
    // fails, leaving text alone, when the file cannot be read or is not UTF-8;
    // result then holds the runtime's text for the error number.
    static bool readTextFile(const std::wstring& path, std::wstring& text, std::wstring& result);
    static bool writeTextFile(const std::wstring& path, const std::wstring& text,
                              std::wstring& result);
    // readTextFile into this document, then the parse with the read's result in
    // front of any parse message. False when the read fails (document untouched)
    // or the document is not well formed.
    bool loadFile(const std::wstring& path);
    // writeTextFile of documentText(); its result goes to resultText.
    bool saveFile(const std::wstring& path);

    // Inspection, for diagnostics and tests.
    int32_t parentIndex() const { return parent_; }
    int32_t currentIndex() const { return current_; }
    int32_t childIndex() const { return child_; }
    int32_t nextFreeIndex() const { return index_.nextFree(); }
    int32_t releasedList() const { return index_.releasedList(); }
    int32_t indexCapacity() const { return index_.capacity(); }
    const xml::ElementRecord& elementRecord(int32_t index) const { return index_.at(index); }
    uint32_t documentFlags() const { return flags_; }

private:
    bool parseDocument();
    int32_t buildIndex(int32_t virtualParent, int32_t baseLevel, const wchar_t* text, int32_t length);
    void closeNotEnded(int32_t virtualParent, size_t from, int32_t parent);
    void repairParents(int32_t virtualParent, int32_t baseLevel, int32_t firstRecord);
    void setResultOnce(std::wstring message);
    void resetCursor();

    int32_t childLevel(int32_t parent) const;
    int32_t newVirtualRecord(int32_t level);
    void releaseSubtree(int32_t owner);
    void shiftSubtree(int32_t record, int32_t delta);
    void shiftSiblingsAfter(int32_t record, int32_t delta);
    void growEnclosing(int32_t record, int32_t delta);
    void linkAfter(int32_t parent, int32_t after, int32_t first, int32_t last);
    void moveFragment(int32_t virtualRecord, int32_t delta);
    int32_t insertionPoint(int32_t parent, int32_t after) const;

    std::wstring text_;
    std::wstring resultText_;
    int32_t parent_ = 0;
    int32_t current_ = 0;
    int32_t child_ = 0;
    int32_t nodeKind_ = 0;
    int32_t nodeOffset_ = 0;
    int32_t nodeLength_ = 0;
    uint32_t flags_ = 0;
    xml::ElementIndex index_;
    xml::OpenTagStack stack_;     // open start tags while building the index
    bool reparented_ = false;     // a not-ended element handed its children up
};

