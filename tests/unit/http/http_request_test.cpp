// FCHttpRequest against the real test server, driven through the manager.
#include <windows.h>

#include <gtest/gtest.h>

#include "http/http_request.h"
#include "recording_manager.h"
#include "test_server.h"

using httptest::Event;
using httptest::pumpUntil;
using httptest::RecordingManager;
using httptest::requestFor;
using httptest::serverUrl;

namespace {

std::vector<Event::Kind> kindsOf(const std::vector<Event>& events) {
    std::vector<Event::Kind> kinds;
    for (const Event& event : events) {
        if (kinds.empty() || kinds.back() != event.kind || event.kind != Event::Data) kinds.push_back(event.kind);
    }
    return kinds;
}

bool matchesPattern(const std::string& body, size_t offset) {
    for (size_t i = 0; i < body.size(); ++i) {
        if (body[i] != httptest::patternByte(offset + i)) return false;
    }
    return true;
}

// Runs one request to its end and returns its id.
int runToEnd(RecordingManager& manager, const RequestHeader& header, DWORD timeoutMs = 20000) {
    const int id = manager.AddRequest(header);
    EXPECT_TRUE(pumpUntil([&] { return manager.Finished(id); }, timeoutMs)) << "request " << id << " never finished";
    return id;
}

}  // namespace

TEST(RequestTest, BodyArrivesInChunksThatSumToItWithHeadersFirstAndFinishedLast) {
    RecordingManager manager;
    const int id = runToEnd(manager, requestFor(L"/_/bytes/100000"));
    const auto events = manager.EventsOf(id);
    EXPECT_EQ(kindsOf(events), (std::vector<Event::Kind>{Event::Headers, Event::Data, Event::Finished}));
    for (const Event& event : events) {
        if (event.kind == Event::Data) {
            EXPECT_GT(event.bytes, 0);
        }
    }
    EXPECT_EQ(manager.DataBytes(id), 100000);
    const Event& headers = events.front();
    EXPECT_EQ(headers.response.statusCode, 200);
    EXPECT_EQ(headers.response.contentLength, 100000);
    EXPECT_EQ(headers.response.lastModified, L"Tue, 15 Nov 1994 12:45:26 GMT");
    EXPECT_EQ(headers.response.server, L"test-httpserver/1.0");
    const Event& finished = events.back();
    EXPECT_TRUE(finished.response.finalReadSucceeded);
    EXPECT_EQ(finished.received, 100000);
    ASSERT_EQ(manager.bodies[id].size(), 100000u);
    EXPECT_TRUE(matchesPattern(manager.bodies[id], 0));
}

TEST(RequestTest, EmptyBodyGivesHeadersAndFinishedButNoChunk) {
    RecordingManager manager;
    const int id = runToEnd(manager, requestFor(L"/_/bytes/0"));
    const auto events = manager.EventsOf(id);
    EXPECT_EQ(kindsOf(events), (std::vector<Event::Kind>{Event::Headers, Event::Finished}));
    EXPECT_EQ(events.front().response.statusCode, 200);
    EXPECT_TRUE(events.back().response.finalReadSucceeded);
    EXPECT_EQ(events.back().received, 0);
}

TEST(RequestTest, AbsentContentLengthReadsAsZeroAndTheBodyStillArrivesWhole) {
    RecordingManager manager;
    const int id = runToEnd(manager, requestFor(L"/_/bytes/30000?nolength=1"));
    const auto events = manager.EventsOf(id);
    EXPECT_EQ(events.front().response.contentLength, 0);
    EXPECT_TRUE(events.back().response.finalReadSucceeded);
    EXPECT_EQ(manager.bodies[id].size(), 30000u);
    EXPECT_TRUE(matchesPattern(manager.bodies[id], 0));
}

TEST(RequestTest, ChunkedBodyArrivesWholeWithContentLengthZero) {
    RecordingManager manager;
    const int id = runToEnd(manager, requestFor(L"/_/bytes/20000?chunked=1&chunk=3000"));
    EXPECT_EQ(manager.EventsOf(id).front().response.contentLength, 0);
    EXPECT_EQ(manager.bodies[id].size(), 20000u);
    EXPECT_TRUE(matchesPattern(manager.bodies[id], 0));
}

TEST(RequestTest, ErrorStatusesAreReportedWithTheirBodies) {
    RecordingManager manager;
    for (int status : {403, 404, 407, 500}) {
        const int id = runToEnd(manager, requestFor(L"/_/status/" + std::to_wstring(status)));
        const auto events = manager.EventsOf(id);
        ASSERT_FALSE(events.empty());
        EXPECT_EQ(events.front().response.statusCode, status);
        EXPECT_EQ(events.back().kind, Event::Finished);
        EXPECT_EQ(manager.bodies[id], "status " + std::to_string(status) + "\n") << status;
    }
}

TEST(RequestTest, RangeStartIsSentAfterTheExtraHeadersAndGivesThePartialBody) {
    RecordingManager manager;
    RequestHeader header = requestFor(L"/_/bytes/12000?tag=range");
    header.headerText = L"X-Extra: one\r\n";
    header.rangeStart = 5000;
    const int id = runToEnd(manager, header);
    const auto events = manager.EventsOf(id);
    EXPECT_EQ(events.front().response.statusCode, 206);
    EXPECT_EQ(events.front().response.contentLength, 7000);
    EXPECT_EQ(manager.bodies[id].size(), 7000u);
    EXPECT_TRUE(matchesPattern(manager.bodies[id], 5000));
    const std::string seen = httptest::seenRequests(L"/_/bytes/12000?tag=range");
    EXPECT_NE(seen.find("X-Extra: one\r\n"), std::string::npos) << seen;
    EXPECT_NE(seen.find("Range: bytes=5000-\r\n"), std::string::npos) << seen;
    EXPECT_LT(seen.find("X-Extra: one"), seen.find("Range: bytes=5000-"));
}

static size_t occurrences(const std::string& text, const std::string& what) {
    size_t count = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++count;
    return count;
}

TEST(RequestTest, TenRedirectsInARowAreFollowedWithTheRequestsHeadersAndTheEleventhIsTheAnswer) {
    RecordingManager manager;
    // A server that sends the request back to itself for ever.
    int id = runToEnd(manager, requestFor(L"/_/redirect?tag=loop"));
    EXPECT_EQ(manager.EventsOf(id).front().response.statusCode, 302);
    EXPECT_EQ(occurrences(httptest::seenRequests(L"/_/redirect?tag=loop"), "GET /_/redirect?tag=loop "), 11u);

    // Ten absolute redirects end at a partial body, asked for with the extra headers and the range.
    RequestHeader header = requestFor(L"/_/redirect?hops=9&absolute=1&to=%2F_%2Fbytes%2F12000%3Ftag%3Dhops");
    header.headerText = L"X-Extra: one\r\n";
    header.rangeStart = 5000;
    id = runToEnd(manager, header);
    EXPECT_EQ(manager.EventsOf(id).front().response.statusCode, 206);
    EXPECT_EQ(manager.bodies[id].size(), 7000u);
    EXPECT_TRUE(matchesPattern(manager.bodies[id], 5000));
    const std::string seen = httptest::seenRequests(L"/_/bytes/12000?tag=hops");
    EXPECT_NE(seen.find("X-Extra: one\r\n"), std::string::npos) << seen;
    EXPECT_NE(seen.find("Range: bytes=5000-\r\n"), std::string::npos) << seen;

    // Eleven are one too many.
    id = runToEnd(manager, requestFor(L"/_/redirect?hops=10&to=%2F_%2Fbytes%2F10%3Ftag%3Dnever"));
    EXPECT_EQ(manager.EventsOf(id).front().response.statusCode, 302);
    EXPECT_EQ(httptest::seenRequests(L"/_/bytes/10?tag=never"), "");

    // A 303 after a POST goes on as a GET without the body.
    header = requestFor(L"/_/redirect?status=303&hops=0&to=%2F_%2Fecho%3Ftag%3D303");
    header.method = 1;
    header.postData = "name=value";
    id = runToEnd(manager, header);
    EXPECT_NE(manager.bodies[id].find("\"method\": \"GET\""), std::string::npos) << manager.bodies[id];
    EXPECT_NE(manager.bodies[id].find("\"body\": \"\""), std::string::npos) << manager.bodies[id];
}

TEST(RequestTest, MethodNumbersChooseTheVerbAndPostSendsTheBody) {
    RecordingManager manager;
    struct Case {
        LONG method;
        const char* verb;
    };
    for (const Case& c : {Case{0, "GET"}, Case{1, "POST"}, Case{2, "POST"}, Case{3, "DELETE"}, Case{7, "GET"}}) {
        RequestHeader header = requestFor(L"/_/echo?method=" + std::to_wstring(c.method));
        header.method = c.method;
        if (std::string(c.verb) == "POST") header.postData = "name=value&x=1";
        const int id = runToEnd(manager, header);
        const std::string& body = manager.bodies[id];
        EXPECT_NE(body.find(std::string("\"method\": \"") + c.verb + "\""), std::string::npos) << body;
        if (!header.postData.empty()) {
            EXPECT_NE(body.find("\"body\": \"name=value&x=1\""), std::string::npos) << body;
        }
    }
}

TEST(RequestTest, TheQueryOfTheUrlReachesTheServer) {
    RecordingManager manager;
    const int id = runToEnd(manager, requestFor(L"/_/echo?a=1&b=two"));
    EXPECT_NE(manager.bodies[id].find("\"path\": \"/_/echo?a=1&b=two\""), std::string::npos) << manager.bodies[id];
}

TEST(RequestTest, UserAgentDefaultsToTheSystemStringAndCanBeReplaced) {
    EXPECT_FALSE(RequestHeader().userAgent.empty());
    RecordingManager manager;
    RequestHeader header = requestFor(L"/_/bytes/1?tag=agent");
    header.userAgent = L"agent-under-test/2";
    runToEnd(manager, header);
    EXPECT_NE(httptest::seenRequests(L"/_/bytes/1?tag=agent").find("User-Agent: agent-under-test/2"),
              std::string::npos);
}

TEST(RequestTest, UnresolvableHostAndRefusedConnectionGiveStatusZeroAndAFailedRead) {
    RecordingManager manager;
    const std::wstring refused = L"http://127.0.0.1:" + std::to_wstring(httptest::refusedPort()) + L"/x";
    for (const std::wstring& url : {std::wstring(L"http://no-such-host.invalid/x"), refused}) {
        RequestHeader header;
        header.url = url;
        const int id = runToEnd(manager, header, 60000);
        const auto events = manager.EventsOf(id);
        EXPECT_EQ(kindsOf(events), (std::vector<Event::Kind>{Event::Headers, Event::Finished}));
        EXPECT_EQ(events.front().response.statusCode, 0);
        EXPECT_FALSE(events.back().response.finalReadSucceeded);
        EXPECT_EQ(events.back().received, 0);
    }
}

TEST(RequestTest, MalformedUrlEndsLikeAnUnreachableServer) {
    RecordingManager manager;
    for (const wchar_t* url : {L"", L"not a url", L"http://"}) {
        RequestHeader header;
        header.url = url;
        const int id = runToEnd(manager, header);
        const auto events = manager.EventsOf(id);
        EXPECT_EQ(events.front().response.statusCode, 0) << url;
        EXPECT_FALSE(events.back().response.finalReadSucceeded) << url;
    }
}

TEST(RequestTest, ServerClosingMidBodyEndsWithFewerBytesThanAnnounced) {
    RecordingManager manager;
    const int id = runToEnd(manager, requestFor(L"/_/bytes/200000?cut=50000"));
    const auto events = manager.EventsOf(id);
    EXPECT_EQ(events.front().response.contentLength, 200000);
    EXPECT_EQ(events.back().received, manager.DataBytes(id));
    EXPECT_LT(manager.DataBytes(id), 200000);
    EXPECT_EQ(manager.bodies[id].size(), static_cast<size_t>(manager.DataBytes(id)));
    EXPECT_TRUE(matchesPattern(manager.bodies[id], 0));
}

TEST(RequestTest, ContentLengthLargerThanTheBodyEndsWithTheBytesSent) {
    RecordingManager manager;
    const int id = runToEnd(manager, requestFor(L"/_/bytes/40000?length=90000"));
    const auto events = manager.EventsOf(id);
    EXPECT_EQ(events.front().response.contentLength, 90000);
    EXPECT_EQ(events.back().received, 40000);
    EXPECT_EQ(manager.bodies[id].size(), 40000u);
}

TEST(RequestTest, HeaderBlockOfManyKilobytesIsRead) {
    RecordingManager manager;
    const int id = runToEnd(manager, requestFor(L"/_/headers?kb=200"));
    const auto events = manager.EventsOf(id);
    EXPECT_EQ(events.front().response.statusCode, 200);
    EXPECT_EQ(events.front().response.contentLength, 2);
    EXPECT_EQ(manager.bodies[id], "ok");
}

TEST(RequestTest, BodyOfSeveralHundredMegabytesIsHeldWholeWithoutLoss) {
    RecordingManager manager;
    const long long size = 300LL * 1024 * 1024;
    long long chunks = 0;
    long long bytes = 0;
    manager.onEvent = [&](const Event& event, FCHttpRequest&) {
        if (event.kind == Event::Data) {
            ++chunks;
            bytes += event.bytes;
            manager.events.pop_back();  // thousands of events would only cost memory here
        }
    };
    const int id = runToEnd(manager, requestFor(L"/_/bytes/" + std::to_wstring(size)), 240000);
    EXPECT_EQ(bytes, size);
    EXPECT_GT(chunks, 0);
    const std::string& body = manager.bodies[id];
    ASSERT_EQ(static_cast<long long>(body.size()), size);
    EXPECT_TRUE(manager.EventsOf(id).back().response.finalReadSucceeded);
    // Spot checks across the body: every chunk landed in its place.
    for (long long at = 0; at < size; at += 7 * 1024 * 1024 + 13) {
        ASSERT_EQ(body[static_cast<size_t>(at)], httptest::patternByte(static_cast<size_t>(at))) << at;
    }
}

TEST(RequestTest, TakeReceivedDataReplacesTheOutputAndLeavesTheBufferEmpty) {
    RecordingManager manager;
    std::string again = "stale";
    // The recording manager has taken the body when this hook runs.
    manager.onEvent = [&](const Event& event, FCHttpRequest& request) {
        if (event.kind == Event::Finished) request.TakeReceivedData(again);
    };
    const int id = runToEnd(manager, requestFor(L"/_/bytes/5000"));
    EXPECT_EQ(manager.bodies[id].size(), 5000u);
    EXPECT_TRUE(again.empty());
}

TEST(UrlTest, PortIsTheOneTheUrlNamesElseTheSchemesDefault) {
    // The transfer itself fails fast: nothing listens on these hosts in the test.
    const HWND nowhere = nullptr;
    struct Case {
        const wchar_t* url;
        INTERNET_PORT port;
        const wchar_t* path;
    };
    for (const Case& c : {Case{L"http://server:8080/addin/", 8080, L"/addin/"},
                          Case{L"https://server:8443/a?b=c", 8443, L"/a?b=c"},
                          Case{L"http://server/addin/x.xml", 80, L"/addin/x.xml"},
                          Case{L"https://server/", 443, L"/"}}) {
        RequestHeader header;
        header.url = c.url;
        FCHttpRequest request(1, nowhere, header);
        EXPECT_EQ(request.GetPort(), c.port) << c.url;
        EXPECT_EQ(request.GetHost(), L"server") << c.url;
        EXPECT_EQ(request.GetPath(), c.path) << c.url;
        const HANDLE thread = request.StopThreads();
        if (thread) ::WaitForSingleObject(thread, 10000);
        EXPECT_TRUE(request.ThreadsEnded());
    }
}

TEST(RequestTest, ExplicitPortInTheUrlIsTheOneConnectedTo) {
    // The server never listens on 80: reaching it at all proves the URL's port was used.
    RecordingManager manager;
    const int id = runToEnd(manager, requestFor(L"/_/bytes/10?tag=port"));
    EXPECT_EQ(manager.EventsOf(id).front().response.statusCode, 200);
    EXPECT_NE(httptest::seenRequests(L"/_/bytes/10?tag=port").find("GET /_/bytes/10?tag=port"), std::string::npos);
}

TEST(RequestTest, ProxyHostAndPortReceiveTheRequestForTheUrl) {
    // The test server stands in for the proxy and sees the absolute URL. (The
    // credentials only travel after a 407 once the error dialog asks for a
    // retry, which Wine's never does.)
    RecordingManager manager;
    RequestHeader header;
    header.url = L"http://proxied.invalid/_/status/407?tag=proxy";
    header.proxyHost = L"127.0.0.1";
    header.proxyPort = _wtoi(serverUrl(L"").substr(wcslen(L"http://127.0.0.1:")).c_str());
    header.proxyUser = L"user";
    header.proxyPassword = L"secret";
    const int id = runToEnd(manager, header);
    EXPECT_EQ(manager.EventsOf(id).front().response.statusCode, 407);
    const std::string seen = httptest::seenRequests(L"/_/status/407?tag=proxy");
    EXPECT_EQ(seen.find("GET http://proxied.invalid"), 0u) << seen;
    EXPECT_NE(seen.find("Host: proxied.invalid"), std::string::npos) << seen;
}
