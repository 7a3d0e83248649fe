#pragma once
// Owns every FCHttpRequest and turns their thread notifications into calls of
// its virtual callbacks, through a hidden message-only event window.
//
// Threads:
// - The event window belongs to the thread that constructs the manager; every
//   callback, the sweep (timer 30) and the time-outs run there. Construct and
//   destroy the manager on that thread.
// - AddRequest and DeleteRequest may be called from any thread. The lists and
//   the id counter are guarded by one critical section, never held while a
//   callback runs. From another thread, the timers are armed and a deleted
//   request's threads are stopped by messages posted to the window.
// - FindRequest may be called from any thread, but a request is destroyed on
//   the window's thread once deleted, so only that thread may keep the pointer.
#include <windows.h>

#include <deque>
#include <string>

#include "http/http_request.h"
#include "http/receive_buffer.h"
#include "http/request_header.h"

class FCHttpRequestManager {
public:
    static constexpr const wchar_t* windowClassName = L"mirtal_http_event_wnd";
    static constexpr UINT_PTR sweepTimerId = 30;
    static constexpr UINT sweepIntervalMs = 100;
    static constexpr int firstRequestId = 100;

    FCHttpRequestManager();
    virtual ~FCHttpRequestManager();
    FCHttpRequestManager(const FCHttpRequestManager&) = delete;
    FCHttpRequestManager& operator=(const FCHttpRequestManager&) = delete;

    // Starts a request and returns its id (100, 101, ...; never reused).
    int AddRequest(const RequestHeader& header);
    // The running request with that id, or null. The dying list is not searched.
    FCHttpRequest* FindRequest(int id);
    // Stops the request and moves it to the dying list; unknown ids are ignored.
    void DeleteRequest(int id);

    HWND GetEventWindow() const { return window_; }
    size_t RunningCount();
    size_t DyingCount();

protected:
    // Called on the window's thread. They do nothing here.
    virtual void OnResponseHeaders(FCHttpRequest& request);
    virtual void OnRequestFinished(FCHttpRequest& request);
    virtual void OnRequestTimeout(FCHttpRequest& request);
    virtual void OnDataReceived(FCHttpRequest& request, int byteCount);

    // Milliseconds that destruction waits for request threads before ending them.
    DWORD shutdownWaitMs_ = 3000;

private:
    static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    void HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);
    void OnStep(int id, LPARAM step);
    void OnData(int id, int byteCount);
    void OnTimer(UINT_PTR timerId);
    void OnArmTimers(int id);
    void OnStopDeleted(int id);
    void Sweep();
    bool SweepOnce();
    bool OnWindowThread() const;
    void StopAndWaitAll();

    inner::FCAutoCSec listLock_;
    std::deque<FCHttpRequest*> running_;  // guarded by listLock_
    std::deque<FCHttpRequest*> dying_;    // guarded by listLock_
    HWND window_ = nullptr;
    DWORD windowThreadId_ = 0;
    int nextId_ = firstRequestId;         // guarded by listLock_
    int callbackDepth_ = 0;               // window thread only
};
