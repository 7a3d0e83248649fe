// The receive buffer: appends from one thread, takes from another.
#include <windows.h>

#include <atomic>
#include <cstdlib>
#include <new>

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

// This test program's own operator new: counts the allocations made while a
// test has counting on.
namespace {
std::atomic<bool> countAllocations{false};
std::atomic<size_t> allocations{0};
}  // namespace

void* operator new(std::size_t size) {
    if (countAllocations.load()) ++allocations;
    if (void* block = std::malloc(size ? size : 1)) return block;
    throw std::bad_alloc();
}
// Not inlined: inlined into a `new` expression, GCC would see free() take what
// operator new returned and warn of a mismatch that is not there.
[[gnu::noinline]] void operator delete(void* block) noexcept { std::free(block); }
[[gnu::noinline]] void operator delete(void* block, std::size_t) noexcept { std::free(block); }

TEST(ReceiveBufferTest, ReservingForAKnownLengthKeepsTheBodyInOneAllocation) {
    inner::CReceiveBuffer buffer;
    const std::string chunk(8192, 'x');
    std::string out;
    allocations = 0;
    countAllocations = true;
    const bool reserved = buffer.Reserve(1 << 20);
    for (int i = 0; i < 128; ++i) buffer.Append(chunk.data(), chunk.size());
    buffer.Take(out);
    countAllocations = false;
    ASSERT_TRUE(reserved);
    EXPECT_EQ(allocations.load(), 1u) << "the reservation, and no copy while the body arrives";
    EXPECT_EQ(out.size(), 1u << 20);
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
