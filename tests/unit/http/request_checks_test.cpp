// What a request checks as it goes: the body limit, the body's digest, and the
// end of a request that receives nothing.
#include <windows.h>

#include <gtest/gtest.h>

#include "base/sha256_hash.h"
#include "http/finished_request.h"
#include "recording_manager.h"
#include "test_server.h"

using httptest::Event;
using httptest::pumpUntil;
using httptest::RecordingManager;
using httptest::requestFor;

namespace {

// Records, as each request finishes, what its owner would judge it by.
class JudgingManager : public RecordingManager {
public:
    JudgingManager() {
        onEvent = [this](const Event& event, FCHttpRequest& request) {
            if (event.kind == Event::Headers && event.response.statusCode == 0)
                failures[event.id] = unansweredRequestFailure(request);
            if (event.kind != Event::Finished) return;
            tooLarge[event.id] = request.BodyTooLarge();
            stalled[event.id] = request.Stalled();
            if (failures.count(event.id) == 0) failures[event.id] = finishedRequestFailure(request);
            unsigned char digest[Sha256Digest::size];
            if (request.BodyDigest(digest)) digests[event.id] = sha256Text(digest);
        };
    }
    int Run(const RequestHeader& header, DWORD timeoutMs = 20000) {
        const int id = AddRequest(header);
        EXPECT_TRUE(pumpUntil([&] { return Finished(id); }, timeoutMs)) << "request " << id << " never finished";
        return id;
    }
    std::map<int, bool> tooLarge, stalled;
    std::map<int, std::wstring> failures, digests;
};

RequestHeader stallingAfter(const std::wstring& path, DWORD limitMs) {
    RequestHeader header = requestFor(path);
    header.stallLimitMs = limitMs;
    return header;
}

RequestHeader limited(const std::wstring& path, long long maxBytes) {
    RequestHeader header = requestFor(path);
    header.maxBodyBytes = maxBytes;
    return header;
}

std::wstring patternDigest(size_t size) {
    std::string bytes(size, '\0');
    for (size_t i = 0; i < size; ++i) bytes[i] = httptest::patternByte(i);
    Sha256Hash hash;
    unsigned char digest[Sha256Digest::size];
    EXPECT_TRUE(hash.begin() && hash.add(bytes.data(), static_cast<DWORD>(size)) && hash.finish(digest));
    return sha256Text(digest);
}

}  // namespace

TEST(RequestLimits, ABodyPastTheLimitIsCutOneByteAfterItAndALongerAnnouncedOneIsNotReadAtAll) {
    JudgingManager manager;
    // No Content-Length: the body is read until it passes the limit, and no further.
    const int endless = manager.Run(limited(L"/_/bytes/50000000?nolength=1", 100000));
    EXPECT_TRUE(manager.tooLarge[endless]);
    EXPECT_LE(manager.bodies[endless].size(), 100001u);
    EXPECT_FALSE(manager.EventsOf(endless).back().response.finalReadSucceeded);

    const int announced = manager.Run(limited(L"/_/bytes/50000000", 100000));
    EXPECT_TRUE(manager.tooLarge[announced]);
    EXPECT_EQ(manager.DataBytes(announced), 0) << "a Content-Length past the limit ends the request unread";

    const int exact = manager.Run(limited(L"/_/bytes/100000?nolength=1", 100000));
    EXPECT_FALSE(manager.tooLarge[exact]) << "a body of exactly the limit is whole";
    EXPECT_EQ(manager.bodies[exact].size(), 100000u);
    EXPECT_TRUE(manager.EventsOf(exact).back().response.finalReadSucceeded);
}

TEST(RequestLimits, TheBodysDigestIsTheDigestOfEveryByteOfItAndOnlyOfAWholeBody) {
    JudgingManager manager;
    RequestHeader header = requestFor(L"/_/bytes/1000000");
    header.hashBody = true;
    const int whole = manager.Run(header);
    EXPECT_EQ(manager.digests[whole], patternDigest(1000000));

    // A body cut short is hashed as far as it came; its owner judges its length.
    header.url = httptest::serverUrl(L"/_/bytes/1000000?cut=300000");
    const int cut = manager.Run(header);
    EXPECT_EQ(manager.digests[cut], patternDigest(manager.bodies[cut].size()));
}

TEST(RequestStall, ARequestThatReceivesNothingIsEndedAtAnyStepWithTheStallText) {
    JudgingManager manager;
    // Before any answer.
    const int silent = manager.Run(stallingAfter(L"/_/hang", 700), 10000);
    EXPECT_TRUE(manager.stalled[silent]);
    EXPECT_EQ(manager.failures[silent],
              L"Download error, the server stopped sending, url: " + httptest::serverUrl(L"/_/hang") + L".");
    // In the middle of the body: one write, then a pause longer than the limit.
    const int paused = manager.Run(stallingAfter(L"/_/bytes/200000?chunk=50000&delay=30000", 700), 10000);
    EXPECT_TRUE(manager.stalled[paused]);
    EXPECT_GT(manager.DataBytes(paused), 0);
    EXPECT_LE(manager.DataBytes(paused), 50000);
    EXPECT_NE(manager.failures[paused].find(L"the server stopped sending"), std::wstring::npos);
}

TEST(RequestStall, ASlowServerThatKeepsSendingIsNeverCutOff) {
    JudgingManager manager;
    // 512 bytes every 100 ms, for ever: each piece comes well inside the limit.
    const int slow = manager.AddRequest(stallingAfter(L"/_/slow?interval=100&chunk=512", 700));
    pumpUntil([] { return false; }, 3000);
    EXPECT_FALSE(manager.Finished(slow)) << "ended after " << manager.DataBytes(slow) << " bytes";
    EXPECT_GT(manager.DataBytes(slow), 0);
    manager.DeleteRequest(slow);
}
