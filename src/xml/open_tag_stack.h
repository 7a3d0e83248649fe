#pragma once
// The start tags still open while the index is built, and the search for the
// innermost one an end tag closes. Most end tags close the top one; otherwise a
// shallow stack is searched from the top down, and a deep one through an ordered
// map of its names, so a long run of end tags that match nothing costs
// O(log depth) each instead of O(depth) (no quadratic parse for hostile input).
#include "xml/xml_names.h"

#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace xml {

struct OpenTag {
    int32_t record;
    int32_t nameStart;  // the name, as offsets into the text being parsed
    int32_t nameLength;
};

class OpenTagStack {
public:
    void reset(const wchar_t* text);
    size_t size() const { return tags_.size(); }
    bool empty() const { return tags_.empty(); }
    const OpenTag& operator[](size_t depth) const { return tags_[depth]; }
    const OpenTag& back() const { return tags_.back(); }

    // Depth of the innermost open tag whose name equals text[nameStart, +nameLength)
    // under the case rule, or -1.
    ptrdiff_t find(int32_t nameStart, int32_t nameLength) {
        if (!tags_.empty() && same(tags_.back(), nameStart, nameLength)) return ptrdiff_t(tags_.size()) - 1;
        return findBelowTop(nameStart, nameLength);
    }
    void push(const OpenTag& tag) {
        if (mapped_ || tags_.size() == tags_.capacity()) return pushSlow(tag);
        tags_.push_back(tag);
    }
    // Removes the tags at depth and above.
    void popTo(size_t depth) {
        if (mapped_) return popMapped(depth);
        tags_.resize(depth);
    }

private:
    static constexpr size_t SearchDepth = 64;  // beyond this the map is used
    static constexpr size_t DropDepth = 32;    // below this the map is dropped again

    bool same(const OpenTag& tag, int32_t nameStart, int32_t nameLength) const {
        return tag.nameLength == nameLength &&
               namesEqual(text_ + tag.nameStart, text_ + nameStart, size_t(nameLength));
    }
    ptrdiff_t findBelowTop(int32_t nameStart, int32_t nameLength);
    void pushSlow(const OpenTag& tag);
    void popMapped(size_t depth);
    std::wstring key(int32_t nameStart, int32_t nameLength) const;
    void buildMap();

    const wchar_t* text_ = nullptr;
    std::vector<OpenTag> tags_;
    std::map<std::wstring, std::vector<size_t>> byName_;  // folded name -> depths, innermost last
    bool mapped_ = false;
};

}  // namespace xml
