#pragma once
// The body of a request as it arrives: appended by the transfer thread, taken
// by the owner on the window's thread. The critical section is held only for
// one append, one reservation or one take.
#include <windows.h>

#include <cstddef>
#include <string>

namespace inner {

// Owns one critical section for the lifetime of the object.
class FCAutoCSec {
public:
    FCAutoCSec() { ::InitializeCriticalSection(&section_); }
    virtual ~FCAutoCSec() { ::DeleteCriticalSection(&section_); }
    FCAutoCSec(const FCAutoCSec&) = delete;
    FCAutoCSec& operator=(const FCAutoCSec&) = delete;

    void Lock() { ::EnterCriticalSection(&section_); }
    void Unlock() { ::LeaveCriticalSection(&section_); }

private:
    CRITICAL_SECTION section_;
};

// Holds an FCAutoCSec for one scope.
class FCAutoLock {
public:
    explicit FCAutoLock(FCAutoCSec& section) : section_(section) { section_.Lock(); }
    ~FCAutoLock() { section_.Unlock(); }
    FCAutoLock(const FCAutoLock&) = delete;
    FCAutoLock& operator=(const FCAutoLock&) = delete;

private:
    FCAutoCSec& section_;
};

class CReceiveBuffer : public FCAutoCSec {
public:
    CReceiveBuffer() = default;
    ~CReceiveBuffer() override = default;

    // Makes room for `expected` bytes up front so a body of known length is
    // stored once, without the copies of a growing buffer. Best effort: false
    // when the memory is not there (the appends then grow as they go).
    bool Reserve(std::size_t expected);

    // Appends one chunk. False when memory ran out; the buffer is unchanged then.
    bool Append(const char* bytes, std::size_t count);

    // Replaces `out` with the bytes received so far and empties the buffer.
    void Take(std::string& out);

    std::size_t Size();

private:
    std::string data_;  // guarded by the critical section
};

}  // namespace inner
