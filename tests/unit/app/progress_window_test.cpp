#include "app/progress_window.h"

#include <commctrl.h>
#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <thread>
#include <vector>

#include "app/dialog_template.h"
#include "app/resource_ids.h"
#include "app/shell.h"
#include "app/window_dpi.h"
#include "bootstrap/bootstrapper.h"
#include "bootstrap/pipeline_messages.h"
#include "product/settings.h"

namespace {

std::wstring className(HWND window) {
    wchar_t name[512] = {};
    ::GetClassNameW(window, name, 512);
    return name;
}

std::wstring itemText(HWND window, int id) {
    wchar_t text[256] = {};
    ::GetDlgItemTextW(window, id, text, 256);
    return text;
}

// True when a WM_QUIT is waiting in this thread's queue (removes it).
bool quitPosted() {
    MSG message;
    bool quit = false;
    while (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE))
        if (message.message == WM_QUIT) quit = true;
    return quit;
}

class ProgressWindow : public ::testing::Test {
protected:
    void SetUp() override {
        instance = ::GetModuleHandleW(nullptr);
        AppSettings& settings = appSettings();
        settings.windowClassName = L"AppTestsProgressWindow";
        settings.productName = L"Test Product";
        settings.showProgressWindow = L"true";
        registerWindowClass(instance);
        window = createProgressDialog(instance, settings.windowClassName);
        ASSERT_NE(window, nullptr);
        mainWindow = window;
        quitPosted();
        ::InterlockedExchange(&cancelFlag, 0);
    }
    void TearDown() override {
        mainWindow = nullptr;
        ::InterlockedExchange(&nextTask, Idle);
        // Destroying sends WM_DESTROY, whose stop sequence sets the cancel flag
        // and posts a quit: both are undone.
        if (window != nullptr) ::DestroyWindow(window);
        quitPosted();
        ::InterlockedExchange(&cancelFlag, 0);
    }
    HINSTANCE instance = nullptr;
    HWND window = nullptr;
};

}  // namespace

TEST_F(ProgressWindow, TemplateGivesOurClassAndBothControls) {
    EXPECT_EQ(className(window), L"AppTestsProgressWindow");
    EXPECT_EQ(className(::GetDlgItem(window, IDC_PROGRESS_BAR)), L"msctls_progress32");
    EXPECT_EQ(itemText(window, IDC_PROGRESS_TEXT), L"Progress Text");
    EXPECT_FALSE(::IsWindowVisible(window));  // shown only by createProgressWindow
}

TEST_F(ProgressWindow, TemplateTakesClassNamesOfAnyParity) {
    // An odd or even number of characters moves the items off their DWORD boundary.
    for (const std::wstring& name : {std::wstring(L"Odd"), std::wstring(L"Even"), std::wstring(99, L'w')}) {
        appSettings().windowClassName = name;
        registerWindowClass(instance);
        HWND other = createProgressDialog(instance, name);
        ASSERT_NE(other, nullptr) << "class of " << name.size() << " characters";
        EXPECT_EQ(className(other), name);
        EXPECT_EQ(itemText(other, IDC_PROGRESS_TEXT), L"Progress Text");
        EXPECT_NE(::GetDlgItem(other, IDC_PROGRESS_BAR), nullptr);
        ::DestroyWindow(other);
        quitPosted();
    }
}

TEST(DialogTemplate, MalformedTemplatesAreRefused) {
    const BYTE shortData[] = {1, 0, 0xFF};
    EXPECT_TRUE(dialogTemplateWithClass(shortData, sizeof(shortData), L"x").empty());
    const BYTE* data = nullptr;
    size_t size = 0;
    ASSERT_TRUE(findDialogTemplate(::GetModuleHandleW(nullptr), IDD_PROGRESS, data, size));
    EXPECT_FALSE(dialogTemplateWithClass(data, size, L"x").empty());
    for (size_t cut = 0; cut + 1 < size; cut += 7)
        EXPECT_TRUE(dialogTemplateWithClass(data, cut, L"x").empty()) << "cut at " << cut;
}

TEST_F(ProgressWindow, ByteCountShowsAsSizeText) {
    ::SendMessageW(window, WM_BYTES_RECEIVED, 1500, 0);
    EXPECT_EQ(itemText(window, IDC_PROGRESS_TEXT), L"1.50kB");
    ::SendMessageW(window, WM_BYTES_RECEIVED, 4294967295u, 0);
    EXPECT_EQ(itemText(window, IDC_PROGRESS_TEXT), L"4.29GB");
}

TEST_F(ProgressWindow, WorkerStartSetsDashUnlessWindowIsHidden) {
    appSettings().showProgressWindow = L"FALSE";
    ::SendMessageW(window, WM_WORKER_STARTED, 0, 0);
    EXPECT_EQ(itemText(window, IDC_PROGRESS_TEXT), L"Progress Text");
    appSettings().showProgressWindow = L"true";
    ::SendMessageW(window, WM_WORKER_STARTED, 0, 0);
    EXPECT_EQ(itemText(window, IDC_PROGRESS_TEXT), L"-");
}

TEST_F(ProgressWindow, InstallingHidesTheWindow) {
    ::ShowWindow(window, SW_SHOW);
    ::SendMessageW(window, WM_INSTALLING, 0, 0);
    EXPECT_FALSE(::IsWindowVisible(window));
}

TEST_F(ProgressWindow, FinishedEndsTheLoop) {
    ::SendMessageW(window, WM_PIPELINE_FINISHED, 0, 0);
    EXPECT_TRUE(quitPosted());
}

TEST_F(ProgressWindow, CloseIsRefusedWhileInstalling) {
    ::InterlockedExchange(&nextTask, RunMSI);
    ::SendMessageW(window, WM_CLOSE, 0, 0);
    EXPECT_FALSE(quitPosted());
    EXPECT_EQ(cancelFlag, 0);
}

TEST_F(ProgressWindow, TheCloseAndTheStartOfTheInstallationNeverBothWin) {
    workerStartedEvent.reset(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
    // The worker began installing before nextTask told the window so.
    ::InterlockedExchange(&nextTask, ProcessResponse);
    ASSERT_TRUE(beginInstallation());
    ::SendMessageW(window, WM_CLOSE, 0, 0);
    EXPECT_FALSE(quitPosted());
    EXPECT_EQ(cancelFlag, InstallationBegun);

    // The close came first: no installation begins.
    ::InterlockedExchange(&cancelFlag, RunOpen);
    ::SendMessageW(window, WM_CLOSE, 0, 0);
    EXPECT_TRUE(quitPosted());
    EXPECT_FALSE(beginInstallation());
    EXPECT_EQ(cancelFlag, RunCancelled);
}

// The window's close and the worker's start race on two threads, round after
// round: a read of the word followed by a separate write would let both win.
TEST_F(ProgressWindow, TheCloseAndTheStartOfTheInstallationNeverBothWinOnTwoThreads) {
    constexpr int rounds = 50000;
    std::vector<char> begun(rounds, 0);
    std::atomic<int> go{-1};
    std::atomic<int> arrived{0};
    std::atomic<int> done{-1};
    // Both threads leave this together: each arrives, then waits for the other.
    auto meet = [&arrived](int round) {
        arrived.fetch_add(1);
        while (arrived.load() < 2 * (round + 1)) {
        }
    };
    std::thread worker([&] {
        for (int round = 0; round < rounds; ++round) {
            while (go.load() != round) {
            }
            meet(round);
            begun[round] = beginInstallation();
            done.store(round);
        }
    });
    int closes = 0;
    int failures = 0;
    for (int round = 0; round < rounds; ++round) {
        ::InterlockedExchange(&cancelFlag, RunOpen);
        go.store(round);
        meet(round);
        const bool closed = requestClose();
        while (done.load() != round) {
        }
        closes += closed;
        if (closed == (begun[round] != 0) || readWord(cancelFlag) != (closed ? RunCancelled : InstallationBegun))
            ++failures;
    }
    worker.join();
    EXPECT_EQ(failures, 0) << "rounds in which both or neither won, of " << rounds << " (" << closes << " closes)";
}

TEST_F(ProgressWindow, CloseBeforeTheWorkerStartedEndsAtOnce) {
    workerStartedEvent.reset(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
    const DWORD start = ::GetTickCount();
    ::SendMessageW(window, WM_CLOSE, 0, 0);
    EXPECT_LT(::GetTickCount() - start, 5000u);
    EXPECT_EQ(cancelFlag, 1);
    EXPECT_TRUE(quitPosted());
}

TEST_F(ProgressWindow, CloseWaitsForARunningWorker) {
    workerStartedEvent.reset(::CreateEventW(nullptr, TRUE, TRUE, nullptr));
    HANDLE done = bootstrapper().workerDoneEvent.get();
    ASSERT_NE(done, nullptr);
    ::ResetEvent(done);
    std::atomic<bool> workerEnded{false};
    std::thread worker([&] {
        // Ends only once asked to, like the real worker.
        while (::InterlockedCompareExchange(&cancelFlag, 0, 0) == 0) ::Sleep(10);
        workerEnded = true;
        ::SetEvent(done);
    });
    ::SendMessageW(window, WM_CLOSE, 0, 0);
    EXPECT_TRUE(workerEnded);
    EXPECT_TRUE(quitPosted());
    worker.join();
    ::ResetEvent(done);
    workerStartedEvent.reset();
}

namespace {

struct BoxSeen {
    std::wstring caption, text;
    HWND owner = nullptr;
    bool found = false;
};

BOOL CALLBACK findBox(HWND candidate, LPARAM parameter) {
    DWORD process = 0;
    ::GetWindowThreadProcessId(candidate, &process);
    if (process != ::GetCurrentProcessId() || className(candidate) != L"#32770") return TRUE;
    auto* seen = reinterpret_cast<BoxSeen*>(parameter);
    wchar_t caption[256] = {}, text[1024] = {};
    ::GetWindowTextW(candidate, caption, 256);
    ::GetDlgItemTextW(candidate, 0xFFFF, text, 1024);
    seen->caption = caption;
    seen->text = text;
    seen->owner = ::GetWindow(candidate, GW_OWNER);
    seen->found = true;
    ::PostMessageW(candidate, WM_COMMAND, IDOK, 0);
    return FALSE;
}

// Answers the first message box of this process, polling up to 10 s.
BoxSeen answerBox() {
    BoxSeen seen;
    for (int i = 0; i < 1000 && !seen.found; ++i) {
        ::EnumWindows(findBox, reinterpret_cast<LPARAM>(&seen));
        if (!seen.found) ::Sleep(10);
    }
    return seen;
}

wchar_t* heapCopy(const wchar_t* text) {
    const size_t size = (std::wcslen(text) + 1) * sizeof(wchar_t);
    auto* copy = static_cast<wchar_t*>(std::malloc(size));
    std::memcpy(copy, text, size);
    return copy;
}

}  // namespace

TEST_F(ProgressWindow, PipelineFailureShowsOneBoxOwnedByTheWindowAndEndsTheLoop) {
    BoxSeen seen;
    std::thread answerer([&] { seen = answerBox(); });
    ::SendMessageW(window, WM_PIPELINE_FAILED, reinterpret_cast<WPARAM>(heapCopy(L"Failed to read.")), ReadXML);
    answerer.join();
    ASSERT_TRUE(seen.found);
    EXPECT_EQ(seen.text, L"Failed to read. Task name: ReadXML.");
    EXPECT_EQ(seen.caption, L"Test Product");
    EXPECT_EQ(seen.owner, window);
    EXPECT_TRUE(quitPosted());
}

TEST_F(ProgressWindow, AFailurePostedJustBeforeTheCloseShowsNoBox) {
    ::InterlockedExchange(&cancelFlag, RunCancelled);
    std::atomic<bool> handled{false};
    BoxSeen seen;
    std::thread answerer([&] {
        while (!handled && !seen.found) {
            ::EnumWindows(findBox, reinterpret_cast<LPARAM>(&seen));
            ::Sleep(10);
        }
    });
    ::SendMessageW(window, WM_PIPELINE_FAILED, reinterpret_cast<WPARAM>(heapCopy(L"404 error: Not Found: x.")),
                   DownloadVersionInfo);
    handled = true;
    answerer.join();
    EXPECT_FALSE(seen.found);
    EXPECT_TRUE(quitPosted());
}

TEST_F(ProgressWindow, PipelineFailureWithoutTextNamesTheTask) {
    BoxSeen seen;
    std::thread answerer([&] { seen = answerBox(); });
    ::SendMessageW(window, WM_PIPELINE_FAILED, 0, 77);
    answerer.join();
    ASSERT_TRUE(seen.found);
    EXPECT_EQ(seen.text, L"Download failed (unknown error). Task name: .");
}

namespace {

RECT clientRectOf(HWND window, int id) {
    RECT box = {};
    HWND item = ::GetDlgItem(window, id);
    ::GetWindowRect(item, &box);
    ::MapWindowPoints(nullptr, window, reinterpret_cast<POINT*>(&box), 2);
    return box;
}

LONG fontHeight(HWND window, int id) {
    LOGFONTW face = {};
    HFONT font = reinterpret_cast<HFONT>(::SendDlgItemMessageW(window, id, WM_GETFONT, 0, 0));
    return font != nullptr && ::GetObjectW(font, sizeof(face), &face) == sizeof(face) ? face.lfHeight : 0;
}

void expectScaled(const RECT& from, const RECT& to, int factor, int divisor) {
    EXPECT_NEAR(to.left, from.left * factor / divisor, 1);
    EXPECT_NEAR(to.top, from.top * factor / divisor, 1);
    EXPECT_NEAR(to.right - to.left, (from.right - from.left) * factor / divisor, 1);
    EXPECT_NEAR(to.bottom - to.top, (from.bottom - from.top) * factor / divisor, 1);
}

}  // namespace

TEST_F(ProgressWindow, MovingToAMonitorOfDoubleDpiAndBackRescalesFrameControlsAndFont) {
    HDC screen = ::GetDC(nullptr);
    const UINT dpi = static_cast<UINT>(::GetDeviceCaps(screen, LOGPIXELSY));
    ::ReleaseDC(nullptr, screen);
    RECT frame = {};
    ::GetWindowRect(window, &frame);
    const RECT bar = clientRectOf(window, IDC_PROGRESS_BAR), text = clientRectOf(window, IDC_PROGRESS_TEXT);
    const LONG height = fontHeight(window, IDC_PROGRESS_TEXT);
    ASSERT_NE(height, 0);

    RECT suggested = {100, 50, 100 + 2 * (frame.right - frame.left), 50 + 2 * (frame.bottom - frame.top)};
    ::SendMessageW(window, WM_DPICHANGED, MAKEWPARAM(2 * dpi, 2 * dpi), reinterpret_cast<LPARAM>(&suggested));
    RECT moved = {};
    ::GetWindowRect(window, &moved);
    EXPECT_TRUE(::EqualRect(&moved, &suggested)) << "the frame takes the system's suggestion";
    expectScaled(bar, clientRectOf(window, IDC_PROGRESS_BAR), 2, 1);
    expectScaled(text, clientRectOf(window, IDC_PROGRESS_TEXT), 2, 1);
    EXPECT_EQ(fontHeight(window, IDC_PROGRESS_TEXT), 2 * height);

    ::SendMessageW(window, WM_DPICHANGED, MAKEWPARAM(dpi, dpi), reinterpret_cast<LPARAM>(&frame));
    expectScaled(bar, clientRectOf(window, IDC_PROGRESS_BAR), 1, 1);
    EXPECT_EQ(fontHeight(window, IDC_PROGRESS_TEXT), height) << "the font of the first rescale was replaced";
}
