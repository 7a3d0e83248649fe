#include "install/process_list.h"

#include <gtest/gtest.h>

namespace {

ProcessEntry entry(const wchar_t* name, DWORD pid, DWORD session, bool known = true) {
    ProcessEntry process;
    process.exeFile = name;
    process.processId = pid;
    process.sessionId = session;
    process.sessionKnown = known;
    return process;
}

}  // namespace

// A terminal server: user A in session 1, this user in session 2.
TEST(HasProcessInSession, OnlyProcessesOfTheGivenSessionCountWhereverTheyStandInTheList) {
    const DWORD own = 2;
    const std::vector<ProcessEntry> both = {entry(L"POWERPNT.EXE", 100, 1), entry(L"explorer.exe", 200, 2),
                                            entry(L"powerpnt.exe", 300, 2)};
    EXPECT_TRUE(HasProcessInSession(both, L"powerpnt.exe", &own)) << "another user's copy hid ours";

    const std::vector<ProcessEntry> othersOnly = {entry(L"POWERPNT.EXE", 100, 1), entry(L"POWERPNT.EXE", 101, 3),
                                                  entry(L"POWERPNT.EXE", 102, 2, false)};
    EXPECT_FALSE(HasProcessInSession(othersOnly, L"powerpnt.exe", &own)) << "another user's copy counted as ours";
    EXPECT_TRUE(HasProcessInSession(othersOnly, L"powerpnt.exe", nullptr)) << "without a session any copy counts";
    EXPECT_FALSE(HasProcessInSession(both, L"EXCEL.EXE", nullptr));
}
