#include "clrhost/text_cell.h"

#include <cstring>

namespace clrhost {
namespace {

// The global block that pointer starts, or null when it is none.
HGLOBAL blockOf(const void* pointer) {
    if (pointer == nullptr) return nullptr;
    HGLOBAL block = ::GlobalHandle(pointer);
    if (block == nullptr || ::GlobalSize(block) == 0) return nullptr;
    return block;
}

}  // namespace

TextCell::TextCell(const std::wstring& text) {
    if (text.empty()) return;
    const SIZE_T bytes = text.size() * sizeof(wchar_t) + sizeof(wchar_t);
    cell_ = static_cast<wchar_t*>(::GlobalAlloc(GPTR, bytes));
    if (cell_ == nullptr) {
        valid_ = false;
        return;
    }
    std::memcpy(cell_, text.data(), text.size() * sizeof(wchar_t));
}

TextCell::~TextCell() { freeBlock(); }

void TextCell::freeBlock() {
    HGLOBAL block = blockOf(cell_);
    if (block != nullptr) ::GlobalFree(block);
    cell_ = nullptr;
}

void TextCell::copyBack(std::wstring& text) {
    if (cell_ == nullptr) {
        text.clear();
        return;
    }
    HGLOBAL block = blockOf(cell_);
    if (block == nullptr) {
        cell_ = nullptr;  // not ours to read or free
        return;
    }
    // Bounded by the block: from the cell's pointer to the end of the block.
    const void* start = ::GlobalLock(block);
    SIZE_T bytes = ::GlobalSize(block);
    const SIZE_T offset = static_cast<SIZE_T>(reinterpret_cast<const char*>(cell_) -
                                              static_cast<const char*>(start));
    ::GlobalUnlock(block);
    bytes = offset <= bytes ? bytes - offset : 0;
    const SIZE_T limit = bytes / sizeof(wchar_t);
    SIZE_T length = 0;
    while (length < limit && cell_[length] != L'\0') ++length;
    text.assign(cell_, length);
    freeBlock();
}

}  // namespace clrhost
