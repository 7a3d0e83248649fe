#pragma once
// Fetches over HTTP or HTTPS through the bootstrapper's own engine, and
// streams each body into a file (and a hash) as it arrives, instead of
// holding it whole in memory first.
//
// Threads: the manager's event window, and so every callback, belongs to the
// thread that constructs the fetcher; fetch runs that thread's message loop
// until the request has ended, so construct and call it on one thread.
#include <windows.h>

#include <string>

#include "http/http_request_manager.h"
#include "base/sha256_hash.h"

class WebFetcher : public FCHttpRequestManager {
public:
    enum class Result {
        Stored,         // the whole body is in the file
        RequestFailed,  // failure holds the bootstrapper's text
        StoreFailed,    // storeError holds the system's error code
        TooLarge,       // the body went past maxBytes
    };

    // hash may be null (nothing to check); maxBytes: the longest body allowed,
    // or -1. bytes: what was written. A silent server ends the fetch by the
    // manager's rule, as it ends a user's run.
    Result fetch(const std::wstring& url, HANDLE file, Sha256Hash* hash, long long maxBytes, std::wstring& failure,
                 DWORD& storeError, long long& bytes);

protected:
    void OnResponseHeaders(FCHttpRequest& request) override;
    void OnRequestFinished(FCHttpRequest& request) override;
    void OnDataReceived(FCHttpRequest& request, int byteCount) override;

private:
    bool storeArrived(FCHttpRequest& request);
    void end(Result result);
    void endWithFailure(const std::wstring& text);

    int requestId_ = 0;
    bool done_ = true;
    HANDLE file_ = INVALID_HANDLE_VALUE;
    Sha256Hash* hash_ = nullptr;
    std::string chunk_;
    long long stored_ = 0;
    Result result_ = Result::Stored;
    std::wstring failure_;
    DWORD storeError_ = 0;
};
