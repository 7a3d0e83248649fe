// The HTTP callbacks of the pipeline; they run on the main thread, inside the
// event window's procedure, so no exception may leave them.
#include "app/messages.h"
#include "bootstrap/bootstrapper.h"

void CBootstrapper::OnResponseHeaders(FCHttpRequest& request) {
    if (request.GetResponseInfo().statusCode != 0) return;
    try {
        DeleteRequest(request.GetId());
        Fail(L"Can't Connect to server.");
    } catch (...) {
        failQuietly(L"Can't Connect to server.");
    }
}

void CBootstrapper::OnRequestFinished(FCHttpRequest& request) {
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
        Fail(text);
    } catch (...) {
        failQuietly(L"Download error.");
    }
}

void CBootstrapper::OnDataReceived(FCHttpRequest&, int byteCount) {
    bytesReceived += static_cast<DWORD>(byteCount);
    ::PostMessageW(notifyWindow, WM_BYTES_RECEIVED, bytesReceived, 0);
}
