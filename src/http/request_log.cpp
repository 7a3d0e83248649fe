#include "http/request_log.h"

#include <string>

#include "diagnostics/diagnostic_log.h"

void logRequestEnd(const FCHttpRequest& request, const wchar_t* ending) {
    if (!diagnostics::logging()) return;
    try {
        const ResponseInfo& response = request.GetResponseInfo();
        const double ms = request.ElapsedMs();
        const LONG received = request.GetReceivedByteCount();
        // The URL's user name and password are left out by the log itself.
        diagnostics::log(L"http " + std::wstring(methodText(request.GetHeader().method)) + L" " + request.GetUrl() +
                         L" " + ending + L": status " + std::to_wstring(response.statusCode) +
                         L", content length " + std::to_wstring(response.contentLength) + L", received " +
                         std::to_wstring(received) + L" bytes in " + diagnostics::millisecondsText(ms) + L" ms (" +
                         diagnostics::throughputText(static_cast<double>(received), ms) + L")");
    } catch (...) {
        // best effort: the log line is left out
    }
}
