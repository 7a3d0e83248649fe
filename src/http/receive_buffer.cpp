#include "http/receive_buffer.h"

#include <new>

namespace inner {

bool CReceiveBuffer::Reserve(std::size_t expected) {
    FCAutoLock lock(*this);
    if (expected <= data_.capacity()) return true;
    try {
        data_.reserve(expected);
        return true;
    } catch (const std::exception&) {
        return false;
    }
}

bool CReceiveBuffer::Append(const char* bytes, std::size_t count) {
    FCAutoLock lock(*this);
    try {
        data_.append(bytes, count);
        return true;
    } catch (const std::exception&) {
        return false;  // append gives the strong guarantee: nothing was added
    }
}

void CReceiveBuffer::Take(std::string& out) {
    std::string previous;
    {
        FCAutoLock lock(*this);
        out.swap(data_);
        previous.swap(data_);
    }
    // The caller's old contents are freed outside the lock.
}

std::size_t CReceiveBuffer::Size() {
    FCAutoLock lock(*this);
    return data_.size();
}

}  // namespace inner
