// The HTTP callbacks of the pipeline; they run on the main thread, inside the
// event window's procedure, so no exception may leave them.
#include <cassert>

#include "bootstrap/bootstrapper.h"
#include "bootstrap/pipeline_messages.h"
#include "http/finished_request.h"

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
    failFromCallback(unansweredRequestFailure(request));
}

void CBootstrapper::OnRequestFinished(FCHttpRequest& request) {
    assert(::GetCurrentThreadId() == mainThreadId_);
    // After a close, or once the worker has ended, nobody waits for this answer.
    if (runOver()) return;
    try {
        if (request.GetResponseInfo().statusCode == 200) {
            if (request.BodyTooLarge()) {
                failFromCallback(tooLargeText);
                return;
            }
            request.TakeReceivedData(downloadData);
            if (bodyComplete(request, static_cast<long long>(downloadData.size()))) {
                downloadDigest.present = request.BodyDigest(downloadDigest.bytes);
                storeNextTask(ProcessResponse);
                return;
            }
            std::string().swap(downloadData);
        }
        const std::wstring text = finishedRequestFailure(request);
        failFromCallback(text);
    } catch (...) {
        failFromCallback(L"Download error.");
    }
}

void CBootstrapper::OnDataReceived(FCHttpRequest&, int byteCount) {
    bytesReceived += static_cast<DWORD>(byteCount);
    ::PostMessageW(notifyWindow, WM_BYTES_RECEIVED, bytesReceived, 0);
}
