// The HTTP callbacks of the pipeline; they run on the main thread, inside the
// event window's procedure, so no exception may leave them.
#include <cassert>

#include "bootstrap/bootstrapper.h"
#include "bootstrap/pipeline_messages.h"
#include "bootstrap/pipeline_log.h"
#include "http/finished_request.h"
#include "product/names.h"
#include "product/settings.h"

bool CBootstrapper::runOver() {
    return runCancelled() || readWord(failureGate_) == 2;
}

void CBootstrapper::failFromCallback(const wchar_t* text) noexcept {
    try {
        failFromCallback(std::wstring(text));
    } catch (...) {
        failQuietly(text);
    }
}

void CBootstrapper::failFromCallback(const std::wstring& text) noexcept {
    assert(::GetCurrentThreadId() == mainThreadId_);
    // A close is made on this thread too, so it cannot slip in after this test.
    if (runCancelled()) return;
    FailureGateHold hold(*this);
    // The worker has reported, or an earlier failure already ends the run.
    if (!hold.held() || readWord(stopFlag) != 0) return;
    try {
        SetErrorText(text);
    } catch (...) {
        // the text could not be stored: the window shows its "unknown error" box
    }
    raiseStopFlag();
}

void CBootstrapper::OnResponseHeaders(FCHttpRequest& request) {
    assert(::GetCurrentThreadId() == mainThreadId_);
    if (request.GetResponseInfo().statusCode != 0 || runOver()) return;
    try {
        DeleteRequest(request.GetId());
    } catch (...) {
        // best effort: the manager deletes it after its last notification
    }
    failOrRetry(request, unansweredRequestFailure(request));  // the manager catches a failed allocation
}

void CBootstrapper::failOrRetry(FCHttpRequest& request, const std::wstring& text) {
    if (worthRetrying(request) && fetch.tries <= appSettings().downloadRetryCount()) {
        logTry(fetch.tries, L"broke: " + text + L" Trying again in 3 s.");
        storeNextTask(RetryFetch);
        return;
    }
    failFromCallback(text);
}

void CBootstrapper::OnRequestFinished(FCHttpRequest& request) {
    assert(::GetCurrentThreadId() == mainThreadId_);
    // After a close, or once the worker has ended, nobody waits for this answer.
    if (runOver()) return;
    try {
        const LONG status = request.GetResponseInfo().statusCode;
        // The sink took the body when it was whole (200) or continued it (the 206 asked for).
        const bool taken = fetch.sink && request.GetBodyStart() >= 0 &&
                           (status == 200 || (status == 206 && request.GetRangeStart() != 0));
        if (taken) {
            if (request.BodyTooLarge()) {
                failFromCallback(fetch.tooLargeText);
                return;
            }
            if (fetch.sink->Error() != 0) {
                // Nothing the server can mend: a full disk, a folder gone.
                failFromCallback(createFailureText(fetch.target.empty() ? L"version_info.xml" : baseName(fetch.target),
                                                   fetch.sink->Error()));
                return;
            }
            if (bodyComplete(request, fetch.sink->Size() - request.GetBodyStart())) {
                downloadDigest.present = fetch.sink->FinishDigest(downloadDigest.bytes);
                storeNextTask(ProcessResponse);
                return;
            }
        }
        failOrRetry(request, finishedRequestFailure(request));
    } catch (...) {
        failFromCallback(L"Download error.");
    }
}

void CBootstrapper::OnDataReceived(FCHttpRequest&, int byteCount) {
    if (fetch.tries <= 1 || !fetch.sink) {
        bytesReceived += static_cast<DWORD>(byteCount);
    } else {
        // A retry counts only what goes past the furthest point reached: the counter never goes back.
        const long long reached = fetch.progressBase + fetch.sink->Size();
        if (reached > static_cast<long long>(bytesReceived)) bytesReceived = static_cast<DWORD>(reached);
    }
    ::PostMessageW(notifyWindow, WM_BYTES_RECEIVED, bytesReceived, 0);
}
