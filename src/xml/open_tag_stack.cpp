#include "xml/open_tag_stack.h"

namespace xml {

void OpenTagStack::reset(const wchar_t* text) {
    text_ = text;
    tags_.clear();
    byName_.clear();
    mapped_ = false;
}

void OpenTagStack::pushSlow(const OpenTag& tag) {
    if (tags_.size() == tags_.capacity()) tags_.reserve(tags_.size() * 2 + 6);
    tags_.push_back(tag);
    if (mapped_) byName_[key(tag.nameStart, tag.nameLength)].push_back(tags_.size() - 1);
}

void OpenTagStack::popMapped(size_t depth) {
    for (size_t i = tags_.size(); i > depth; --i) {
        const auto found = byName_.find(key(tags_[i - 1].nameStart, tags_[i - 1].nameLength));
        found->second.pop_back();
        if (found->second.empty()) byName_.erase(found);
    }
    tags_.resize(depth);
    if (tags_.size() < DropDepth) {
        byName_.clear();
        mapped_ = false;
    }
}

ptrdiff_t OpenTagStack::findBelowTop(int32_t nameStart, int32_t nameLength) {
    if (tags_.empty()) return -1;
    if (!mapped_ && tags_.size() <= SearchDepth) {
        for (size_t i = tags_.size() - 1; i > 0; --i) {
            if (same(tags_[i - 1], nameStart, nameLength)) return ptrdiff_t(i) - 1;
        }
        return -1;
    }
    if (!mapped_) buildMap();
    const auto found = byName_.find(key(nameStart, nameLength));
    return found == byName_.end() ? -1 : ptrdiff_t(found->second.back());
}

std::wstring OpenTagStack::key(int32_t nameStart, int32_t nameLength) const {
    std::wstring folded(text_ + nameStart, size_t(nameLength));
    for (wchar_t& c : folded) c = foldCase(c);
    return folded;
}

void OpenTagStack::buildMap() {
    for (size_t i = 0; i < tags_.size(); ++i) byName_[key(tags_[i].nameStart, tags_[i].nameLength)].push_back(i);
    mapped_ = true;
}

}  // namespace xml
