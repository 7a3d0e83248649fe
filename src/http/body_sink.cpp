#include "http/body_sink.h"

void BodySink::AddRef() { ::InterlockedIncrement(&refs_); }

void BodySink::Release() {
    if (::InterlockedDecrement(&refs_) == 0) delete this;
}

bool BodySink::Fail() {
    error_ = ::GetLastError();
    if (error_ == 0) error_ = ERROR_WRITE_FAULT;  // a failure never reads as none
    hashing_ = false;
    return false;
}

bool BodySink::Begin(long long offset) {
    if (error_ != 0) return false;
    if (offset != 0) {
        // Only the bytes held can be continued: the hash runs over them in order.
        if (offset != Size()) {
            ::SetLastError(ERROR_INVALID_DATA);
            return Fail();
        }
        return true;
    }
    if (started_ && !Clear()) return Fail();
    started_ = true;
    ::InterlockedExchange64(&size_, 0);
    hashing_ = hashWanted_ && hash_.begin();
    return true;
}

bool BodySink::Write(const char* bytes, DWORD count) {
    if (error_ != 0) return false;
    if (!Store(bytes, count)) return Fail();
    if (hashing_) hashing_ = hash_.add(bytes, count);
    ::InterlockedExchangeAdd64(&size_, count);
    return true;
}

long long BodySink::Size() const {
    return ::InterlockedCompareExchange64(const_cast<volatile LONGLONG*>(&size_), 0, 0);
}

bool BodySink::FinishDigest(unsigned char (&digest)[Sha256Digest::size]) {
    const bool done = hashing_ && error_ == 0 && hash_.finish(digest);
    hashing_ = false;
    return done;
}

void MemorySink::Expect(long long remaining) {
    // A Content-Length above this is not trusted for reserving memory up front.
    constexpr long long maxReservation = 1 << 30;
    if (remaining > 0 && remaining <= maxReservation)
        buffer_.Reserve(static_cast<size_t>(Size() + remaining));  // best effort: appends grow as they go
}

bool MemorySink::Store(const char* bytes, DWORD count) {
    if (buffer_.Append(bytes, count)) return true;
    ::SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return false;
}

bool MemorySink::Clear() {
    std::string dropped;
    buffer_.Take(dropped);
    return true;
}

base::unique_file FileSink::create(const std::wstring& path) {
    // best effort: a missing file has no attributes to clear
    ::SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    return base::unique_file(::CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                           CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
}

bool FileSink::Store(const char* bytes, DWORD count) {
    inner::FCAutoLock lock(guard_);
    if (!file_) {
        ::SetLastError(ERROR_OPERATION_ABORTED);
        return false;
    }
    DWORD written = 0;
    if (!::WriteFile(file_.get(), bytes, count, &written, nullptr)) return false;
    if (written == count) return true;
    ::SetLastError(ERROR_DISK_FULL);  // a short write without an error: the volume is full
    return false;
}

bool FileSink::Clear() {
    inner::FCAutoLock lock(guard_);
    LARGE_INTEGER start = {};
    return ::SetFilePointerEx(file_.get(), start, nullptr, FILE_BEGIN) && ::SetEndOfFile(file_.get());
}

bool FileSink::Close(BY_HANDLE_FILE_INFORMATION& identity) {
    inner::FCAutoLock lock(guard_);
    if (!file_) {
        ::SetLastError(ERROR_INVALID_HANDLE);
        return false;
    }
    if (!::GetFileInformationByHandle(file_.get(), &identity)) return false;
    return ::CloseHandle(file_.release()) != FALSE;
}

void FileSink::Abandon() {
    inner::FCAutoLock lock(guard_);
    file_.reset();
}
