#include "http/http_request_manager.h"

#include <algorithm>
#include <memory>
#include <vector>

#include "http/notifications.h"
#include "http/request_log.h"

namespace {

// Posted to the event window by AddRequest and DeleteRequest when they run on
// another thread: timers and StopThreads belong to the window's thread.
constexpr UINT WM_HTTP_ARM_TIMERS = WM_APP + 0x32;     // wParam: request id
constexpr UINT WM_HTTP_STOP_DELETED = WM_APP + 0x33;   // wParam: request id
// How long destruction waits for threads it has just terminated.
constexpr DWORD terminateWaitMs = 1000;

// Keeps a callback's exception inside the window procedure.
template <typename F>
void invokeCallback(int& depth, F&& callback) {
    ++depth;
    try {
        callback();
    } catch (...) {
        // A derived class's failure ends here; the request's own course goes on.
    }
    --depth;
}

bool stillRunning(HANDLE thread) {
    return ::WaitForSingleObject(thread, 0) == WAIT_TIMEOUT;
}

}  // namespace

FCHttpRequestManager::FCHttpRequestManager() : windowThreadId_(::GetCurrentThreadId()) {
    const HINSTANCE instance = ::GetModuleHandleW(nullptr);
    WNDCLASSEXW windowClass = {};
    windowClass.cbSize = sizeof(windowClass);
    windowClass.lpfnWndProc = WindowProc;
    windowClass.hInstance = instance;
    windowClass.lpszClassName = windowClassName;
    // Best effort: a later manager in the process finds the class registered.
    ::RegisterClassExW(&windowClass);
    window_ = ::CreateWindowExW(0, windowClassName, nullptr, 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, instance, nullptr);
    if (window_) ::SetWindowLongPtrW(window_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
}

FCHttpRequestManager::~FCHttpRequestManager() {
    if (window_) {
        // Detach first: should the window outlive this call, it no longer reaches us.
        ::SetWindowLongPtrW(window_, GWLP_USERDATA, 0);
        ::DestroyWindow(window_);
        window_ = nullptr;
    }
    StopAndWaitAll();
}

void FCHttpRequestManager::StopAndWaitAll() {
    std::vector<FCHttpRequest*> requests;
    {
        inner::FCAutoLock lock(listLock_);
        requests.assign(running_.begin(), running_.end());
        requests.insert(requests.end(), dying_.begin(), dying_.end());
        running_.clear();
        dying_.clear();
    }
    std::vector<HANDLE> threads;
    for (FCHttpRequest* request : requests) {
        const HANDLE thread = request->StopThreads();
        if (thread && std::find(threads.begin(), threads.end(), thread) == threads.end()) threads.push_back(thread);
    }
    // One deadline for all; more threads than one wait takes are waited for in groups.
    const DWORD start = ::GetTickCount();
    for (size_t first = 0; first < threads.size(); first += MAXIMUM_WAIT_OBJECTS) {
        const DWORD elapsed = ::GetTickCount() - start;
        const DWORD left = elapsed < shutdownWaitMs_ ? shutdownWaitMs_ - elapsed : 0;
        const DWORD count = static_cast<DWORD>(std::min<size_t>(threads.size() - first, MAXIMUM_WAIT_OBJECTS));
        ::WaitForMultipleObjects(count, &threads[first], TRUE, left);
    }
    std::vector<HANDLE> terminated;
    for (HANDLE thread : threads) {
        if (stillRunning(thread) && ::TerminateThread(thread, 0)) terminated.push_back(thread);
    }
    // TerminateThread returns before the thread is gone; its request must outlive it.
    for (HANDLE thread : terminated) ::WaitForSingleObject(thread, terminateWaitMs);
    for (FCHttpRequest* request : requests) delete request;
}

bool FCHttpRequestManager::OnWindowThread() const {
    return ::GetCurrentThreadId() == windowThreadId_;
}

int FCHttpRequestManager::AddRequest(const RequestHeader& header) {
    const bool onWindowThread = OnWindowThread();
    if (onWindowThread) ::SetTimer(window_, sweepTimerId, sweepIntervalMs, nullptr);
    int id = 0;
    {
        // Held while the request starts, so its first notification cannot be
        // looked up before it is listed.
        inner::FCAutoLock lock(listLock_);
        id = nextId_++;
        std::unique_ptr<FCHttpRequest> request(new FCHttpRequest(id, window_, header));
        try {
            running_.push_back(request.get());
        } catch (...) {
            // Out of memory for the list: stop the request before freeing it.
            const HANDLE thread = request->StopThreads();
            if (thread) ::WaitForSingleObject(thread, INFINITE);
            throw;
        }
        request.release();
    }
    if (!onWindowThread) ::PostMessageW(window_, WM_HTTP_ARM_TIMERS, static_cast<WPARAM>(id), 0);
    return id;
}

FCHttpRequest* FCHttpRequestManager::FindRequest(int id) {
    inner::FCAutoLock lock(listLock_);
    for (FCHttpRequest* request : running_) {
        if (request->GetId() == id) return request;
    }
    return nullptr;
}

void FCHttpRequestManager::DeleteRequest(int id) {
    FCHttpRequest* found = nullptr;
    {
        inner::FCAutoLock lock(listLock_);
        const auto it = std::find_if(running_.begin(), running_.end(),
                                     [id](FCHttpRequest* request) { return request->GetId() == id; });
        if (it == running_.end()) return;
        found = *it;
        dying_.push_back(found);  // may throw bad_alloc: the request then stays running
        running_.erase(it);
    }
    // Only the window's thread destroys requests, so `found` lives until it
    // returns there; another thread hands the stop over instead.
    if (OnWindowThread()) {
        found->StopThreads();
    } else {
        ::PostMessageW(window_, WM_HTTP_STOP_DELETED, static_cast<WPARAM>(id), 0);
    }
}

size_t FCHttpRequestManager::RunningCount() {
    inner::FCAutoLock lock(listLock_);
    return running_.size();
}

size_t FCHttpRequestManager::DyingCount() {
    inner::FCAutoLock lock(listLock_);
    return dying_.size();
}

void FCHttpRequestManager::OnResponseHeaders(FCHttpRequest&) {}
void FCHttpRequestManager::OnRequestFinished(FCHttpRequest&) {}
void FCHttpRequestManager::OnRequestTimeout(FCHttpRequest&) {}
void FCHttpRequestManager::OnDataReceived(FCHttpRequest&, int) {}

LRESULT CALLBACK FCHttpRequestManager::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* self = reinterpret_cast<FCHttpRequestManager*>(::GetWindowLongPtrW(window, GWLP_USERDATA));
    if (!self) return ::DefWindowProcW(window, message, wParam, lParam);
    switch (message) {
    case WM_HTTP_STEP:
    case WM_HTTP_DATA:
    case WM_TIMER:
    case WM_HTTP_ARM_TIMERS:
    case WM_HTTP_STOP_DELETED:
        try {
            self->HandleMessage(message, wParam, lParam);
        } catch (...) {
            // No exception crosses the window procedure.
        }
        return 0;
    default:
        return ::DefWindowProcW(window, message, wParam, lParam);
    }
}

void FCHttpRequestManager::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    const int id = static_cast<int>(wParam);
    switch (message) {
    case WM_HTTP_STEP:
        OnStep(id, lParam);
        break;
    case WM_HTTP_DATA:
        OnData(id, static_cast<int>(lParam));
        break;
    case WM_TIMER:
        OnTimer(static_cast<UINT_PTR>(wParam));
        break;
    case WM_HTTP_ARM_TIMERS:
        OnArmTimers(id);
        break;
    case WM_HTTP_STOP_DELETED:
        OnStopDeleted(id);
        break;
    }
}

void FCHttpRequestManager::OnStep(int id, LPARAM step) {
    if (step != HttpConnected && step != HttpRequestSent && step != HttpBodyFinished) return;
    FCHttpRequest* request = FindRequest(id);
    if (!request) return;
    switch (step) {
    case HttpConnected:
        request->OpenRequest();
        break;
    case HttpRequestSent:
        request->ReadResponseInfo();
        if (request->GetResponseInfo().statusCode == 0) logRequestEnd(*request, L"got no response");
        invokeCallback(callbackDepth_, [&] { OnResponseHeaders(*request); });
        break;
    case HttpBodyFinished:
        logRequestEnd(*request, L"finished");
        invokeCallback(callbackDepth_, [&] { OnRequestFinished(*request); });
        DeleteRequest(id);  // not found again when the callback deleted it
        break;
    }
}

void FCHttpRequestManager::OnData(int id, int byteCount) {
    FCHttpRequest* request = FindRequest(id);
    if (request) invokeCallback(callbackDepth_, [&] { OnDataReceived(*request, byteCount); });
}

void FCHttpRequestManager::OnTimer(UINT_PTR timerId) {
    if (timerId == sweepTimerId) {
        Sweep();
        return;
    }
    ::KillTimer(window_, timerId);
    const int id = static_cast<int>(timerId);
    FCHttpRequest* request = FindRequest(id);
    if (!request) return;
    logRequestEnd(*request, L"timed out");
    invokeCallback(callbackDepth_, [&] { OnRequestTimeout(*request); });
    DeleteRequest(id);
}

void FCHttpRequestManager::OnArmTimers(int id) {
    ::SetTimer(window_, sweepTimerId, sweepIntervalMs, nullptr);
    if (FCHttpRequest* request = FindRequest(id)) request->StartTimeoutTimer();
}

void FCHttpRequestManager::OnStopDeleted(int id) {
    FCHttpRequest* found = nullptr;
    {
        inner::FCAutoLock lock(listLock_);
        for (FCHttpRequest* request : dying_) {
            if (request->GetId() == id) found = request;
        }
    }
    if (found) found->StopThreads();
}

void FCHttpRequestManager::Sweep() {
    {
        inner::FCAutoLock lock(listLock_);
        if (running_.empty() && dying_.empty()) {
            ::KillTimer(window_, sweepTimerId);
            return;
        }
    }
    // A callback that runs a modal loop may still hold a request it deleted.
    if (callbackDepth_ > 0) return;
    while (SweepOnce()) {
    }
}

bool FCHttpRequestManager::SweepOnce() {
    FCHttpRequest* ended = nullptr;
    {
        inner::FCAutoLock lock(listLock_);
        const auto it = std::find_if(dying_.begin(), dying_.end(),
                                     [](FCHttpRequest* request) { return request->ThreadsEnded(); });
        if (it == dying_.end()) return false;
        ended = *it;
        dying_.erase(it);
    }
    delete ended;
    return true;
}
