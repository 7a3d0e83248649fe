#include "http/finished_request.h"

bool bodyComplete(const FCHttpRequest& request, long long takenBytes) {
    const ResponseInfo& response = request.GetResponseInfo();
    if (response.contentLength != 0)
        return takenBytes == response.contentLength && request.GetReceivedByteCount() == response.contentLength;
    return response.finalReadSucceeded != FALSE;
}

namespace {

std::wstring stalledText(const FCHttpRequest& request) {
    return L"Download error, the server stopped sending, url: " + request.GetUrl() + L".";
}

}  // namespace

std::wstring finishedRequestFailure(const FCHttpRequest& request) {
    if (request.Stalled()) return stalledText(request);
    switch (request.GetResponseInfo().statusCode) {
        // A sink starts over on a 200, so a range it asked for needs no support.
        case 200:
            return request.GetRangeStart() != 0 && !request.HasOwnersSink() ? L"Download error (not support range)."
                                                                             : L"Download error.";
        case 206:
            if (request.HasOwnersSink() && request.GetRangeStart() != 0) return L"Download error.";
            break;
        case 403: return L"403 error: Forbidden: ";
        case 404: return L"404 error: Not Found: " + request.GetUrl() + L".";
        case 407: return L"407 error: Proxy Authentication Required: ";
        default:
            break;
    }
    return L"Download error, status code: " + std::to_wstring(request.GetResponseInfo().statusCode) + L", url: " +
           request.GetUrl() + L".";
}

bool worthRetrying(const FCHttpRequest& request) {
    if (request.Stalled()) return true;
    if (request.BodyTooLarge()) return false;
    const LONG status = request.GetResponseInfo().statusCode;
    // A body longer than it announced is the server's doing, not the network's.
    const LONG announced = request.GetResponseInfo().contentLength;
    if (announced != 0 && request.GetReceivedByteCount() > announced) return false;
    // No answer, a body cut short (200, or the 206 that continued it), a server error.
    return status == 0 || status == 200 || (status == 206 && request.GetRangeStart() != 0) ||
           (status >= 500 && status <= 599);
}

std::wstring unansweredRequestFailure(const FCHttpRequest& request) {
    return request.Stalled() ? stalledText(request) : L"Can't Connect to server.";
}
