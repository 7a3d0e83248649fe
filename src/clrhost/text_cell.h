#pragma once
// The text result cell: a pointer to UTF-16 text in a block of the global
// heap, which the managed side may replace with a block of its own.
#include <windows.h>

#include <string>

namespace clrhost {

class TextCell {
public:
    // A fresh copy of text (GPTR, characters * 2 + 2 bytes); null for empty text.
    explicit TextCell(const std::wstring& text);
    // Frees what the cell points to if copyBack has not.
    ~TextCell();
    TextCell(const TextCell&) = delete;
    TextCell& operator=(const TextCell&) = delete;

    // False when the copy could not be allocated.
    bool valid() const { return valid_; }
    wchar_t** address() { return &cell_; }

    // text becomes what the cell points to (empty for null), and that block is
    // freed. A pointer that is no global block leaves text as it was and is
    // neither read nor freed; the text never reads beyond its block.
    void copyBack(std::wstring& text);

private:
    void freeBlock();

    wchar_t* cell_ = nullptr;
    bool valid_ = true;
};

}  // namespace clrhost
