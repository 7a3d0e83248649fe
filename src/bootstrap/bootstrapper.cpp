#include "bootstrap/bootstrapper.h"

#include <shlwapi.h>

#include "base/windows_error.h"
#include "bootstrap/folders.h"
#include "product/settings.h"

volatile LONG nextTask = 0;
volatile LONG stopFlag = 0;
volatile LONG cancelFlag = 0;
base::unique_handle workerStartedEvent;
base::unique_handle workerWakeEvent;
SourceKind installationSourceKind = Unrecognized;
std::wstring versionInfoLocation;

namespace {

const wchar_t* const taskNames[] = {L"Idle",     L"ProcessResponse", L"DownloadVersionInfo",
                                    L"DownloadFile", L"ReadXML",     L"ParseXML",
                                    L"SaveFile", L"RunMSI",          L"Exit",
                                    L"RetryFetch"};

void wakeWorker() {
    if (workerWakeEvent) ::SetEvent(workerWakeEvent.get());
}

// The program's own folder, canonical, with a trailing backslash.
std::wstring findModuleDirectory() {
    wchar_t path[MAX_PATH] = {};
    const DWORD length = ::GetModuleFileNameW(nullptr, path, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return std::wstring();
    *::PathFindFileNameW(path) = 0;
    wchar_t canonical[MAX_PATH] = {};
    std::wstring folder = ::PathCanonicalizeW(canonical, path) ? canonical : path;
    if (!folder.empty() && folder.back() != L'\\') folder += L'\\';
    return folder;
}

DWORD WINAPI workerEntry(void* context) {
    static_cast<CBootstrapper*>(context)->RunWorker();
    return 0;
}

}  // namespace

const wchar_t* taskName(LONG kind) {
    if (kind < 0 || kind > RetryFetch) return L"";
    return taskNames[kind];
}

LONG readWord(volatile LONG& word) { return ::InterlockedCompareExchange(&word, 0, 0); }

void storeNextTask(LONG task) {
    ::InterlockedExchange(&nextTask, task);
    wakeWorker();
}

void raiseStopFlag() {
    ::InterlockedExchange(&stopFlag, 1);
    wakeWorker();
}

bool requestClose() {
    if (::InterlockedCompareExchange(&cancelFlag, RunCancelled, RunOpen) == InstallationBegun) return false;
    wakeWorker();
    return true;
}

bool beginInstallation() {
    return ::InterlockedCompareExchange(&cancelFlag, InstallationBegun, RunOpen) == RunOpen;
}

bool runCancelled() { return readWord(cancelFlag) == RunCancelled; }

FailureGateHold::FailureGateHold(CBootstrapper& pipeline) noexcept : gate_(pipeline.failureGate_) {
    for (;;) {
        const LONG before = ::InterlockedCompareExchange(&gate_, 1, 0);
        if (before == 0) {
            held_ = true;
            return;
        }
        if (before == 2) return;
        ::SwitchToThread();  // the other side holds it for one assignment
    }
}

FailureGateHold::~FailureGateHold() {
    if (held_) ::InterlockedExchange(&gate_, 0);
}

CBootstrapper::CBootstrapper()
    : workerDoneEvent(::CreateEventW(nullptr, TRUE, FALSE, nullptr)), mainThreadId_(::GetCurrentThreadId()) {
    ::VariantInit(&actionModule);
    moduleDirectory = findModuleDirectory();
    if (!workerWakeEvent) workerWakeEvent.reset(::CreateEventW(nullptr, FALSE, FALSE, nullptr));
}

CBootstrapper::~CBootstrapper() {
    workerDoneEvent.reset();
    // actionModule is not released here: this runs at process exit, after the
    // shell's CoUninitialize, when calling into the managed object is no longer
    // safe. The installation sequence releases the module and the runtime itself.
}

void CBootstrapper::SetErrorText(const std::wstring& text) { errorText = text; }

void CBootstrapper::Fail(const std::wstring& text) {
    FailureGateHold hold(*this);
    if (!hold.held()) return;  // the worker has reported already; nobody would read it
    SetErrorText(text);
    raiseStopFlag();
}

bool CBootstrapper::DeleteDirectoryTree(const std::wstring& folder) {
    // The worker lets go when it ends; this covers a worker that did not end in time.
    bootstrapper().payloadLocks.releaseAll();
    return ::DeleteDirectoryTree(folder);
}

std::wstring CBootstrapper::storedVersionFile() const { return downloadFolder + L"\\" + versionFileName; }

void CBootstrapper::InitializeDownloadFolder(BOOL elevated, bool laterThan5, HWND window) {
    notifyWindow = window;
    processElevated = elevated;
    laterThanVersion5 = laterThan5;

    SYSTEMTIME now;
    ::GetLocalTime(&now);
    const std::wstring root = downloadRoot();
    const std::wstring& company = appSettings().companyName;
    const std::wstring folder = root + company + L"_" + downloadFolderStamp(now);
    downloadFolder = folder;

    PurgeOldFolders(root, company);
    if (::GetFileAttributesW(folder.c_str()) == INVALID_FILE_ATTRIBUTES && !CreateDirectoryChain(folder)) {
        const DWORD code = ::GetLastError();
        throw windows_error(L"Failed to create the temporary folder: '" + folder + L"'.", code);
    }
    downloadFolderCreated = true;
}

void CBootstrapper::StartPipeline() {
    const AppSettings& settings = appSettings();
    installationSourceKind = Unrecognized;
    const InstallationSource source = classifyInstallationUrl(settings.installationUrl, settings.exeDirectory);
    installationSourceKind = source.kind;
    versionInfoLocation = source.versionInfoLocation;
    if (source.kind == Unrecognized || source.kind == FtpAddress)
        throw windows_error(L"The 'Installation Url' parameter is not correctly formed.", 0);

    QueueWorker(versionInfoLocation);
    const DWORD wait = ::WaitForSingleObject(workerStartedEvent.get(), 5000);
    if (wait == WAIT_OBJECT_0) return;
    const DWORD code = ::GetLastError();
    // The run is given up: a worker that starts after all ends at once, quietly.
    requestClose();
    if (wait == WAIT_TIMEOUT)
        throw windows_error(L"Failed to start the downloader thread (the time-out interval elapsed).", code);
    throw windows_error(L"Failed to start the downloader thread.", code);
}

void CBootstrapper::QueueWorker(const std::wstring& location) {
    sourceKind = installationSourceKind;
    versionInfoSource = location;
    if (!::QueueUserWorkItem(workerEntry, this, WT_EXECUTELONGFUNCTION)) throw static_cast<DWORD>(::GetLastError());
    workerQueued_ = true;
}

bool CBootstrapper::WorkerStillRunning(DWORD waitMs) {
    if (!workerQueued_) return false;
    return !workerDoneEvent || ::WaitForSingleObject(workerDoneEvent.get(), waitMs) != WAIT_OBJECT_0;
}

CBootstrapper& bootstrapper() {
    static CBootstrapper instance;
    return instance;
}
