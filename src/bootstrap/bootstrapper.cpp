#include "bootstrap/bootstrapper.h"

volatile LONG nextTask = 0;
volatile LONG stopFlag = 0;
volatile LONG cancelFlag = 0;
base::unique_handle workerStartedEvent;

CBootstrapper::CBootstrapper() : workerDoneEvent(::CreateEventW(nullptr, TRUE, FALSE, nullptr)) {}

CBootstrapper::~CBootstrapper() = default;

void CBootstrapper::InitializeDownloadFolder(BOOL elevated, bool laterThan5, HWND window) {
    processElevated = elevated;
    laterThanVersion5 = laterThan5;
    notifyWindow = window;
}

void CBootstrapper::StartPipeline() {}

bool CBootstrapper::DeleteDirectoryTree(const std::wstring&) { return true; }

CBootstrapper& bootstrapper() {
    static CBootstrapper instance;
    return instance;
}
