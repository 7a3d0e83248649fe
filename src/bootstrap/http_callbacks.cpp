// The HTTP callbacks of the pipeline; they run on the main thread, inside the
// event window's procedure, so no exception may leave them.
#include <cassert>

#include "bootstrap/bootstrapper.h"
#include "bootstrap/pipeline_messages.h"

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
    failFromCallback(L"Can't Connect to server.");
}

void CBootstrapper::OnRequestFinished(FCHttpRequest& request) {
    assert(::GetCurrentThreadId() == mainThreadId_);
    // After a close, or once the worker has ended, nobody waits for this answer.
    if (runOver()) return;
    try {
        const ResponseInfo& response = request.GetResponseInfo();
        std::wstring text;
        switch (response.statusCode) {
            case 200: {
                request.TakeReceivedData(downloadData);
                const bool complete =
                    response.contentLength != 0
                        ? static_cast<LONG>(downloadData.size()) == response.contentLength &&
                              request.GetReceivedByteCount() == response.contentLength
                        : response.finalReadSucceeded != FALSE;
                if (complete) {
                    storeNextTask(ProcessResponse);
                    return;
                }
                std::string().swap(downloadData);
                text = request.GetRangeStart() != 0 ? L"Download error (not support range)." : L"Download error.";
                break;
            }
            case 403: text = L"403 error: Forbidden: "; break;
            case 404: text = L"404 error: Not Found: " + request.GetUrl() + L"."; break;
            case 407: text = L"407 error: Proxy Authentication Required: "; break;
            default:
                text = L"Download error, status code: " + std::to_wstring(response.statusCode) +
                       L", url: " + request.GetUrl() + L".";
                break;
        }
        failFromCallback(text);
    } catch (...) {
        failFromCallback(L"Download error.");
    }
}

void CBootstrapper::OnDataReceived(FCHttpRequest&, int byteCount) {
    bytesReceived += static_cast<DWORD>(byteCount);
    ::PostMessageW(notifyWindow, WM_BYTES_RECEIVED, bytesReceived, 0);
}
