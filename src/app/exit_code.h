#pragma once
// The process exit code under /quiet, from how the run ended. Without /quiet
// the exit code is always 0.
#include <windows.h>

#include "bootstrap/bootstrapper.h"

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
inline DWORD unattendedExitCode(const RunEnd& end) {
    if (end.cancelled) return ERROR_INSTALL_USEREXIT;
    if (!end.failureReported && end.reachedExit) {
        // A layout installs nothing, so it never asks for a restart.
        if (end.outcome == Installed || end.outcome == LaidOut)
            return end.restartRequired ? ERROR_SUCCESS_REBOOT_REQUIRED : 0;
        if (end.outcome == CancelledByModule) return ERROR_INSTALL_USEREXIT;
    }
    // The installer's own word where an admin can act on it; anything else is a failure.
    switch (end.installerResult) {
        case ERROR_INSTALL_USEREXIT:
        case ERROR_INSTALL_ALREADY_RUNNING:
        case ERROR_INSTALL_PACKAGE_REJECTED:
            return end.installerResult;
    }
    return ERROR_INSTALL_FAILURE;
}
