#pragma once
// One HTTP request over WinINet, run on two threads of its own so that its
// owner never blocks: a connect thread (InternetConnectW) and a transfer
// thread (send, then the body in reads of 64 KiB into its sink, see body_sink.h). Each step is announced
// to the notification window with SendNotifyMessageW (see notifications.h);
// a blocked WinINet call is ended by closing the handle it waits on.
//
// Threads:
// - Construction may run on any thread. OpenRequest, ReadResponseInfo,
//   StopThreads, StartTimeoutTimer and destruction run on the thread that owns
//   the notification window.
// - The connect thread writes only the connection handle, before its
//   notification. The transfer thread writes finalReadSucceeded and the body
//   start before notification 2, the received byte count (interlocked) and the
//   sink (see body_sink.h).
// - TakeReceivedData and GetReceivedByteCount may be called from any thread;
//   GetResponseInfo is meaningful after the notification that fills it.
// - Destroy a request only after both threads have ended (ThreadsEnded()).
// - Between its calls the transfer thread owns request_ and connection_: it
//   replaces them when it follows a redirect, and StopThreads closes request_
//   only while that thread is inside a call (see BeginCall).
//
// Redirects are followed here, not by WinINet, whose own following has no
// limit: at most maxRedirects in a row, then the redirect answer is the response.
// A redirect from HTTPS to plain HTTP is never followed, whatever the flags say:
// its answer is the response.
//
// What a request checks as it goes, in order: the redirects above; the body's
// announced and real length (from the sink's start) against maxBodyBytes; the
// body's SHA-256 (hashBody, or the owner's sink), on the transfer thread as the
// bytes arrive. Every wait on the server (connect,
// send, each receive) ends after stallLimitMs without a byte: Stalled().
#include <windows.h>
#include <wininet.h>

#include <string>

#include "base/sha256_digest.h"
#include "base/unique_any.h"
#include "diagnostics/diagnostic_log.h"
#include "http/internet_handle.h"
#include "http/request_header.h"


class FCHttpRequest {
public:
    static constexpr int maxRedirects = 10;

    // Starts at once: cracks the URL, opens the session and starts the connect
    // thread. The time-out timer is armed here only when called on the window's
    // thread; otherwise the owner calls StartTimeoutTimer there.
    FCHttpRequest(int id, HWND notifyWindow, const RequestHeader& header);
    virtual ~FCHttpRequest();
    FCHttpRequest(const FCHttpRequest&) = delete;
    FCHttpRequest& operator=(const FCHttpRequest&) = delete;

    // On notification 0: opens the HTTP request and starts the transfer thread.
    void OpenRequest();
    // On notification 1: fills the status, content length, Last-Modified and Server.
    void ReadResponseInfo();
    // Arms SetTimer(window, id, timeoutMs) when the header asks for a time-out.
    void StartTimeoutTimer();

    // Replaces `out` with the bytes received so far and empties the buffer.
    // Empty when the owner gave its own sink: the body is there.
    void TakeReceivedData(std::string& out);

    // Unblocks whichever thread still runs by closing the handle it waits on,
    // and returns that thread (not owned; valid while the request lives), or
    // null when neither runs. Also makes the threads stop at their next step.
    HANDLE StopThreads();
    // True when the connect and transfer threads are both absent or ended.
    bool ThreadsEnded() const;

    int GetId() const { return id_; }
    const ResponseInfo& GetResponseInfo() const { return response_; }
    LONG GetReceivedByteCount() const;
    const std::wstring& GetUrl() const { return header_.url; }
    LONG GetRangeStart() const { return header_.rangeStart; }
    // After notification 2: where this response's body began in the sink
    // (the range start for a 206 that continued it, 0 for a whole body, -1
    // when the owner's sink did not take it).
    long long GetBodyStart() const { return bodyStart_; }
    bool HasOwnersSink() const { return !ownSink_; }
    const RequestHeader& GetHeader() const { return header_; }
    // From URL cracking: scheme, host, port (the URL's, else the scheme's
    // default) and path with its query.
    INTERNET_SCHEME GetScheme() const { return scheme_; }
    const std::wstring& GetHost() const { return host_; }
    INTERNET_PORT GetPort() const { return port_; }
    const std::wstring& GetPath() const { return path_; }
    // Since the request was made, for the diagnostic log.
    double ElapsedMs() const { return started_.elapsedMs(); }

    // A step received nothing for the header's stallLimitMs: the request ended.
    bool Stalled() const;
    // The body went past maxBodyBytes, or announced a longer one; it was cut off.
    bool BodyTooLarge() const;
    // After notification 2, with hashBody: the SHA-256 of every body byte, when
    // the hash could be computed. False otherwise.
    bool BodyDigest(unsigned char (&digest)[Sha256Digest::size]) const;

    // Parent window of the proxy/certificate prompts (the progress window).
    static void SetDialogParent(HWND window);

private:
    static DWORD WINAPI ConnectThread(void* self);
    static DWORD WINAPI TransferThread(void* self);
    void Connect();
    void Transfer();
    void CrackUrl();
    void OpenSession();
    bool SendOnce(HINTERNET request, const std::wstring& headers, const std::string& body, bool& retry);
    bool SendWithRetries(HINTERNET request, const std::wstring& headers, const std::string& body);
    bool FollowRedirects(HINTERNET& request, const std::wstring& headers, bool sent);
    bool OpenRedirected(const std::wstring& url, const wchar_t* verb);
    BOOL ReadBody(HINTERNET request);
    // Reserves room for the announced body; false when it is longer than allowed.
    bool CheckContentLength(HINTERNET request, long long before);
    long long BodyOffset(HINTERNET request);
    // The number of bytes the next read asks for (size, or less near maxBodyBytes).
    DWORD NextReadSize(long long received, DWORD size) const;
    void ApplyStallLimit(HINTERNET handle);
    void NoteFailedWait(DWORD started, DWORD error);
    // Bracket every WinINet call of the request threads; false once StopThreads ran.
    bool BeginCall();
    bool EndCall();

    int id_;
    diagnostics::Stopwatch started_;
    HWND window_;
    RequestHeader header_;
    INTERNET_SCHEME scheme_ = INTERNET_SCHEME_UNKNOWN;
    std::wstring host_;
    std::wstring path_;
    INTERNET_PORT port_ = 0;
    ResponseInfo response_;
    SinkRef<MemorySink> ownSink_;  // when the owner gave no sink; header_.sink then names it
    long long bodyStart_ = 0;              // transfer thread until notification 2
    volatile LONG receivedBytes_ = 0;
    volatile LONG callState_ = 0;  // see BeginCall
    volatile LONG stalled_ = 0;
    volatile LONG bodyTooLarge_ = 0;
    // Transfer thread until notification 2; read-only afterwards.
    bool bodyHashed_ = false;
    unsigned char bodyDigest_[Sha256Digest::size] = {};
    http::unique_hinternet session_;
    http::unique_hinternet connection_;
    http::unique_hinternet request_;
    HINTERNET threadRequest_ = nullptr;  // request handle as the transfer thread sees it
    bool followRedirects_ = true;        // false when the owner asked for no redirects at all
    base::unique_handle stopEvent_;      // set by StopThreads; ends the retry pause early
    base::unique_handle connectThread_;
    base::unique_handle transferThread_;
};
