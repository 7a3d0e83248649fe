#include "base/unique_any.h"

#include <gtest/gtest.h>

// Closing a handle on a failure path must not overwrite the error being reported.
TEST(UniqueAny, ClosingKeepsLastError) {
    base::unique_handle event(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
    ASSERT_TRUE(event.valid());
    ::SetLastError(ERROR_FILE_NOT_FOUND);
    event.reset();
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, ::GetLastError());
    EXPECT_FALSE(event.valid());
}

// Moving transfers ownership once; INVALID_HANDLE_VALUE and NULL are distinct empties.
TEST(UniqueAny, MoveAndInvalidValues) {
    base::unique_handle a(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
    HANDLE raw = a.get();
    base::unique_handle b(std::move(a));
    EXPECT_FALSE(a.valid());
    EXPECT_EQ(raw, b.get());
    base::unique_file none;
    EXPECT_EQ(INVALID_HANDLE_VALUE, none.get());
    base::unique_file nullFile(nullptr);  // NULL is a value here, not "empty"
    EXPECT_TRUE(nullFile.valid());
    nullFile.release();
}
