// FCHttpRequestManager: ids, dispatch, deletion, sweep, time-outs, threads and shutdown.
#include <windows.h>
#include <tlhelp32.h>

#include <atomic>
#include <set>
#include <stdexcept>

#include <gtest/gtest.h>

#include "http/notifications.h"
#include "recording_manager.h"
#include "test_server.h"

using httptest::Event;
using httptest::pumpUntil;
using httptest::RecordingManager;
using httptest::requestFor;

namespace {

size_t eventsAfter(const RecordingManager& manager, int id, size_t index) {
    size_t count = 0;
    for (size_t i = index; i < manager.events.size(); ++i) count += manager.events[i].id == id;
    return count;
}

bool idle(RecordingManager& manager) {
    return manager.RunningCount() == 0 && manager.DyingCount() == 0;
}

// Runs a callable on a thread of its own; joined by the destructor.
class Worker {
public:
    template <typename F>
    explicit Worker(F body) : body_(body), thread_(::CreateThread(nullptr, 0, Run, this, 0, nullptr)) {}
    ~Worker() { Join(); }
    bool Done() const { return ::WaitForSingleObject(thread_, 0) == WAIT_OBJECT_0; }
    void Join() {
        if (thread_) {
            ::WaitForSingleObject(thread_, INFINITE);
            ::CloseHandle(thread_);
            thread_ = nullptr;
        }
    }

private:
    static DWORD WINAPI Run(void* self) {
        static_cast<Worker*>(self)->body_();
        return 0;
    }
    std::function<void()> body_;
    HANDLE thread_;
};

}  // namespace

TEST(ManagerTest, IdsStartAt100AndAreNeverReused) {
    RecordingManager manager;
    const int first = manager.AddRequest(requestFor(L"/_/bytes/10"));
    const int second = manager.AddRequest(requestFor(L"/_/bytes/10"));
    EXPECT_EQ(first, 100);
    EXPECT_EQ(second, 101);
    ASSERT_TRUE(pumpUntil([&] { return idle(manager); }));
    EXPECT_EQ(manager.AddRequest(requestFor(L"/_/bytes/10")), 102);
    ASSERT_TRUE(pumpUntil([&] { return idle(manager); }));
}

TEST(ManagerTest, EventWindowIsAMessageOnlyWindowOfItsClass) {
    RecordingManager manager;
    ASSERT_NE(manager.GetEventWindow(), nullptr);
    EXPECT_EQ(::FindWindowExW(HWND_MESSAGE, nullptr, L"mirtal_http_event_wnd", nullptr), manager.GetEventWindow());
    EXPECT_EQ(::GetWindowThreadProcessId(manager.GetEventWindow(), nullptr), ::GetCurrentThreadId());
}

TEST(ManagerTest, NotificationsForUnknownIdsOrStepsAreIgnored) {
    RecordingManager manager;
    const HWND window = manager.GetEventWindow();
    EXPECT_EQ(::SendMessageW(window, WM_HTTP_STEP, 999, HttpRequestSent), 0);
    EXPECT_EQ(::SendMessageW(window, WM_HTTP_DATA, 999, 100), 0);
    const int id = manager.AddRequest(requestFor(L"/_/hang"));
    EXPECT_EQ(::SendMessageW(window, WM_HTTP_STEP, id, 3), 0);
    EXPECT_EQ(::SendMessageW(window, WM_HTTP_STEP, id, -1), 0);
    EXPECT_TRUE(manager.events.empty());
}

TEST(ManagerTest, DeleteMovesOnlyThatRequestToTheDyingListAndIgnoresIdsItDoesNotRun) {
    RecordingManager manager;
    const int id = manager.AddRequest(requestFor(L"/_/hang"));
    const int other = manager.AddRequest(requestFor(L"/_/hang"));
    // No message is pumped here, so the sweep cannot empty the dying list meanwhile.
    manager.DeleteRequest(id);
    EXPECT_EQ(manager.FindRequest(id), nullptr);
    EXPECT_EQ(manager.RunningCount(), 1u);
    EXPECT_EQ(manager.DyingCount(), 1u);
    manager.DeleteRequest(id);  // a second delete finds nothing
    manager.DeleteRequest(12345);
    EXPECT_NE(manager.FindRequest(other), nullptr);
    EXPECT_EQ(manager.RunningCount(), 1u);
    EXPECT_EQ(manager.DyingCount(), 1u) << "a request is stopped and listed as dying once";
    manager.DeleteRequest(other);
    EXPECT_EQ(manager.RunningCount(), 0u);
    EXPECT_EQ(manager.DyingCount(), 2u);
    ASSERT_TRUE(pumpUntil([&] { return idle(manager); }));
    EXPECT_TRUE(manager.events.empty());
}

TEST(ManagerTest, DeletedRequestGetsNoFurtherCallbackAndIsSwept) {
    RecordingManager manager;
    size_t deletedAt = 0;
    int deletedId = 0;
    // Deleted from inside its first chunk callback, while the body is endless.
    manager.onEvent = [&](const Event& event, FCHttpRequest&) {
        if (event.kind == Event::Data && deletedId == 0) {
            deletedId = event.id;
            deletedAt = manager.events.size();
            manager.DeleteRequest(event.id);
        }
    };
    const int id = manager.AddRequest(requestFor(L"/_/slow?interval=20&chunk=1000"));
    ASSERT_TRUE(pumpUntil([&] { return deletedId != 0; }));
    EXPECT_EQ(manager.FindRequest(id), nullptr);
    ASSERT_TRUE(pumpUntil([&] { return idle(manager); })) << "the deleted request was never swept";
    EXPECT_EQ(eventsAfter(manager, id, deletedAt), 0u);
}

TEST(ManagerTest, RequestDeletedByACallbackThatRunsAModalLoopOutlivesTheCallback) {
    RecordingManager manager;
    bool done = false;
    size_t dyingDuringLoop = 0;
    // As a callback showing a message box would: delete, then dispatch messages for a while.
    manager.onEvent = [&](const Event& event, FCHttpRequest& request) {
        if (event.kind != Event::Data || done) return;
        done = true;
        manager.DeleteRequest(event.id);
        pumpUntil([&] { return request.ThreadsEnded(); }, 5000);
        pumpUntil([] { return false; }, 300);  // several sweep ticks
        dyingDuringLoop = manager.DyingCount();
        EXPECT_GT(request.GetReceivedByteCount(), 0);
    };
    manager.AddRequest(requestFor(L"/_/slow?interval=20&chunk=1000"));
    ASSERT_TRUE(pumpUntil([&] { return done; }));
    EXPECT_EQ(dyingDuringLoop, 1u);
    EXPECT_TRUE(pumpUntil([&] { return idle(manager); }));
}

TEST(ManagerTest, SweepTimerKillsItselfOnTheFirstTickAfterBothListsAreEmpty) {
    RecordingManager manager;
    manager.AddRequest(requestFor(L"/_/bytes/1000"));
    ASSERT_TRUE(pumpUntil([&] { return idle(manager); }));
    // Count ticks of timer 30 as they are dispatched; the first one kills it.
    int ticks = 0;
    const DWORD start = ::GetTickCount();
    while (ticks == 0 && ::GetTickCount() - start < 5000) {
        MSG message;
        if (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            if (message.message == WM_TIMER && message.hwnd == manager.GetEventWindow() &&
                message.wParam == FCHttpRequestManager::sweepTimerId) {
                ++ticks;
            }
            ::DispatchMessageW(&message);
        } else {
            ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 50, QS_ALLINPUT);
        }
    }
    ASSERT_EQ(ticks, 1);
    EXPECT_FALSE(::KillTimer(manager.GetEventWindow(), FCHttpRequestManager::sweepTimerId))
        << "timer 30 was still armed";
}

TEST(ManagerTest, TimeoutCallsOnRequestTimeoutThenDeletesTheRequest) {
    RecordingManager manager;
    // An endless body (a full read every ~180 ms): only the time-out ends it.
    RequestHeader header = requestFor(L"/_/slow?interval=20&chunk=1000");
    header.timeoutMs = 300;
    const DWORD start = ::GetTickCount();
    const int id = manager.AddRequest(header);
    ASSERT_TRUE(pumpUntil([&] { return manager.FindRequest(id) == nullptr; }));
    EXPECT_GE(::GetTickCount() - start, 250u);
    ASSERT_TRUE(pumpUntil([&] { return idle(manager); }, 10000));
    const auto events = manager.EventsOf(id);
    ASSERT_FALSE(events.empty());
    EXPECT_EQ(events.front().kind, Event::Headers);
    EXPECT_EQ(events.back().kind, Event::Timeout);
    EXPECT_FALSE(manager.Finished(id));
}

TEST(ManagerTest, ExceptionFromACallbackStaysInsideAndTheRequestStillEnds) {
    RecordingManager manager;
    manager.onEvent = [](const Event&, FCHttpRequest&) { throw std::runtime_error("callback failure"); };
    const int id = manager.AddRequest(requestFor(L"/_/bytes/20000"));
    ASSERT_TRUE(pumpUntil([&] { return idle(manager); }));
    EXPECT_TRUE(manager.Finished(id));
    EXPECT_EQ(manager.bodies[id].size(), 20000u);
}

TEST(ManagerTest, RequestsAddedFromASecondThreadRunTheirCallbacksAndTimersOnTheWindowThread) {
    RecordingManager manager;
    const int count = 12;
    std::vector<int> ids(count, 0);
    int timedOut = 0;
    {
        Worker worker([&] {
            for (int i = 0; i < count; ++i) ids[i] = manager.AddRequest(requestFor(L"/_/bytes/" + std::to_wstring(3000 * (i + 1))));
            RequestHeader header = requestFor(L"/_/slow?interval=20&chunk=1000");
            header.timeoutMs = 200;
            timedOut = manager.AddRequest(header);
        });
        // The window thread dispatches while the worker adds.
        ASSERT_TRUE(pumpUntil([&] { return worker.Done() && idle(manager); }, 30000));
    }
    std::set<int> distinct(ids.begin(), ids.end());
    distinct.insert(timedOut);
    EXPECT_EQ(distinct.size(), static_cast<size_t>(count + 1));
    EXPECT_EQ(*distinct.begin(), 100);
    EXPECT_EQ(*distinct.rbegin(), 100 + count);
    for (int i = 0; i < count; ++i) {
        EXPECT_TRUE(manager.Finished(ids[i])) << ids[i];
        EXPECT_EQ(manager.bodies[ids[i]].size(), static_cast<size_t>(3000 * (i + 1)));
    }
    const auto timeoutEvents = manager.EventsOf(timedOut);
    ASSERT_FALSE(timeoutEvents.empty());
    EXPECT_EQ(timeoutEvents.back().kind, Event::Timeout);
    for (const Event& event : manager.events) EXPECT_EQ(event.threadId, ::GetCurrentThreadId());
}

TEST(ManagerTest, DeleteFromASecondThreadStopsTheRequestAndItIsSwept) {
    RecordingManager manager;
    const int id = manager.AddRequest(requestFor(L"/_/slow?interval=20&chunk=1000"));
    ASSERT_TRUE(pumpUntil([&] { return manager.DataBytes(id) > 0; }));
    {
        Worker worker([&] { manager.DeleteRequest(id); });
        worker.Join();
    }
    EXPECT_EQ(manager.FindRequest(id), nullptr);
    const size_t mark = manager.events.size();
    ASSERT_TRUE(pumpUntil([&] { return idle(manager); }, 10000));
    EXPECT_EQ(eventsAfter(manager, id, mark), 0u);
}

TEST(ShutdownTest, DestroyingTheManagerStopsATransferringRequestWithoutWaitingOut3000Ms) {
    auto manager = std::make_unique<RecordingManager>();
    const int id = manager->AddRequest(requestFor(L"/_/slow?interval=20&chunk=1000"));
    ASSERT_TRUE(pumpUntil([&] { return manager->DataBytes(id) > 0; }));
    const DWORD start = ::GetTickCount();
    manager.reset();
    EXPECT_LT(::GetTickCount() - start, 2500u);
}

// Wine's WinINet keeps a send that waits for response headers blocked even
// after its handle is closed; shutdown then has to end the thread itself.
TEST(ShutdownTest, RequestDeletedWhileItsServerNeverAnswersIsKeptUntilShutdownEndsItsThread) {
    auto manager = std::make_unique<RecordingManager>();
    const int id = manager->AddRequest(requestFor(L"/_/hang?tag=shutdown"));
    ASSERT_TRUE(pumpUntil([&] { return !httptest::seenRequests(L"/_/hang?tag=shutdown").empty(); }));
    manager->DeleteRequest(id);
    // A few sweeps pass; the request may only be destroyed once its thread has ended.
    pumpUntil([] { return false; }, 400);
    if (manager->DyingCount() == 1) {
        const DWORD start = ::GetTickCount();
        manager.reset();
        const DWORD elapsed = ::GetTickCount() - start;
        EXPECT_GE(elapsed, 2900u);
        EXPECT_LT(elapsed, 6000u);
    } else {
        EXPECT_EQ(manager->DyingCount(), 0u);  // this WinINet woke the send when its handle closed
    }
    EXPECT_TRUE(manager == nullptr || manager->EventsOf(id).empty());
    // WinINet still serves new requests after a thread was ended inside it.
    RecordingManager next;
    const int again = next.AddRequest(requestFor(L"/_/bytes/1000"));
    EXPECT_TRUE(pumpUntil([&] { return next.Finished(again); }, 10000));
    EXPECT_EQ(next.bodies[again].size(), 1000u);
}

namespace {
size_t threadsOfThisProcess() {
    const HANDLE snapshot = ::CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
    size_t count = 0;
    THREADENTRY32 entry = {};
    entry.dwSize = sizeof(entry);
    for (BOOL more = ::Thread32First(snapshot, &entry); more; more = ::Thread32Next(snapshot, &entry)) {
        count += entry.th32OwnerProcessID == ::GetCurrentProcessId();
    }
    ::CloseHandle(snapshot);
    return count;
}

// Open kernel handles of this process, found by asking after every handle value
// (GetProcessHandleCount is not there on every system this runs on).
size_t handlesOfThisProcess() {
    size_t count = 0;
    for (ULONG_PTR value = 4; value < 0x10000; value += 4) {
        DWORD flags = 0;
        count += ::GetHandleInformation(reinterpret_cast<HANDLE>(value), &flags) != FALSE;
    }
    return count;
}
}  // namespace

TEST(ManagerTest, FaultyRequestsLeaveNoThreadOrHandleBehindOnceSwept) {
    RecordingManager manager;
    manager.AddRequest(requestFor(L"/_/bytes/1000"));  // warms WinINet up
    ASSERT_TRUE(pumpUntil([&] { return idle(manager); }));
    const size_t threadsBefore = threadsOfThisProcess();
    const size_t handlesBefore = handlesOfThisProcess();
    for (int round = 0; round < 3; ++round) {
        for (const wchar_t* path : {L"/_/bytes/50000", L"/_/bytes/50000?cut=20000", L"/_/bytes/1000?length=5000",
                                    L"/_/status/500", L"/_/headers?kb=100", L"/_/bytes/3000?nolength=1"}) {
            manager.AddRequest(requestFor(path));
        }
        const int slow = manager.AddRequest(requestFor(L"/_/slow?interval=20&chunk=1000"));
        ASSERT_TRUE(pumpUntil([&] { return manager.DataBytes(slow) > 0; }));
        manager.DeleteRequest(slow);
        ASSERT_TRUE(pumpUntil([&] { return idle(manager); }));
    }
    // WinINet may keep pooled connections open for a while; none of ours may stay.
    EXPECT_TRUE(pumpUntil([&] { return threadsOfThisProcess() <= threadsBefore; }, 5000))
        << threadsOfThisProcess() << " threads, " << threadsBefore << " before";
    const size_t handlesAfter = handlesOfThisProcess();
    // A leak would show as dozens: 21 requests with two threads and an event each.
    EXPECT_LE(handlesAfter, handlesBefore + 4) << "handles before " << handlesBefore << ", after " << handlesAfter;
}
