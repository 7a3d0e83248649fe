#pragma once
// The element index: fixed 32-byte records in a two-level table of 65,536-record
// segments, so a record number stays valid (and cheap to address) however the
// index grows. Record 0 is the virtual document element.
#include <cstdint>
#include <memory>
#include <vector>

namespace xml {

struct ElementRecord {
    int32_t start;          // offset of the element's "<"
    int32_t length;         // "<" up to the end of the end tag (or of the start tag)
    uint32_t tagLengths;    // start-tag length in the low 22 bits, end-tag length in the high 10
    uint32_t flagsLevel;    // nesting level in the low 16 bits, flags above
    int32_t parent;
    int32_t firstChild;
    int32_t nextSibling;
    int32_t previousSibling;  // of a first child: the last child (a ring for appending)

    int32_t startTagLength() const { return int32_t(tagLengths & MaxStartTag); }
    int32_t endTagLength() const { return int32_t(tagLengths >> 22); }
    void setTagLengths(int32_t startTag, int32_t endTag) {
        tagLengths = uint32_t(startTag) | (uint32_t(endTag) << 22);
    }
    int32_t level() const { return int32_t(flagsLevel & MaxLevel); }
    void setLevel(int32_t level) { flagsLevel = (flagsLevel & ~MaxLevel) | uint32_t(level); }
    bool has(uint32_t flag) const { return (flagsLevel & flag) != 0; }

    static constexpr uint32_t MaxStartTag = 0x3FFFFF;  // 4,194,303 characters
    static constexpr uint32_t MaxEndTag = 0x3FF;       // 1,023 characters
    static constexpr uint32_t MaxLevel = 0xFFFF;

    static constexpr uint32_t Released = 0x20000;
    static constexpr uint32_t FirstChild = 0x80000;
    static constexpr uint32_t NotEnded = 0x100000;
    static constexpr uint32_t IllData = 0x200000;
    static constexpr uint32_t IllFormed = 0x800000;
};
static_assert(sizeof(ElementRecord) == 32, "the record layout is fixed at eight 32-bit words");

class ElementIndex {
public:
    static constexpr int SegmentShift = 16;
    static constexpr int32_t SegmentSize = 1 << SegmentShift;

    ElementRecord& at(int32_t n) { return segments_[size_t(n) >> SegmentShift][n & (SegmentSize - 1)]; }
    const ElementRecord& at(int32_t n) const {
        return segments_[size_t(n) >> SegmentShift][n & (SegmentSize - 1)];
    }

    // Drops every record and sizes the table for a text of textLength characters;
    // record 0 is cleared and the next free index is 1.
    void reset(int64_t textLength);
    // A fresh record (uninitialised) from the next free index; grows the table.
    int32_t allocate();
    // Puts a record on the released list; released records are never reused.
    void release(int32_t n);

    int32_t nextFree() const { return nextFree_; }
    int32_t capacity() const { return capacity_; }
    int32_t releasedList() const { return released_; }

private:
    void resize(int64_t records);

    std::vector<std::unique_ptr<ElementRecord[]>> segments_;
    int32_t lastSegmentSize_ = 0;
    int32_t capacity_ = 0;
    int32_t nextFree_ = 1;
    int32_t released_ = 0;
};

}  // namespace xml
