#pragma once
// The one process-wide pipeline object. This first cut holds what the shell
// needs; the download pipeline fills in the rest.
#include <windows.h>

#include <string>

#include "base/unique_any.h"

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
};

// Hand-over words between the main thread and the worker: written with an
// interlocked exchange, read atomically.
extern volatile LONG nextTask;
extern volatile LONG stopFlag;
extern volatile LONG cancelFlag;

// Manual-reset event created with the progress window; set by the worker when it starts.
extern base::unique_handle workerStartedEvent;

class CBootstrapper {
public:
    CBootstrapper();
    virtual ~CBootstrapper();

    // Main thread, from the progress window: remembers the window and creates
    // the download folder. May throw windows_error.
    void InitializeDownloadFolder(BOOL processElevated, bool laterThanVersion5, HWND window);

    // Main thread, on WM_START_PIPELINE. May throw windows_error.
    void StartPipeline();

    static bool DeleteDirectoryTree(const std::wstring& folder);

    HWND notifyWindow = nullptr;
    base::unique_handle workerDoneEvent;
    std::wstring downloadFolder;
    std::wstring errorText;
    bool downloadFolderCreated = false;
    LONG processElevated = 0;
    bool laterThanVersion5 = false;
};

CBootstrapper& bootstrapper();
