#include "app/progress_window.h"

#include <commctrl.h>

#include <cstdlib>
#include <exception>
#include <vector>

#include "app/dialog_template.h"
#include "app/errors.h"
#include "app/resource_ids.h"
#include "app/shell.h"
#include "app/window_dpi.h"
#include "app/window_texts.h"
#include "bootstrap/bootstrapper.h"
#include "bootstrap/pipeline_messages.h"
#include "bootstrap/release_layout.h"
#include "diagnostics/diagnostic_log.h"
#include "http/http_request.h"
#include "install/installation.h"
#include "product/settings.h"

namespace {

std::exception_ptr windowFailure;

void endLoopWithFailure(std::exception_ptr failure) {
    if (!windowFailure) windowFailure = failure;
    ::PostQuitMessage(0);
}

// Waits for the worker's end while still answering messages sent from other
// threads (HTTP notifications, a box owned by this window), which could
// otherwise never be delivered to a thread blocked here.
void waitForWorker(DWORD timeout) {
    HANDLE done = bootstrapper().workerDoneEvent.get();
    if (done == nullptr) return;
    const DWORD start = ::GetTickCount();
    for (;;) {
        const DWORD elapsed = ::GetTickCount() - start;
        if (elapsed >= timeout) return;
        const DWORD result = ::MsgWaitForMultipleObjects(1, &done, FALSE, timeout - elapsed, QS_SENDMESSAGE);
        if (result != WAIT_OBJECT_0 + 1) return;  // done, timed out or failed
        MSG message;
        ::PeekMessageW(&message, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
    }
}

bool workerHasStarted() {
    HANDLE started = workerStartedEvent.get();
    return started != nullptr && ::WaitForSingleObject(started, 0) == WAIT_OBJECT_0;
}

// After the run was cancelled (requestClose, which also wakes the worker).
void stopSequence() {
    diagnostics::log(L"outcome: the window was closed; the run stops");
    // A worker that never started never sets its done event: nothing to wait for.
    if (workerHasStarted()) waitForWorker(60000);
    ::PostQuitMessage(0);
}

INT_PTR CALLBACK aboutProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
    switch (message) {
    case WM_INITDIALOG:
        return TRUE;
    case WM_COMMAND:
        if (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL) {
            ::EndDialog(dialog, LOWORD(wParam));
            return TRUE;
        }
        break;
    }
    return FALSE;
}

// The log's last word on a run that ended without a failure text.
const wchar_t* finishedOutcomeText(LONG lastTask, LONG installationOutcome) {
    // Past an installation sequence that let the run end normally the worker moved on to Exit.
    if (lastTask != Exit)
        return L"outcome: not installed, no box: the installer showed its own message, "
               L"or the installation was cancelled";
    if (installationOutcome == CancelledByModule)
        return L"outcome: cancelled by the custom-action module, nothing installed, no box";
    if (installationOutcome == LaidOut) return L"outcome: laid out";
    return L"outcome: success";
}

// The worker has ended without a failure text.
void reportFinishedRun() {
    const LONG lastTask = readWord(nextTask);
    const LONG outcome = readWord(bootstrapper().installationOutcome);
    const bool restart = bootstrapper().restartRequired;
    // Installed, yet the add-in cannot start: the one case of a normal end the user must hear of.
    if (lastTask == Exit && outcome == InstalledWithoutLoader)
        showWarningBox(L"installed without its add-in loader", loaderNotFoundText);
    else if (lastTask == Exit && outcome == Installed && restart)
        showInformationBox(L"success, restart required", restartRequiredText);
    else
        diagnostics::log(finishedOutcomeText(lastTask, outcome));
    ::PostQuitMessage(0);
}

void showPipelineFailure(WPARAM wParam, LPARAM lParam) {
    wchar_t* text = reinterpret_cast<wchar_t*>(wParam);
    if (runCancelled()) {
        // Posted just before the user closed the window: a close shows nothing.
        std::free(text);
        ::PostQuitMessage(0);
        return;
    }
    std::wstring message;
    try {
        message = pipelineFailureText(text, static_cast<long>(lParam));
    } catch (...) {
        message = L"Unknown error.";
    }
    std::free(text);
    showErrorBox(message);
    ::PostQuitMessage(0);
}

LRESULT handleMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_CREATE:
        return 0;
    case WM_CLOSE:
        // No closing during the installation: once it is handed over (nextTask),
        // and once the worker has begun it, which requestClose settles atomically.
        if (readWord(nextTask) == RunMSI || !requestClose()) return 0;
        stopSequence();
        return 0;
    case WM_DESTROY:
        requestClose();  // refused during the installation: then the wait lets it end
        stopSequence();
        return 0;
    case WM_COMMAND:
        if (LOWORD(wParam) == IDM_ABOUT) {
            ::DialogBoxParamW(instanceHandle, MAKEINTRESOURCEW(IDD_ABOUTBOX), window, aboutProc, 0);
            return 0;
        }
        break;
    case WM_PIPELINE_FINISHED:
        reportFinishedRun();
        return 0;
    case WM_START_PIPELINE:
        bootstrapper().StartPipeline();
        return 0;
    case WM_WORKER_STARTED:
        if (appSettings().progressWindowVisible()) {
            ::SendDlgItemMessageW(window, IDC_PROGRESS_BAR, PBM_SETMARQUEE, TRUE, 0);
            ::SetDlgItemTextW(window, IDC_PROGRESS_TEXT, L"-");
            ::UpdateWindow(window);
        }
        return 0;
    case WM_BYTES_RECEIVED:
        ::SetDlgItemTextW(window, IDC_PROGRESS_TEXT, sizeText(static_cast<uint32_t>(wParam)).c_str());
        return 0;
    case WM_PIPELINE_FAILED:
        showPipelineFailure(wParam, lParam);
        return 0;
    case WM_DPICHANGED:
        rescaleForDpi(window, HIWORD(wParam), *reinterpret_cast<const RECT*>(lParam));
        return 0;
    case WM_INSTALLING:
        if (mainWindow != nullptr && ::IsWindowVisible(mainWindow)) ::ShowWindow(mainWindow, SW_HIDE);
        return 0;
    }
    return ::DefWindowProcW(window, message, wParam, lParam);
}

}  // namespace

LRESULT CALLBACK progressWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    try {
        return handleMessage(window, message, wParam, lParam);
    } catch (...) {
        endLoopWithFailure(std::current_exception());
        return 0;
    }
}

void rethrowWindowFailure() {
    if (!windowFailure) return;
    std::exception_ptr failure = windowFailure;
    windowFailure = nullptr;
    std::rethrow_exception(failure);
}

void registerWindowClass(HINSTANCE instance) {
    WNDCLASSEXW windowClass = {};
    windowClass.cbSize = sizeof(windowClass);
    windowClass.style = CS_HREDRAW | CS_VREDRAW | CS_DROPSHADOW;
    windowClass.lpfnWndProc = progressWindowProc;
    windowClass.cbWndExtra = DLGWINDOWEXTRA;
    windowClass.hInstance = instance;
    windowClass.hIcon = ::LoadIconW(instance, MAKEINTRESOURCEW(IDI_BOOTSTRAPPER));
    windowClass.hIconSm = ::LoadIconW(instance, MAKEINTRESOURCEW(IDI_SMALL));
    windowClass.hCursor = ::LoadCursorW(nullptr, MAKEINTRESOURCEW(32512) /* IDC_ARROW */);
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    windowClass.lpszClassName = appSettings().windowClassName.c_str();
    ::RegisterClassExW(&windowClass);  // best effort: creation reports a missing class
}

HWND createProgressDialog(HINSTANCE instance, const std::wstring& className) {
    const BYTE* data = nullptr;
    size_t size = 0;
    if (!findDialogTemplate(instance, IDD_PROGRESS, data, size)) return nullptr;
    const std::vector<BYTE> patched = dialogTemplateWithClass(data, size, className);
    HWND window = patched.empty()
                      ? ::CreateDialogParamW(instance, MAKEINTRESOURCEW(IDD_PROGRESS), nullptr, nullptr, 0)
                      : ::CreateDialogIndirectParamW(instance, reinterpret_cast<const DLGTEMPLATE*>(patched.data()),
                                                     nullptr, nullptr, 0);
    if (window != nullptr) prepareDpiScaling(window);
    return window;
}

bool createProgressWindow(HINSTANCE instance, int showCommand, BOOL processElevated, bool laterThanVersion5) {
    instanceHandle = instance;
    workerStartedEvent.reset(::CreateEventW(nullptr, TRUE, FALSE, nullptr));

    const AppSettings& settings = appSettings();
    HWND window = createProgressDialog(instance, settings.windowClassName);
    if (window == nullptr) return false;

    ::SetWindowTextW(window, settings.windowTitle.c_str());
    mainWindow = window;
    // Proxy and certificate prompts belong to this window; under /quiet no one
    // is there to answer them, so none is shown.
    FCHttpRequest::SetDialogParent(settings.quiet ? nullptr : window);
    HWND bar = ::GetDlgItem(window, IDC_PROGRESS_BAR);
    if (bar != nullptr) ::SetWindowLongW(bar, GWL_STYLE, ::GetWindowLongW(bar, GWL_STYLE) | PBS_MARQUEE);
    ::ShowWindow(window, settings.progressWindowVisible() && !settings.quiet ? showCommand : SW_HIDE);
    ::UpdateWindow(window);

    CBootstrapper& pipeline = bootstrapper();
    pipeline.installationSequence = settings.layoutFolder.empty() ? RunInstallation : WriteReleaseLayout;
    pipeline.InitializeDownloadFolder(processElevated, laterThanVersion5, window);
    ::PostMessageW(window, WM_START_PIPELINE, 0, 0);
    return true;
}
