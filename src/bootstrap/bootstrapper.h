#pragma once
// The one process-wide pipeline object: fetches version_info.xml, has it read,
// fetches every file of the release into the download folder and runs the
// installation, on one worker queued on the system thread pool.
//
// Threads:
// - Main thread (the one that first calls bootstrapper(), which owns the HTTP
//   event window): construction, InitializeDownloadFolder, StartPipeline, the
//   HTTP callbacks On*, destruction.
// - Worker (thread pool): RunWorker, every task step, CopyProgress (inside
//   CopyFileExW), the reader of version_info.xml and the installation.
// - Hand-over only through nextTask, stopFlag and cancelFlag (interlocked; each
//   store through the functions below also wakes the worker) and the events.
//   fetch and downloadDigest are written by OnRequestFinished before it stores
//   ProcessResponse or RetryFetch and read by the worker only after that; the
//   worker sets fetch up before it adds the fetch's request. errorText is
//   written through Fail by whichever side fails, under failureGate_, which
//   FinishRun closes before it reads the text: a callback that comes later (a
//   request outlives a close) finds the gate closed and writes nothing.
//   payloadLocks guards itself: the worker holds files, the exit clean-up may
//   release them.
#include <windows.h>
#include <msi.h>
#include <oaidl.h>

#include <string>

#include "base/sha256_digest.h"
#include "base/unique_any.h"
#include "bootstrap/payload_locks.h"
#include "http/body_sink.h"
#include "http/http_request_manager.h"
#include "product/installation_source.h"
#include "product/product_description.h"
#include "xml/xml_document.h"

enum TaskKind : LONG {
    Idle = 0,
    ProcessResponse = 1,
    DownloadVersionInfo = 2,
    DownloadFile = 3,
    ReadXML = 4,
    ParseXML = 5,
    SaveFile = 6,
    RunMSI = 7,
    Exit = 8,
    RetryFetch = 9,  // after a broken transfer, with tries left: pause, then ask again
};

// What an installation sequence that let the run end normally came to.
enum InstallationOutcome : LONG {
    NotInstalled = 0,
    Installed = 1,
    CancelledByModule = 2,  // DoInitialize or DoBeforeInstall set cancel: nothing was installed
    InstalledWithoutLoader = 3,  // installed, but no loader component is: the add-in will not start
    LaidOut = 4,  // /layout: the release and a copy of the program written to the layout folder
};

// "Idle" ... "Exit"; empty for a value outside the table.
const wchar_t* taskName(LONG kind);

// Hand-over words between the main thread and the worker: written with an
// interlocked exchange, read atomically (readWord).
extern volatile LONG nextTask;
extern volatile LONG stopFlag;
// One of CancelState. Closing the window and the worker's start of the
// installation each take the word from RunOpen with one compare-exchange, so
// exactly one of them wins.
extern volatile LONG cancelFlag;
enum CancelState : LONG {
    RunOpen = 0,            // the window may still be closed
    RunCancelled = 1,       // the user closed it: the worker ends, nothing more reaches the user
    InstallationBegun = 2,  // RunMSI is installing: closing is refused for the rest of the run
};

// Manual-reset event created with the progress window; set by the worker when it starts.
extern base::unique_handle workerStartedEvent;
// Auto-reset event set with every store below: the worker waits on it (at most
// 500 ms) instead of sleeping, so a handed-over task runs at once.
extern base::unique_handle workerWakeEvent;

// Computed by StartPipeline.
extern SourceKind installationSourceKind;
extern std::wstring versionInfoLocation;

LONG readWord(volatile LONG& word);
void storeNextTask(LONG task);
void raiseStopFlag();
// Main thread, when the window is closed (or the start is abandoned): cancels
// the run and wakes the worker. False when the installation has begun, which a
// close cannot stop.
bool requestClose();
// Worker, as RunMSI is about to install: false when the user closed first.
bool beginInstallation();
// The user closed the window.
bool runCancelled();

class CBootstrapper : public FCHttpRequestManager, public ProductDescription {
public:
    CBootstrapper();
    ~CBootstrapper() override;

    // Main thread, from the progress window: remembers the window and creates
    // the download folder (after purging earlier ones). May throw windows_error.
    void InitializeDownloadFolder(BOOL processElevated, bool laterThanVersion5, HWND window);

    // Main thread, on WM_START_PIPELINE: classifies the installation URL, queues
    // the worker and waits up to 5 s for it to start. Throws windows_error, or a
    // bare DWORD when the thread pool refuses the work item.
    void StartPipeline();
    void QueueWorker(const std::wstring& location);

    // Main thread, at the end: true when a queued worker has not signalled its
    // end within waitMs. It (or the installation it runs) still uses this
    // object, the download folder and the held files.
    bool WorkerStillRunning(DWORD waitMs);

    // The worker loop; runs on a thread-pool thread.
    void RunWorker();

    // Copy-progress routine for CopyFileExW; data is the bootstrapper.
    static DWORD CALLBACK CopyProgress(LARGE_INTEGER totalFileSize, LARGE_INTEGER totalBytesTransferred,
                                       LARGE_INTEGER streamSize, LARGE_INTEGER streamBytesTransferred,
                                       DWORD streamNumber, DWORD callbackReason, HANDLE sourceFile,
                                       HANDLE destinationFile, LPVOID data);

    void SetErrorText(const std::wstring& text);
    // A failure: the text, then stopFlag. Either thread; dropped once the worker
    // has made its report (FinishRun).
    void Fail(const std::wstring& text);

    // For the exit clean-up: lets go of the held release files, then deletes the folder.
    static bool DeleteDirectoryTree(const std::wstring& folder);

    // downloadFolder + "\version_info.xml".
    std::wstring storedVersionFile() const;

    HWND notifyWindow = nullptr;
    XmlDocument xmlDocument;
    base::unique_handle workerDoneEvent;
    SourceKind sourceKind = Unrecognized;
    std::wstring versionInfoSource;
    std::wstring downloadFolder;
    // Its SHA-256, computed as the bytes arrived (present when it was asked for).
    Sha256Digest downloadDigest;
    // The web fetch in progress: what it asks for, where its body goes and
    // how often it was tried. Every try continues the same sink.
    struct WebFetch {
        std::wstring url;
        long long maxBytes = -1;
        std::wstring tooLargeText;  // what it says when its body is longer than it may be
        std::wstring target;        // the release file's stored name; empty for version_info.xml
        SinkRef<BodySink> sink;
        SinkRef<FileSink> file;      // the stored version_info.xml or release file
        int tries = 0;                       // requests made, the first included
        DWORD progressBase = 0;              // bytesReceived when the fetch began
    };
    WebFetch fetch;
    int currentRequestId = 0;
    LONG currentTask = Idle;
    DWORD bytesReceived = 0;
    DWORD fileIndex = 0;
    std::wstring errorText;
    // The stored release files, held from their storing until the installation ends.
    PayloadLocks payloadLocks;
    bool downloadFolderCreated = false;
    LONG processElevated = 0;
    bool laterThanVersion5 = false;
    std::wstring moduleDirectory;  // this program's folder, with a trailing backslash

    // The installation the RunMSI task runs once every release file is stored:
    // set by the program before StartPipeline. True lets the run end normally;
    // false is a failure whose text (if any) is in errorText.
    using InstallationSequence = bool (*)(CBootstrapper& pipeline);
    InstallationSequence installationSequence = nullptr;

    // Installation sequence state.
    bool restartApplications = false;
    // One of InstallationOutcome: stored by the installation sequence on the
    // worker (interlocked) before the run reports its end; read by the window
    // once that report arrives, for what the log says and the user sees.
    volatile LONG installationOutcome = 0;
    // Written by the installation sequence on the worker before the run reports
    // its end; read by the window after that report. installerResult: the last
    // result of msiexec or of the installer's action that was not a success.
    DWORD installerResult = 0;
    // An installer step succeeded but asked for a restart of Windows (3010, 1641).
    bool restartRequired = false;
    std::wstring manifestFolder;
    MSIHANDLE installerHandle = 0;

    // Managed custom-action host state.
    std::wstring clrInstallRoot;
    std::wstring clrVersion;
    std::wstring runningClrVersion;
    VARIANT actionModule;
    DISPID disposeId = 0;
    DISPID setParentWindowHandleId = 0;
    DISPID doAfterInstallId = 0;
    DISPID doBeforeInstallId = 0;
    DISPID doBeforeUninstallId = 0;
    DISPID doInitializeId = 0;
    DISPID doInstallUIActionId = 0;

protected:
    void OnResponseHeaders(FCHttpRequest& request) override;
    void OnRequestFinished(FCHttpRequest& request) override;
    void OnDataReceived(FCHttpRequest& request, int byteCount) override;
    // Main thread: a broken fetch is tried again while downloadRetries allows,
    // else the run fails with `text`.
    void failOrRetry(FCHttpRequest& request, const std::wstring& text);

private:
    friend struct PipelineSteps;
    // True when the step wants the usual pause (up to 500 ms) before the next check.
    bool RunStep(LONG task);
    bool RunTask(LONG task);
    void FinishRun();
    // A failure that cannot throw (for the exception boundaries); keeps an earlier text.
    void failQuietly(const wchar_t* text) noexcept;
    // Main thread: a failure seen by an HTTP callback, unless the user closed the
    // window or the run has already failed or ended.
    void failFromCallback(const wchar_t* text) noexcept;
    void failFromCallback(const std::wstring& text) noexcept;
    // Main thread: the run no longer waits for any request.
    bool runOver();

    // Guards errorText: 0 open, 1 a writer holds it, 2 closed by FinishRun.
    volatile LONG failureGate_ = 0;
    friend class FailureGateHold;
    // Set once the worker is queued; main thread only.
    bool workerQueued_ = false;
    DWORD mainThreadId_ = 0;

    // Set when CopyProgress has run the completion step of the current copy.
    bool copyCompleted_ = false;
};

// Holds failureGate_ for one write of errorText; held() is false once the gate is closed.
class FailureGateHold {
public:
    explicit FailureGateHold(CBootstrapper& pipeline) noexcept;
    ~FailureGateHold();
    FailureGateHold(const FailureGateHold&) = delete;
    FailureGateHold& operator=(const FailureGateHold&) = delete;
    bool held() const { return held_; }

private:
    volatile LONG& gate_;
    bool held_ = false;
};

// The process-wide object; created on first use, which must be on the main thread.
CBootstrapper& bootstrapper();

// Reads xmlDocument into the bootstrapper's ProductDescription for the settings
// of this program. False with errorText set on failure.
bool readProductDescription(CBootstrapper& pipeline);
