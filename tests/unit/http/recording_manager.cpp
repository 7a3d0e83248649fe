#include "recording_manager.h"

#include <algorithm>

#include "test_server.h"

namespace httptest {

void RecordingManager::Record(Event::Kind kind, FCHttpRequest& request, int bytes) {
    events.push_back(Event{kind, request.GetId(), bytes, request.GetResponseInfo(), request.GetReceivedByteCount(),
                           ::GetCurrentThreadId()});
    if (onEvent) onEvent(events.back(), request);
}

void RecordingManager::OnRequestFinished(FCHttpRequest& request) {
    request.TakeReceivedData(bodies[request.GetId()]);
    Record(Event::Finished, request, 0);
}

std::vector<Event> RecordingManager::EventsOf(int id) const {
    std::vector<Event> out;
    for (const Event& event : events) {
        if (event.id == id) out.push_back(event);
    }
    return out;
}

bool RecordingManager::Finished(int id) const {
    for (const Event& event : events) {
        if (event.id == id && event.kind == Event::Finished) return true;
    }
    return false;
}

long long RecordingManager::DataBytes(int id) const {
    long long total = 0;
    for (const Event& event : events) {
        if (event.id == id && event.kind == Event::Data) total += event.bytes;
    }
    return total;
}

bool pumpUntil(const std::function<bool()>& done, DWORD timeoutMs) {
    const DWORD start = ::GetTickCount();
    for (;;) {
        MSG message;
        while (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            ::TranslateMessage(&message);
            ::DispatchMessageW(&message);
        }
        if (done()) return true;
        const DWORD elapsed = ::GetTickCount() - start;
        if (elapsed >= timeoutMs) return false;
        ::MsgWaitForMultipleObjects(0, nullptr, FALSE, std::min<DWORD>(timeoutMs - elapsed, 50), QS_ALLINPUT);
    }
}

RequestHeader requestFor(const std::wstring& path) {
    RequestHeader header;
    header.url = serverUrl(path);
    return header;
}

}  // namespace httptest
