#include "http/http_request.h"

#include <vector>

#include "http/notifications.h"
#include "http/response_query.h"

namespace {

constexpr DWORD readChunkSize = 8192;
constexpr DWORD retryPauseMs = 1000;
// Chunks read within this many milliseconds share one data notification.
constexpr DWORD dataNotifyIntervalMs = 10;
// InternetErrorDlg: FILTER_FOR_ERRORS | CHANGE_OPTIONS | GENERATE_DATA.
constexpr DWORD errorDialogFlags = 7;
// A Content-Length above this is not trusted for reserving memory up front.
constexpr LONG maxReservation = 1 << 30;

// Which WinINet call the request threads are in, so StopThreads only closes a
// handle that a thread is blocked on and never one it may pick up again.
enum CallState : LONG { Idle = 0, InCall = 1, Stopped = 2 };

HWND volatile dialogParent = nullptr;

bool threadRunning(const base::unique_handle& thread) {
    return thread && ::WaitForSingleObject(thread.get(), 0) == WAIT_TIMEOUT;
}

}  // namespace

void FCHttpRequest::SetDialogParent(HWND window) {
    ::InterlockedExchangePointer(reinterpret_cast<void* volatile*>(&dialogParent), window);
}

FCHttpRequest::FCHttpRequest(int id, HWND notifyWindow, const RequestHeader& header)
    : id_(id), window_(notifyWindow), header_(header), stopEvent_(::CreateEventW(nullptr, TRUE, FALSE, nullptr)) {
    CrackUrl();
    OpenSession();
    connectThread_.reset(::CreateThread(nullptr, 0, ConnectThread, this, 0, nullptr));
    // Without a connect thread the request goes on unconnected and fails the usual way.
    // Posted, not sent: the owner may not have listed the request yet.
    if (!connectThread_) ::PostMessageW(window_, WM_HTTP_STEP, static_cast<WPARAM>(id_), HttpConnected);
    if (::GetWindowThreadProcessId(window_, nullptr) == ::GetCurrentThreadId()) StartTimeoutTimer();
}

FCHttpRequest::~FCHttpRequest() {
    ::KillTimer(window_, static_cast<UINT_PTR>(id_));
    // Children before parents.
    request_.reset();
    connection_.reset();
    session_.reset();
    transferThread_.reset();
    connectThread_.reset();
}

void FCHttpRequest::CrackUrl() {
    const std::wstring& url = header_.url;
    std::vector<wchar_t> host(url.size() + 8), path(url.size() + 8);
    URL_COMPONENTSW parts = {};
    parts.dwStructSize = sizeof(parts);
    parts.lpszHostName = host.data();
    parts.dwHostNameLength = static_cast<DWORD>(host.size());
    // With no buffer of its own for the extra information, the query stays in the path.
    parts.lpszUrlPath = path.data();
    parts.dwUrlPathLength = static_cast<DWORD>(path.size());
    if (url.empty() || !::InternetCrackUrlW(url.c_str(), static_cast<DWORD>(url.size()), 0, &parts)) return;
    scheme_ = parts.nScheme;
    host_.assign(parts.lpszHostName, parts.dwHostNameLength);
    path_.assign(parts.lpszUrlPath, parts.dwUrlPathLength);
    // The URL's own port; the scheme's default only when it names none.
    port_ = parts.nPort;
    if (port_ == 0) port_ = scheme_ == INTERNET_SCHEME_HTTPS ? INTERNET_DEFAULT_HTTPS_PORT : INTERNET_DEFAULT_HTTP_PORT;
}

void FCHttpRequest::OpenSession() {
    const wchar_t* agent = header_.userAgent.c_str();
    if (!header_.proxyHost.empty()) {
        const std::wstring proxy = header_.proxyHost + L":" + std::to_wstring(header_.proxyPort);
        session_.reset(::InternetOpenW(agent, INTERNET_OPEN_TYPE_PROXY, proxy.c_str(), nullptr, 0));
    } else {
        session_.reset(::InternetOpenW(agent, INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0));
    }
    if (!session_) return;  // later calls fail on the null handle and say so
    // Best effort: a refused option shows later as a proxy-authentication status.
    if (!header_.proxyUser.empty()) {
        ::InternetSetOptionW(session_.get(), INTERNET_OPTION_PROXY_USERNAME, const_cast<wchar_t*>(header_.proxyUser.c_str()),
                             static_cast<DWORD>(header_.proxyUser.size()));
    }
    if (!header_.proxyPassword.empty()) {
        ::InternetSetOptionW(session_.get(), INTERNET_OPTION_PROXY_PASSWORD,
                             const_cast<wchar_t*>(header_.proxyPassword.c_str()),
                             static_cast<DWORD>(header_.proxyPassword.size()));
    }
}

void FCHttpRequest::StartTimeoutTimer() {
    if (header_.timeoutMs != 0) ::SetTimer(window_, static_cast<UINT_PTR>(id_), header_.timeoutMs, nullptr);
}

bool FCHttpRequest::BeginCall() {
    return ::InterlockedCompareExchange(&callState_, InCall, Idle) == Idle;
}

bool FCHttpRequest::EndCall() {
    return ::InterlockedCompareExchange(&callState_, Idle, InCall) == InCall;
}

DWORD WINAPI FCHttpRequest::ConnectThread(void* self) {
    static_cast<FCHttpRequest*>(self)->Connect();
    return 0;
}

void FCHttpRequest::Connect() {
    HINTERNET connection = nullptr;
    if (BeginCall()) {
        connection = ::InternetConnectW(session_.get(), host_.c_str(), port_, nullptr, nullptr, INTERNET_SERVICE_HTTP, 0, 0);
        EndCall();
    }
    connection_.reset(connection);
    // Last touch of the request: the owner may open it, or destroy it once this thread ended.
    ::SendNotifyMessageW(window_, WM_HTTP_STEP, static_cast<WPARAM>(id_), HttpConnected);
}

void FCHttpRequest::OpenRequest() {
    connectThread_.reset();
    if (scheme_ == INTERNET_SCHEME_HTTPS) header_.openFlags |= INTERNET_FLAG_SECURE;
    request_.reset(::HttpOpenRequestW(connection_.get(), methodText(header_.method), path_.c_str(), nullptr, nullptr,
                                      nullptr, header_.openFlags, 0));
    threadRequest_ = request_.get();
    transferThread_.reset(::CreateThread(nullptr, 0, TransferThread, this, 0, nullptr));
    if (!transferThread_) {
        // Without a transfer thread the owner still hears that nothing was sent.
        response_.finalReadSucceeded = FALSE;
        ::PostMessageW(window_, WM_HTTP_STEP, static_cast<WPARAM>(id_), HttpRequestSent);
        ::PostMessageW(window_, WM_HTTP_STEP, static_cast<WPARAM>(id_), HttpBodyFinished);
    }
}

DWORD WINAPI FCHttpRequest::TransferThread(void* self) {
    static_cast<FCHttpRequest*>(self)->Transfer();
    return 0;
}

void FCHttpRequest::Transfer() {
    const HINTERNET request = threadRequest_;
    std::wstring headers = header_.headerText;
    if (header_.rangeStart != 0) headers += L"Range: bytes=" + std::to_wstring(header_.rangeStart) + L"-\r\n";

    bool retry = false;
    bool sent = SendOnce(request, headers, retry);
    while (retry && ::WaitForSingleObject(stopEvent_.get(), retryPauseMs) == WAIT_TIMEOUT) {
        sent = SendOnce(request, headers, retry);
    }
    ::SendNotifyMessageW(window_, WM_HTTP_STEP, static_cast<WPARAM>(id_), HttpRequestSent);

    // A request that was never sent has no body; some WinINet versions would
    // still answer the first read with success and 0 bytes.
    response_.finalReadSucceeded = sent ? ReadBody(request) : FALSE;
    // Last touch of the request, as in Connect.
    ::SendNotifyMessageW(window_, WM_HTTP_STEP, static_cast<WPARAM>(id_), HttpBodyFinished);
}

// True when the request went out; `retry` when the error dialog asks to send again.
bool FCHttpRequest::SendOnce(HINTERNET request, const std::wstring& headers, bool& retry) {
    retry = false;
    if (!BeginCall()) return false;
    const BOOL sent = ::HttpSendRequestW(request, headers.empty() ? nullptr : headers.c_str(),
                                         static_cast<DWORD>(headers.size()),
                                         header_.postData.empty() ? nullptr : const_cast<char*>(header_.postData.data()),
                                         static_cast<DWORD>(header_.postData.size()));
    const DWORD error = sent ? ERROR_SUCCESS : ::GetLastError();
    // Lets the user answer proxy-authentication and certificate prompts.
    const DWORD answer = ::InternetErrorDlg(dialogParent, request, error, errorDialogFlags, nullptr);
    if (!EndCall()) return false;
    retry = answer == ERROR_INTERNET_FORCE_RETRY;
    return sent != FALSE;
}

void FCHttpRequest::ReserveForContentLength(HINTERNET request) {
    if (!BeginCall()) return;
    const LONG length = queryNumber(request, HTTP_QUERY_CONTENT_LENGTH);
    EndCall();
    if (length > 0 && length <= maxReservation) {
        buffer_.Reserve(static_cast<size_t>(length));  // best effort: appends grow as they go
    }
}

BOOL FCHttpRequest::ReadBody(HINTERNET request) {
    ReserveForContentLength(request);
    // Bytes appended but not yet announced. Announcing every 8192-byte read
    // would cost, under Wine, about as much as the read itself; chunks that
    // arrive within one interval are announced together instead, and a slow
    // body still gets one notification per read.
    DWORD unannounced = 0;
    DWORD lastAnnounced = ::GetTickCount() - dataNotifyIntervalMs;
    const auto announce = [&] {
        if (unannounced == 0) return;
        ::SendNotifyMessageW(window_, WM_HTTP_DATA, static_cast<WPARAM>(id_), static_cast<LPARAM>(unannounced));
        unannounced = 0;
    };
    char chunk[readChunkSize];
    BOOL result = FALSE;
    for (;;) {
        if (!BeginCall()) break;
        DWORD count = 0;
        const BOOL read = ::InternetReadFile(request, chunk, readChunkSize, &count);
        if (!EndCall() || !read) break;
        if (count == 0) {
            result = TRUE;
            break;
        }
        // Counted only once stored, so the count never claims bytes the body lacks.
        if (!buffer_.Append(chunk, count)) break;
        ::InterlockedExchangeAdd(&receivedBytes_, static_cast<LONG>(count));
        unannounced += count;
        const DWORD now = ::GetTickCount();
        if (now - lastAnnounced >= dataNotifyIntervalMs) {
            announce();
            lastAnnounced = now;
        }
    }
    announce();  // every byte is announced before notification 2
    return result;
}

void FCHttpRequest::ReadResponseInfo() {
    // finalReadSucceeded belongs to the transfer thread until notification 2.
    const HINTERNET request = request_.get();
    std::wstring text;
    if (queryText(request, HTTP_QUERY_STATUS_CODE, text)) response_.statusCode = leadingNumber(text);
    if (queryText(request, HTTP_QUERY_CONTENT_LENGTH, text)) response_.contentLength = leadingNumber(text);
    queryText(request, HTTP_QUERY_LAST_MODIFIED, response_.lastModified);
    queryText(request, HTTP_QUERY_SERVER, response_.server);
}

void FCHttpRequest::TakeReceivedData(std::string& out) {
    buffer_.Take(out);
}

LONG FCHttpRequest::GetReceivedByteCount() const {
    return ::InterlockedCompareExchange(const_cast<volatile LONG*>(&receivedBytes_), 0, 0);
}

HANDLE FCHttpRequest::StopThreads() {
    const LONG previous = ::InterlockedExchange(&callState_, Stopped);
    if (stopEvent_) ::SetEvent(stopEvent_.get());
    if (threadRunning(transferThread_)) {
        // A thread between calls sees Stopped at its next call; only one blocked
        // in a call needs its handle closed under it.
        if (previous == InCall) request_.reset();
        return transferThread_.get();
    }
    // InternetConnectW does not wait on the network for HTTP: the connect thread
    // ends by itself, so its session is left open rather than closed under it.
    if (threadRunning(connectThread_)) return connectThread_.get();
    return nullptr;
}

bool FCHttpRequest::ThreadsEnded() const {
    return !threadRunning(connectThread_) && !threadRunning(transferThread_);
}
