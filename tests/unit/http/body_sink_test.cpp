// A request's body in the owner's sink: continued by the next request of a
// retry, started over by a 200, never fed an error page, and a file that
// cannot be written (a full disk) ends the body with the system's error.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "base/sha256_hash.h"
#include "http/body_sink.h"
#include "http/finished_request.h"
#include "recording_manager.h"
#include "test_server.h"

using httptest::Event;
using httptest::pumpUntil;
using httptest::RecordingManager;
using httptest::requestFor;

namespace {

std::string pattern(size_t size) {
    std::string bytes(size, '\0');
    for (size_t i = 0; i < size; ++i) bytes[i] = httptest::patternByte(i);
    return bytes;
}

std::wstring digestOf(const std::string& bytes) {
    Sha256Hash hash;
    unsigned char digest[Sha256Digest::size];
    EXPECT_TRUE(hash.begin() && hash.add(bytes.data(), static_cast<DWORD>(bytes.size())) && hash.finish(digest));
    return sha256Text(digest);
}

class TempFile {
public:
    TempFile() {
        wchar_t folder[MAX_PATH], name[MAX_PATH];
        ::GetTempPathW(MAX_PATH, folder);
        ::GetTempFileNameW(folder, L"snk", 0, name);
        path = name;
    }
    ~TempFile() { ::DeleteFileW(path.c_str()); }
    std::string Read() const {
        base::unique_file file(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                             OPEN_EXISTING, 0, nullptr));
        std::string bytes(1 << 20, '\0');
        DWORD read = 0;
        ::ReadFile(file.get(), &bytes[0], static_cast<DWORD>(bytes.size()), &read, nullptr);
        bytes.resize(read);
        return bytes;
    }
    std::wstring path;
};

// Runs one request into the sink; what its owner would judge it by.
struct Outcome {
    LONG status = 0;
    bool complete = false;
    bool retry = false;
    long long bodyStart = 0;
};

Outcome fetchInto(const SinkRef<BodySink>& sink, const std::wstring& path) {
    RecordingManager manager;
    Outcome outcome;
    manager.onEvent = [&](const Event& event, FCHttpRequest& request) {
        if (event.kind != Event::Finished) return;
        outcome.status = request.GetResponseInfo().statusCode;
        outcome.bodyStart = request.GetBodyStart();
        outcome.complete = outcome.bodyStart >= 0 && bodyComplete(request, sink->Size() - outcome.bodyStart);
        outcome.retry = worthRetrying(request);
    };
    RequestHeader header = requestFor(path);
    header.sink = sink;
    const long long held = sink->Size();
    if (held > 0) header.rangeStart = static_cast<LONG>(held);
    const int id = manager.AddRequest(header);
    EXPECT_TRUE(pumpUntil([&] { return manager.Finished(id); }, 20000));
    return outcome;
}

std::wstring finish(BodySink& sink) {
    unsigned char digest[Sha256Digest::size];
    return sink.FinishDigest(digest) ? sha256Text(digest) : L"";
}

}  // namespace

TEST(RequestSink, ACutBodyIsContinuedFromTheBytesHeldIntoTheSameFileAndHash) {
    TempFile temp;
    const SinkRef<FileSink> sink(new FileSink(FileSink::create(temp.path), true));
    // The first answer stops after 300000 of 500000 bytes; the retry asks for the rest.
    const Outcome first = fetchInto(sink, L"/_/bytes/500000?cut=300000");
    EXPECT_EQ(first.status, 200);
    EXPECT_FALSE(first.complete);
    EXPECT_TRUE(first.retry);
    EXPECT_EQ(sink->Size(), 300000);
    const Outcome second = fetchInto(sink, L"/_/bytes/500000");
    EXPECT_EQ(second.status, 206);
    EXPECT_EQ(second.bodyStart, 300000);
    EXPECT_TRUE(second.complete);
    EXPECT_EQ(finish(*sink), digestOf(pattern(500000)));
    BY_HANDLE_FILE_INFORMATION identity;
    ASSERT_TRUE(sink->Close(identity));
    EXPECT_EQ(temp.Read(), pattern(500000));
}

TEST(RequestSink, AWholeAnswerToARangeStartsTheFileOverAndAnErrorPageNeverReachesIt) {
    TempFile temp;
    const SinkRef<FileSink> sink(new FileSink(FileSink::create(temp.path), true));
    fetchInto(sink, L"/_/bytes/200000?cut=70000");
    ASSERT_EQ(sink->Size(), 70000);
    const Outcome error = fetchInto(sink, L"/_/status/503");
    EXPECT_EQ(error.status, 503);
    EXPECT_EQ(error.bodyStart, -1);
    EXPECT_TRUE(error.retry);
    EXPECT_EQ(sink->Size(), 70000) << "the error page is not part of the file";
    const Outcome whole = fetchInto(sink, L"/_/bytes/200000?range=ignore");
    EXPECT_EQ(whole.status, 200);
    EXPECT_TRUE(whole.complete);
    EXPECT_EQ(finish(*sink), digestOf(pattern(200000)));
    BY_HANDLE_FILE_INFORMATION identity;
    ASSERT_TRUE(sink->Close(identity));
    EXPECT_EQ(temp.Read(), pattern(200000));
    EXPECT_FALSE(fetchInto(SinkRef<BodySink>(new MemorySink(false)), L"/_/status/404").retry);
}

TEST(RequestSink, AFileThatRefusesWritesEndsTheBodyWithTheSystemsErrorAndHoldsNothing) {
    TempFile temp;
    // Read access only: every write fails, as on a full disk.
    base::unique_file readOnly(::CreateFileW(temp.path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                             nullptr, OPEN_EXISTING, 0, nullptr));
    auto sink = SinkRef<BodySink>(new FileSink(std::move(readOnly), true));
    const Outcome outcome = fetchInto(sink, L"/_/bytes/100000");
    EXPECT_EQ(outcome.status, 200);
    EXPECT_FALSE(outcome.complete);
    EXPECT_NE(sink->Error(), 0u);
    EXPECT_EQ(sink->Size(), 0);
    EXPECT_FALSE(sink->Begin(0)) << "a failed sink stays failed";
    EXPECT_EQ(finish(*sink), L"");
}

TEST(RequestSink, AnAbandonedFileFailsTheNextWriteAndCanBeDeleted) {
    TempFile temp;
    FileSink sink(FileSink::create(temp.path), false);
    ASSERT_TRUE(sink.Begin(0));
    ASSERT_TRUE(sink.Write("abc", 3));
    EXPECT_FALSE(::DeleteFileW(temp.path.c_str())) << "held from its first byte";
    sink.Abandon();
    EXPECT_FALSE(sink.Write("d", 1));
    EXPECT_EQ(sink.Error(), static_cast<DWORD>(ERROR_OPERATION_ABORTED));
    EXPECT_TRUE(::DeleteFileW(temp.path.c_str()));
}

TEST(RequestSink, TheLimitCountsTheBytesHeldBeforeTheRange) {
    TempFile temp;
    const SinkRef<FileSink> sink(new FileSink(FileSink::create(temp.path), false));
    fetchInto(sink, L"/_/bytes/100000?cut=60000");
    RecordingManager manager;
    bool tooLarge = false;
    manager.onEvent = [&](const Event& event, FCHttpRequest& request) {
        if (event.kind == Event::Finished) tooLarge = request.BodyTooLarge();
    };
    RequestHeader header = requestFor(L"/_/bytes/100000");
    header.sink = sink;
    header.rangeStart = 60000;
    header.maxBodyBytes = 90000;  // 60000 held + 40000 announced
    const int id = manager.AddRequest(header);
    ASSERT_TRUE(pumpUntil([&] { return manager.Finished(id); }, 20000));
    EXPECT_TRUE(tooLarge);
    EXPECT_EQ(sink->Size(), 60000);
}
