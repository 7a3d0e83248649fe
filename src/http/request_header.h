#pragma once
// What an HTTP request is asked to do (RequestHeader) and what is known of its
// response (ResponseInfo).
#include <windows.h>

#include <string>

#include "http/body_sink.h"

// Description of one request. The owner fills it; the request keeps a copy.
struct RequestHeader {
    // INTERNET_FLAG_RELOAD | NO_CACHE_WRITE | KEEP_CONNECTION |
    // IGNORE_REDIRECT_TO_HTTP | IGNORE_REDIRECT_TO_HTTPS | PRAGMA_NOCACHE.
    static constexpr DWORD defaultOpenFlags = 0x8440C100;

    RequestHeader();

    std::string postData;      // request body; none when empty
    LONG method = 0;           // 0 "GET", 1 or 2 "POST", 3 "DELETE", other "GET"
    std::wstring url;          // absolute URL
    LONG rangeStart = 0;       // when not 0, "Range: bytes=<rangeStart>-" is sent
    std::wstring userAgent;    // defaults to the system's user-agent string
    std::wstring headerText;   // extra header lines, each ending in "\r\n"
    DWORD openFlags = defaultOpenFlags;
    DWORD timeoutMs = 0;       // the request's own time-out; 0 = none
    // Unless negative, a body that grows past this many bytes (or announces
    // more) is cut off: the request ends at once, BodyTooLarge() says why.
    long long maxBodyBytes = -1;
    bool hashBody = false;     // SHA-256 over the body as it arrives (BodyDigest)
    // Where the body goes. Given, it takes only a 200 body (started over) or
    // the 206 body that continues it from rangeStart; hashBody is then the
    // sink's business. Without one, every body goes to memory (TakeReceivedData).
    SinkRef<BodySink> sink;
    // A request that receives nothing for this long, at any step (connect,
    // answer, body), ends with Stalled(); a server that keeps sending, however
    // slowly, is never cut off. One rule for every fetch; 0 leaves WinINet's own.
    DWORD stallLimitMs = 120000;
    std::wstring proxyHost;    // when not empty, the request goes through this proxy
    LONG proxyPort = 80;
    std::wstring proxyUser;
    std::wstring proxyPassword;
};

// What the request knows about its response.
struct ResponseInfo {
    LONG statusCode = 0;       // 0 while no response has been read or the query failed
    LONG contentLength = 0;    // 0 when the header is absent
    std::wstring lastModified;
    std::wstring server;
    BOOL finalReadSucceeded = FALSE;  // the body ended normally (a read returned 0 bytes)
};

// The method text sent for RequestHeader::method.
const wchar_t* methodText(LONG method);

// The system's user-agent string, or an empty string when it cannot be had.
std::wstring systemUserAgent();

// Asks for the user agent on a thread of its own: the first request then finds
// it, and the HTTP libraries it loads, ready instead of waiting for them (a
// noticeable share of a run's start under Wine). Returns the thread, or null
// when none could start; the process waits for it before it ends.
HANDLE startUserAgentWarmUp();
