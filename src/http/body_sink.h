#pragma once
// Where a request's body goes as it arrives: memory (MemorySink) or a file
// (FileSink). The sink, not the request, owns the bytes and their SHA-256, so
// a retry is a new request that continues the same sink from Size(), and a
// whole answer (200) to a range request starts it over.
//
// Threads: the transfer thread of one request at a time calls Begin, Expect
// and Write; Size may be read from any thread. The owner calls the rest only
// between requests (after the notification that ends one).
#include <windows.h>

#include <string>

#include "base/sha256_digest.h"
#include "base/sha256_hash.h"
#include "base/unique_any.h"
#include "http/receive_buffer.h"

class BodySink {
public:
    explicit BodySink(bool hash) : hashWanted_(hash) {}
    virtual ~BodySink() = default;
    BodySink(const BodySink&) = delete;
    BodySink& operator=(const BodySink&) = delete;

    // Counted by SinkRef: the owner and every request that may still write hold one.
    void AddRef();
    void Release();

    // Before the first byte of a response whose body starts at `offset`: 0
    // drops what is held and restarts the hash; Size() continues. False for
    // any other offset, after a failed write, or when starting over fails.
    bool Begin(long long offset);
    // The response announced this many more bytes; a hint only.
    virtual void Expect(long long) {}
    // Stores and hashes one piece. False when it could not be stored: the
    // sink is then failed for good and Error() says why.
    bool Write(const char* bytes, DWORD count);

    long long Size() const;
    // The system's error of the failed write or start; 0 when none failed.
    DWORD Error() const { return error_; }
    // The SHA-256 of the Size() bytes held. Uses the hash up; false when it
    // was not asked for or could not be computed.
    bool FinishDigest(unsigned char (&digest)[Sha256Digest::size]);

protected:
    // False with GetLastError() set.
    virtual bool Store(const char* bytes, DWORD count) = 0;
    virtual bool Clear() = 0;

private:
    bool Fail();

    const bool hashWanted_;
    bool hashing_ = false;
    bool started_ = false;
    DWORD error_ = 0;
    Sha256Hash hash_;
    volatile LONGLONG size_ = 0;
    volatile LONG refs_ = 0;
};

// A counted reference to a sink made with new (any thread).
template <typename T>
class SinkRef {
public:
    SinkRef() = default;
    explicit SinkRef(T* sink) : sink_(sink) {
        if (sink_) sink_->AddRef();
    }
    template <typename U>
    SinkRef(const SinkRef<U>& other) : SinkRef(other.get()) {}
    SinkRef(const SinkRef& other) : SinkRef(other.sink_) {}
    SinkRef& operator=(SinkRef other) {
        T* previous = sink_;
        sink_ = other.sink_;
        other.sink_ = previous;
        return *this;
    }
    ~SinkRef() {
        if (sink_) sink_->Release();
    }
    T* get() const { return sink_; }
    T* operator->() const { return sink_; }
    T& operator*() const { return *sink_; }
    explicit operator bool() const { return sink_ != nullptr; }

private:
    T* sink_ = nullptr;
};

// A body held in memory (version_info.xml, and any request given no sink).
class MemorySink : public BodySink {
public:
    explicit MemorySink(bool hash) : BodySink(hash) {}
    void Expect(long long remaining) override;
    // Replaces `out` with the bytes held and empties the sink (any thread).
    void Take(std::string& out) { buffer_.Take(out); }

protected:
    bool Store(const char* bytes, DWORD count) override;
    bool Clear() override;

private:
    inner::CReceiveBuffer buffer_;
};

// A body written to an open file as it arrives. The handle is the caller's
// (write and read access, read sharing only: nobody else can change the file
// from its first byte on).
class FileSink : public BodySink {
public:
    FileSink(base::unique_file file, bool hash) : BodySink(hash), file_(std::move(file)) {}

    // Creates (or replaces, a read-only leftover too) path for the sink.
    // Invalid with GetLastError() set on failure.
    static base::unique_file create(const std::wstring& path);

    // Closes the file, reading its identity first. False with GetLastError()
    // set when the file cannot be read or closed (a failed close can lose
    // written data).
    bool Close(BY_HANDLE_FILE_INFORMATION& identity);
    // Any thread: closes the file now, so the run's folder can go; a transfer
    // thread that still writes (a blocked read outlives a close) fails instead.
    void Abandon();

protected:
    bool Store(const char* bytes, DWORD count) override;
    bool Clear() override;

private:
    inner::FCAutoCSec guard_;  // guards file_: the writer against Abandon
    base::unique_file file_;
};
