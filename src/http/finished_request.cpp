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
        case 200: return request.GetRangeStart() != 0 ? L"Download error (not support range)." : L"Download error.";
        case 403: return L"403 error: Forbidden: ";
        case 404: return L"404 error: Not Found: " + request.GetUrl() + L".";
        case 407: return L"407 error: Proxy Authentication Required: ";
        default:
            return L"Download error, status code: " + std::to_wstring(request.GetResponseInfo().statusCode) +
                   L", url: " + request.GetUrl() + L".";
    }
}

std::wstring unansweredRequestFailure(const FCHttpRequest& request) {
    return request.Stalled() ? stalledText(request) : L"Can't Connect to server.";
}
