#pragma once
// The process exit code under /quiet, from how the run ended. Without /quiet
// the exit code is always 0.
#include <windows.h>

struct RunEnd {
    bool failureReported = false;  // an error or warning reached the user (or, under /quiet, the log)
    bool cancelled = false;        // the window was closed
    bool reachedExit = false;      // the worker went past the installation sequence
    LONG outcome = 0;              // InstallationOutcome
    DWORD installerResult = 0;     // the last installer result that was not a success
    bool restartRequired = false;
};

// 0 installed (or laid out); 3010 installed, a restart is needed; 1602
// cancelled; 1618 another installation runs; 1625 refused by policy; 1603
// anything else.
DWORD unattendedExitCode(const RunEnd& end);
