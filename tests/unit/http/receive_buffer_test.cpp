// The receive buffer: appends from one thread, takes from another.
#include <windows.h>

#include <gtest/gtest.h>

#include "http/receive_buffer.h"

TEST(ReceiveBufferTest, TakeHandsOverEverythingAppendedAndEmptiesTheBuffer) {
    inner::CReceiveBuffer buffer;
    EXPECT_TRUE(buffer.Append("abc", 3));
    EXPECT_TRUE(buffer.Append("de", 2));
    std::string out = "previous contents";
    buffer.Take(out);
    EXPECT_EQ(out, "abcde");
    EXPECT_EQ(buffer.Size(), 0u);
    buffer.Take(out);
    EXPECT_EQ(out, "");
}

TEST(ReceiveBufferTest, ReservingForAKnownLengthKeepsTheBodyInOneAllocation) {
    inner::CReceiveBuffer buffer;
    ASSERT_TRUE(buffer.Reserve(1 << 20));
    std::string chunk(8192, 'x');
    buffer.Append(chunk.data(), chunk.size());
    std::string out;
    buffer.Take(out);
    const char* before = out.data();
    EXPECT_GE(out.capacity(), 1u << 20);
    EXPECT_EQ(before, out.data());
}

TEST(ReceiveBufferTest, ImpossibleReservationFailsWithoutHarm) {
    inner::CReceiveBuffer buffer;
    EXPECT_FALSE(buffer.Reserve(static_cast<size_t>(-1) / 2));
    EXPECT_TRUE(buffer.Append("z", 1));
    std::string out;
    buffer.Take(out);
    EXPECT_EQ(out, "z");
}

namespace {
DWORD WINAPI appendMany(void* context) {
    auto* buffer = static_cast<inner::CReceiveBuffer*>(context);
    for (int i = 0; i < 20000; ++i) buffer->Append("0123456789", 10);
    return 0;
}
}  // namespace

TEST(ReceiveBufferTest, TakesWhileAnotherThreadAppendsLoseNoByte) {
    inner::CReceiveBuffer buffer;
    const HANDLE thread = ::CreateThread(nullptr, 0, appendMany, &buffer, 0, nullptr);
    ASSERT_NE(thread, nullptr);
    std::string all, piece;
    while (::WaitForSingleObject(thread, 0) == WAIT_TIMEOUT) {
        buffer.Take(piece);
        all += piece;
    }
    buffer.Take(piece);
    all += piece;
    ::CloseHandle(thread);
    ASSERT_EQ(all.size(), 200000u);
    for (size_t i = 0; i < all.size(); i += 10) ASSERT_EQ(all.compare(i, 10, "0123456789"), 0) << i;
}
