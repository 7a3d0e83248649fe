#pragma once
// A request manager that records every callback, for the tests, and a message
// pump that runs until a condition holds.
#include <windows.h>

#include <functional>
#include <map>
#include <string>
#include <vector>

#include "http/http_request_manager.h"

namespace httptest {

struct Event {
    enum Kind { Headers, Finished, Timeout, Data } kind;
    int id;
    int bytes;              // Data: chunk size
    ResponseInfo response;  // as the callback saw it
    LONG received;          // received byte count at the callback
    DWORD threadId;
};

class RecordingManager : public FCHttpRequestManager {
public:
    std::vector<Event> events;
    std::map<int, std::string> bodies;  // taken in OnRequestFinished
    // Run after the event is recorded, to act from inside a callback.
    std::function<void(const Event&, FCHttpRequest&)> onEvent;

    std::vector<Event> EventsOf(int id) const;
    bool Finished(int id) const;
    long long DataBytes(int id) const;

protected:
    void OnResponseHeaders(FCHttpRequest& request) override { Record(Event::Headers, request, 0); }
    void OnRequestFinished(FCHttpRequest& request) override;
    void OnRequestTimeout(FCHttpRequest& request) override { Record(Event::Timeout, request, 0); }
    void OnDataReceived(FCHttpRequest& request, int byteCount) override { Record(Event::Data, request, byteCount); }

private:
    void Record(Event::Kind kind, FCHttpRequest& request, int bytes);
};

// Dispatches this thread's messages until `done` holds or `timeoutMs` passed;
// returns `done()`.
bool pumpUntil(const std::function<bool()>& done, DWORD timeoutMs = 20000);

// A request description for the test server path.
RequestHeader requestFor(const std::wstring& path);

}  // namespace httptest
