#include "app/exit_code.h"

#include <gtest/gtest.h>

#include "bootstrap/bootstrapper.h"

namespace {

RunEnd installed(LONG outcome, bool restart = false) {
    RunEnd end;
    end.reachedExit = true;
    end.outcome = outcome;
    end.restartRequired = restart;
    return end;
}

RunEnd failed(DWORD installerResult) {
    RunEnd end;
    end.failureReported = true;
    end.installerResult = installerResult;
    return end;
}

}  // namespace

TEST(UnattendedExitCode, SuccessesAreZeroOr3010) {
    EXPECT_EQ(0u, unattendedExitCode(installed(Installed)));
    EXPECT_EQ(3010u, unattendedExitCode(installed(Installed, true)));
    EXPECT_EQ(0u, unattendedExitCode(installed(LaidOut)));
}

TEST(UnattendedExitCode, CancelsAre1602) {
    EXPECT_EQ(1602u, unattendedExitCode(installed(CancelledByModule)));
    RunEnd closed;
    closed.cancelled = true;
    EXPECT_EQ(1602u, unattendedExitCode(closed));
    RunEnd cancelledInstaller;  // msiexec's 1602 ends the run without a text
    cancelledInstaller.installerResult = 1602;
    EXPECT_EQ(1602u, unattendedExitCode(cancelledInstaller));
}

TEST(UnattendedExitCode, TheInstallersBusyAndPolicyCodesPassAndEverythingElseIs1603) {
    EXPECT_EQ(1618u, unattendedExitCode(failed(1618)));
    EXPECT_EQ(1625u, unattendedExitCode(failed(1625)));
    EXPECT_EQ(1603u, unattendedExitCode(failed(1620)));
    EXPECT_EQ(1603u, unattendedExitCode(failed(0))) << "a download failure";
    EXPECT_EQ(1603u, unattendedExitCode(RunEnd())) << "a run that never reached its end";
    RunEnd warned = installed(InstalledWithoutLoader, true);
    warned.failureReported = true;
    EXPECT_EQ(1603u, unattendedExitCode(warned)) << "installed, but the add-in cannot start";
}
