#include "xml/element_index.h"

#include <algorithm>
#include <cassert>
#include <cstring>
#include <new>

namespace xml {

void ElementIndex::reset(int64_t textLength) {
    nextFree_ = 1;
    released_ = 0;
    resize(textLength / 64 + 8);
    at(0) = ElementRecord{};
}

int32_t ElementIndex::allocate() {
    if (nextFree_ >= capacity_) {
        if (nextFree_ == INT32_MAX) throw std::bad_alloc();
        resize(std::max<int64_t>(int64_t(nextFree_) * 3 / 2, int64_t(nextFree_) + 1));
    }
    return nextFree_++;
}

void ElementIndex::release(int32_t n) {
    assert(n > 0 && n < nextFree_);
    ElementRecord& r = at(n);
    r.flagsLevel |= ElementRecord::Released;
    r.nextSibling = released_;
    released_ = n;
}

// Every segment but the last is full size; the last one holds just what is needed,
// so a small document costs a small index.
void ElementIndex::resize(int64_t records) {
    records = std::min<int64_t>(records, INT32_MAX);
    const size_t segments = size_t((records + SegmentSize - 1) >> SegmentShift);
    const int32_t lastSize = int32_t(records - int64_t(segments - 1) * SegmentSize);
    // Grow into a new list first so a failed allocation leaves the index as it was.
    std::vector<std::unique_ptr<ElementRecord[]>> grown;
    grown.reserve(segments);
    for (size_t i = 0; i < segments; ++i) {
        const int32_t size = i + 1 == segments ? lastSize : SegmentSize;
        const bool existing = i < segments_.size();
        const int32_t had = !existing ? 0 : (i + 1 == segments_.size() ? lastSegmentSize_ : SegmentSize);
        if (existing && had == size) {
            grown.push_back(nullptr);  // taken over below
            continue;
        }
        std::unique_ptr<ElementRecord[]> segment(new ElementRecord[size_t(size)]);
        const int32_t keep = std::min(had, size);
        if (keep > 0) std::memcpy(segment.get(), segments_[i].get(), size_t(keep) * sizeof(ElementRecord));
        grown.push_back(std::move(segment));
    }
    for (size_t i = 0; i < segments; ++i) {
        if (!grown[i]) grown[i] = std::move(segments_[i]);
    }
    segments_ = std::move(grown);
    lastSegmentSize_ = lastSize;
    capacity_ = int32_t(records);
}

}  // namespace xml
