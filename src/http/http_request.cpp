#include "http/http_request.h"

#include <algorithm>
#include <vector>

#include "http/body_sink.h"
#include "http/notifications.h"
#include "http/response_query.h"

namespace {

// Under Wine each InternetReadFile costs far more than its bytes; 64 KiB reads
// cost a fifth of 8 KiB ones per byte. But Wine fills the whole buffer before
// it returns, so a slow body is read in small pieces (announced as they come,
// and not lost to a stall): large reads only while the data keeps up.
constexpr DWORD readChunkSize = 65536;
constexpr DWORD slowReadSize = 8192;
constexpr DWORD slowReadMs = 50;
constexpr DWORD retryPauseMs = 1000;
// Chunks read within this many milliseconds share one data notification.
constexpr DWORD dataNotifyIntervalMs = 10;
// InternetErrorDlg: FILTER_FOR_ERRORS | CHANGE_OPTIONS | GENERATE_DATA.
constexpr DWORD errorDialogFlags = 7;
// Bytes a read may ask for beyond maxBodyBytes: one is enough to tell a longer body.
constexpr long long overLimitProbe = 1;

// Which WinINet call the request threads are in, so StopThreads only closes a
// handle that a thread is blocked on and never one it may pick up again.
enum CallState : LONG { Idle = 0, InCall = 1, Stopped = 2 };

HWND volatile dialogParent = nullptr;

struct UrlParts {
    INTERNET_SCHEME scheme = INTERNET_SCHEME_UNKNOWN;
    std::wstring host;
    std::wstring path;  // with its query
    INTERNET_PORT port = 0;
};

bool crackUrl(const std::wstring& url, UrlParts& out) {
    std::vector<wchar_t> host(url.size() + 8), path(url.size() + 8);
    URL_COMPONENTSW parts = {};
    parts.dwStructSize = sizeof(parts);
    parts.lpszHostName = host.data();
    parts.dwHostNameLength = static_cast<DWORD>(host.size());
    // With no buffer of its own for the extra information, the query stays in the path.
    parts.lpszUrlPath = path.data();
    parts.dwUrlPathLength = static_cast<DWORD>(path.size());
    if (url.empty() || !::InternetCrackUrlW(url.c_str(), static_cast<DWORD>(url.size()), 0, &parts)) return false;
    out.scheme = parts.nScheme;
    out.host.assign(parts.lpszHostName, parts.dwHostNameLength);
    out.path.assign(parts.lpszUrlPath, parts.dwUrlPathLength);
    // The URL's own port; the scheme's default only when it names none.
    out.port = parts.nPort;
    if (out.port == 0)
        out.port = out.scheme == INTERNET_SCHEME_HTTPS ? INTERNET_DEFAULT_HTTPS_PORT : INTERNET_DEFAULT_HTTP_PORT;
    return true;
}

bool isRedirect(LONG status) {
    return status == 301 || status == 302 || status == 303 || status == 307 || status == 308;
}

// The absolute URL a Location names, resolved against the URL that was asked for.
bool combineUrl(const std::wstring& base, const std::wstring& location, std::wstring& out) {
    // Room for every character escaped.
    std::vector<wchar_t> buffer((base.size() + location.size()) * 3 + 64, L'\0');
    DWORD length = static_cast<DWORD>(buffer.size());
    if (!::InternetCombineUrlW(base.c_str(), location.c_str(), buffer.data(), &length, 0)) return false;
    out.assign(buffer.data(), std::min<size_t>(length, buffer.size()));
    return !out.empty();
}

bool threadRunning(const base::unique_handle& thread) {
    return thread && ::WaitForSingleObject(thread.get(), 0) == WAIT_TIMEOUT;
}

}  // namespace

void FCHttpRequest::SetDialogParent(HWND window) {
    ::InterlockedExchangePointer(reinterpret_cast<void* volatile*>(&dialogParent), window);
}

FCHttpRequest::FCHttpRequest(int id, HWND notifyWindow, const RequestHeader& header)
    : id_(id), window_(notifyWindow), header_(header), stopEvent_(::CreateEventW(nullptr, TRUE, FALSE, nullptr)) {
    if (!header_.sink) {
        ownSink_ = SinkRef<MemorySink>(new MemorySink(header_.hashBody));
        header_.sink = ownSink_;
    }
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
    UrlParts parts;
    if (!crackUrl(header_.url, parts)) return;
    scheme_ = parts.scheme;
    host_ = parts.host;
    path_ = parts.path;
    port_ = parts.port;
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
    ApplyStallLimit(session_.get());
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

// Every step that waits on the server (connect, send, each receive of the
// answer and of the body) gives up after the limit.
// Set on the session and again on each request handle, for WinINet versions
// that do not hand the session's values down.
void FCHttpRequest::ApplyStallLimit(HINTERNET handle) {
    if (handle == nullptr || header_.stallLimitMs == 0) return;
    DWORD limit = header_.stallLimitMs;
    for (DWORD option : {INTERNET_OPTION_CONNECT_TIMEOUT, INTERNET_OPTION_SEND_TIMEOUT, INTERNET_OPTION_RECEIVE_TIMEOUT,
                         INTERNET_OPTION_DATA_SEND_TIMEOUT, INTERNET_OPTION_DATA_RECEIVE_TIMEOUT})
        ::InternetSetOptionW(handle, option, &limit, sizeof(limit));  // best effort: a refused option keeps the default
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
    // WinINet would follow a redirect loop for ever; the transfer thread counts them instead.
    followRedirects_ = (header_.openFlags & INTERNET_FLAG_NO_AUTO_REDIRECT) == 0;
    header_.openFlags |= INTERNET_FLAG_NO_AUTO_REDIRECT;
    request_.reset(::HttpOpenRequestW(connection_.get(), methodText(header_.method), path_.c_str(), nullptr, nullptr,
                                      nullptr, header_.openFlags, 0));
    ApplyStallLimit(request_.get());
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
    HINTERNET request = threadRequest_;
    std::wstring headers = header_.headerText;
    if (header_.rangeStart != 0) headers += L"Range: bytes=" + std::to_wstring(header_.rangeStart) + L"-\r\n";

    bool sent = SendWithRetries(request, headers, header_.postData);
    if (followRedirects_) sent = FollowRedirects(request, headers, sent);
    ::SendNotifyMessageW(window_, WM_HTTP_STEP, static_cast<WPARAM>(id_), HttpRequestSent);

    // A request that was never sent has no body; some WinINet versions would
    // still answer the first read with success and 0 bytes.
    response_.finalReadSucceeded = sent ? ReadBody(request) : FALSE;
    // Last touch of the request, as in Connect.
    ::SendNotifyMessageW(window_, WM_HTTP_STEP, static_cast<WPARAM>(id_), HttpBodyFinished);
}

bool FCHttpRequest::SendWithRetries(HINTERNET request, const std::wstring& headers, const std::string& body) {
    bool retry = false;
    bool sent = SendOnce(request, headers, body, retry);
    while (retry && ::WaitForSingleObject(stopEvent_.get(), retryPauseMs) == WAIT_TIMEOUT) {
        sent = SendOnce(request, headers, body, retry);
    }
    return sent;
}

// Follows up to maxRedirects redirects in a row, each with the same extra
// headers; the answer after the last one is the response whatever its status.
// Returns whether the request that `request` now names was sent.
bool FCHttpRequest::FollowRedirects(HINTERNET& request, const std::wstring& headers, bool sent) {
    std::wstring url = header_.url;
    INTERNET_SCHEME scheme = scheme_;
    const wchar_t* verb = methodText(header_.method);
    const std::string* body = &header_.postData;
    const std::string noBody;
    for (int hop = 0; sent && hop < maxRedirects; ++hop) {
        if (!BeginCall()) return false;
        const LONG status = queryNumber(request, HTTP_QUERY_STATUS_CODE);
        std::wstring location;
        const bool located = isRedirect(status) && queryText(request, HTTP_QUERY_LOCATION, location);
        if (!EndCall()) return false;
        std::wstring next;
        UrlParts parts;
        if (!located || location.empty() || !combineUrl(url, location, next) || !crackUrl(next, parts)) break;
        if (parts.scheme != INTERNET_SCHEME_HTTP && parts.scheme != INTERNET_SCHEME_HTTPS) break;
        // Never from HTTPS down to plain HTTP: whoever is on the path would own the rest.
        if (scheme == INTERNET_SCHEME_HTTPS && parts.scheme == INTERNET_SCHEME_HTTP) break;
        // A change of scheme only where the owner's flags allow it, as WinINet would.
        if (parts.scheme != scheme) {
            const DWORD allowed = parts.scheme == INTERNET_SCHEME_HTTPS ? INTERNET_FLAG_IGNORE_REDIRECT_TO_HTTPS
                                                                        : INTERNET_FLAG_IGNORE_REDIRECT_TO_HTTP;
            if ((header_.openFlags & allowed) == 0) break;
        }
        // 303 always, and 301 or 302 after a POST, continue as GET without the body.
        if (status == 303 || ((status == 301 || status == 302) && std::wstring(verb) == L"POST")) {
            verb = L"GET";
            body = &noBody;
        }
        if (!OpenRedirected(next, verb)) return false;
        request = threadRequest_;
        url = next;
        scheme = parts.scheme;
        sent = SendWithRetries(request, headers, *body);
    }
    return sent;
}

// Replaces the request (and its connection) with one for `url`. Runs on the
// transfer thread between calls, when StopThreads leaves the handles alone.
bool FCHttpRequest::OpenRedirected(const std::wstring& url, const wchar_t* verb) {
    UrlParts parts;
    if (!crackUrl(url, parts)) return false;
    threadRequest_ = nullptr;
    request_.reset();  // children before parents
    connection_.reset();
    if (!BeginCall()) return false;
    DWORD flags = header_.openFlags & ~INTERNET_FLAG_SECURE;
    if (parts.scheme == INTERNET_SCHEME_HTTPS) flags |= INTERNET_FLAG_SECURE;
    http::unique_hinternet connection(::InternetConnectW(session_.get(), parts.host.c_str(), parts.port, nullptr,
                                                         nullptr, INTERNET_SERVICE_HTTP, 0, 0));
    http::unique_hinternet request;
    if (connection) {
        request.reset(::HttpOpenRequestW(connection.get(), verb, parts.path.c_str(), nullptr, nullptr, nullptr,
                                         flags, 0));
    }
    if (!EndCall() || !request) return false;
    ApplyStallLimit(request.get());
    connection_ = std::move(connection);
    request_ = std::move(request);
    threadRequest_ = request_.get();
    return true;
}

// True when the request went out; `retry` when the error dialog asks to send again.
bool FCHttpRequest::SendOnce(HINTERNET request, const std::wstring& headers, const std::string& body, bool& retry) {
    retry = false;
    if (!BeginCall()) return false;
    const DWORD started = ::GetTickCount();
    const BOOL sent = ::HttpSendRequestW(request, headers.empty() ? nullptr : headers.c_str(),
                                         static_cast<DWORD>(headers.size()),
                                         body.empty() ? nullptr : const_cast<char*>(body.data()),
                                         static_cast<DWORD>(body.size()));
    const DWORD error = sent ? ERROR_SUCCESS : ::GetLastError();
    if (!sent) NoteFailedWait(started, error);
    // Lets the user answer proxy-authentication and certificate prompts.
    // Without a parent window (an unattended run, a tool) it shows nothing and
    // answers ERROR_INVALID_HANDLE: the error stands.
    const DWORD answer = ::InternetErrorDlg(dialogParent, request, error, errorDialogFlags, nullptr);
    if (!EndCall()) return false;
    retry = answer == ERROR_INTERNET_FORCE_RETRY;
    return sent != FALSE;
}

bool FCHttpRequest::CheckContentLength(HINTERNET request, long long before) {
    if (!BeginCall()) return true;
    const LONG length = queryNumber(request, HTTP_QUERY_CONTENT_LENGTH);
    EndCall();
    if (header_.maxBodyBytes >= 0 && before + length > header_.maxBodyBytes) {
        ::InterlockedExchange(&bodyTooLarge_, 1);
        return false;
    }
    header_.sink->Expect(length);
    return true;
}

// Where this response's body starts in the sink: 0 for a whole body, the
// range start for the 206 that continues it; -1 when the owner's sink must not
// take it (an error page, or a range it did not ask for).
long long FCHttpRequest::BodyOffset(HINTERNET request) {
    if (ownSink_) return 0;  // memory of the request's own: every body, as it always was
    if (!BeginCall()) return -1;
    const LONG status = queryNumber(request, HTTP_QUERY_STATUS_CODE);
    std::wstring range;
    if (status == 206) queryText(request, HTTP_QUERY_CONTENT_RANGE, range);
    if (!EndCall()) return -1;
    if (status == 200) return 0;
    // "bytes <first>-<last>/<total>": the first byte must be the one asked for.
    const std::wstring unit = L"bytes ";
    if (status != 206 || header_.rangeStart <= 0 || range.compare(0, unit.size(), unit) != 0) return -1;
    return leadingNumber(range.substr(unit.size())) == header_.rangeStart ? header_.rangeStart : -1;
}

// Under a limit, never asks for much more than one byte past it.
DWORD FCHttpRequest::NextReadSize(long long received, DWORD size) const {
    if (header_.maxBodyBytes >= 0) {
        const long long room = header_.maxBodyBytes + overLimitProbe - received;
        if (room < static_cast<long long>(size)) size = static_cast<DWORD>(room > 0 ? room : 1);
    }
    return size;
}

BOOL FCHttpRequest::ReadBody(HINTERNET request) {
    const long long offset = BodyOffset(request);
    bodyStart_ = offset;
    // An answer the owner's sink must not take (an error page) is still read
    // and counted, as always, but kept nowhere.
    BodySink* sink = offset >= 0 ? header_.sink.get() : nullptr;
    // Bytes before this body, for the limit: those the sink holds already.
    const long long before = offset >= 0 ? offset : 0;
    if (!CheckContentLength(request, before)) return FALSE;
    if (sink && !sink->Begin(before)) return FALSE;
    // Bytes stored but not yet announced. Announcing every read
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
    char chunk[readChunkSize];  // the transfer thread's own stack: 1 MB
    DWORD readSize = slowReadSize;
    BOOL result = FALSE;
    long long received = 0;
    for (;;) {
        const DWORD size = NextReadSize(before + received, readSize);
        if (!BeginCall()) break;
        DWORD count = 0;
        const DWORD started = ::GetTickCount();
        const BOOL read = ::InternetReadFile(request, chunk, size, &count);
        const DWORD error = read ? ERROR_SUCCESS : ::GetLastError();
        if (!EndCall()) break;
        readSize = ::GetTickCount() - started < slowReadMs ? readChunkSize : slowReadSize;
        // Some WinINet versions end a timed-out read as if the body had ended.
        if (!read || count == 0) NoteFailedWait(started, error);
        if (!read || Stalled()) break;
        if (count == 0) {
            result = TRUE;
            break;
        }
        if (header_.maxBodyBytes >= 0 && before + received + static_cast<long long>(count) > header_.maxBodyBytes) {
            ::InterlockedExchange(&bodyTooLarge_, 1);
            break;
        }
        // Counted only once stored, so the count never claims bytes the body lacks.
        if (sink && !sink->Write(chunk, count)) break;
        received += count;
        ::InterlockedExchangeAdd(&receivedBytes_, static_cast<LONG>(count));
        unannounced += count;
        const DWORD now = ::GetTickCount();
        // A short read drained what had arrived: the next one may wait, so
        // what is here is announced now rather than after the wait.
        if (count < size || now - lastAnnounced >= dataNotifyIntervalMs) {
            announce();
            lastAnnounced = now;
        }
    }
    announce();  // every byte is announced before notification 2
    if (ownSink_) bodyHashed_ = result && ownSink_->FinishDigest(bodyDigest_);
    return result;
}

// A wait on the server that ended without data: a stall when WinINet says it
// timed out, or (for versions that give another error, or none) when it
// lasted about as long as the limit.
void FCHttpRequest::NoteFailedWait(DWORD started, DWORD error) {
    const DWORD limit = header_.stallLimitMs;
    const DWORD waited = ::GetTickCount() - started;
    if (limit != 0 && (error == ERROR_INTERNET_TIMEOUT || waited + limit / 10 >= limit))
        ::InterlockedExchange(&stalled_, 1);
}

bool FCHttpRequest::Stalled() const {
    return ::InterlockedCompareExchange(const_cast<volatile LONG*>(&stalled_), 0, 0) != 0;
}

bool FCHttpRequest::BodyTooLarge() const {
    return ::InterlockedCompareExchange(const_cast<volatile LONG*>(&bodyTooLarge_), 0, 0) != 0;
}

bool FCHttpRequest::BodyDigest(unsigned char (&digest)[Sha256Digest::size]) const {
    if (!bodyHashed_) return false;
    for (size_t i = 0; i < Sha256Digest::size; ++i) digest[i] = bodyDigest_[i];
    return true;
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
    if (ownSink_) {
        ownSink_->Take(out);
    } else {
        out.clear();
    }
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
