#include "clrhost/text_cell.h"

#include <gtest/gtest.h>

using clrhost::TextCell;

// The cell starts as a GPTR block of characters * 2 + 2 bytes, or null for empty text.
TEST(TextCell, HoldsAGlobalCopyOrNull) {
    TextCell cell(L"REMOVE=ALL");
    ASSERT_NE(nullptr, *cell.address());
    EXPECT_STREQ(L"REMOVE=ALL", *cell.address());
    EXPECT_EQ(22u, ::GlobalSize(::GlobalHandle(*cell.address())));
    TextCell empty(L"");
    EXPECT_EQ(nullptr, *empty.address());
    std::wstring text = L"kept?";
    empty.copyBack(text);
    EXPECT_EQ(L"", text);
}

// A replaced block is read and freed; a pointer that is no global block leaves the text alone.
TEST(TextCell, CopyBackTrustsOnlyGlobalBlocks) {
    TextCell cell(L"A=1");
    ::GlobalFree(::GlobalHandle(*cell.address()));
    auto* block = static_cast<wchar_t*>(::GlobalAlloc(GMEM_FIXED | GMEM_ZEROINIT, 4 * sizeof(wchar_t)));
    ASSERT_NE(nullptr, block);
    for (int i = 0; i < 4; ++i) block[i] = L'Z';  // no terminator: the block's end bounds the text
    *cell.address() = block;
    std::wstring text;
    cell.copyBack(text);
    EXPECT_EQ(L"ZZZZ", text);
    EXPECT_EQ(nullptr, *cell.address());

    static wchar_t notABlock[] = L"static text";
    TextCell other(L"B=2");
    ::GlobalFree(::GlobalHandle(*other.address()));
    *other.address() = notABlock;
    std::wstring kept = L"B=2";
    other.copyBack(kept);
    EXPECT_EQ(L"B=2", kept);
    EXPECT_STREQ(L"static text", notABlock);
}
