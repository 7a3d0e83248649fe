#include "app/exit_code.h"

#include "bootstrap/bootstrapper.h"

DWORD unattendedExitCode(const RunEnd& end) {
    if (end.cancelled) return ERROR_INSTALL_USEREXIT;
    if (!end.failureReported && end.reachedExit) {
        if (end.outcome == Installed) return end.restartRequired ? ERROR_SUCCESS_REBOOT_REQUIRED : 0;
        if (end.outcome == LaidOut) return 0;
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
