#include "install/running_hosts.h"

#include <gtest/gtest.h>

#include <thread>

#include "product/host_table.h"
#include "install_test_support.h"
#include "product/split_list.h"

using namespace installtest;

namespace {

const wchar_t head[] = L"You have the following applications running on your machine:\r\n";
const wchar_t tail[] =
    L"\r\n\r\nPlease close the above application(s) for the update process to complete.\r\n"
    L"Do you want the application(s) to start automatically after the update is installed?";

std::vector<std::wstring> names(int count) {
    std::vector<std::wstring> list;
    for (int i = 1; i <= count; ++i) list.push_back(L"Host " + std::to_wstring(i));
    return list;
}

std::wstring listed(int count) {
    std::wstring text;
    for (int i = 1; i <= count; ++i) text += (i > 1 ? L"\r\n  Host " : L"  Host ") + std::to_wstring(i);
    return text;
}

}  // namespace

TEST(RunningHostsMessage, TwoHostsAreListedEachOnItsLineAndThePlaceholdersAreCut) {
    EXPECT_EQ(BuildRunningHostsMessage({L"Microsoft PowerPoint", L"Microsoft Word"}),
              std::wstring(head) + L"  Microsoft PowerPoint\r\n  Microsoft Word" + tail);
}

TEST(RunningHostsMessage, ThirteenFillEverySlotAndAFourteenthIsNotShown) {
    EXPECT_EQ(BuildRunningHostsMessage(names(13)), std::wstring(head) + listed(13) + tail);
    EXPECT_EQ(BuildRunningHostsMessage(names(14)), BuildRunningHostsMessage(names(13)));
}

TEST(HostTable, KeysMatchWithoutCaseAndUnknownNamesAreIgnored) {
    ASSERT_NE(findHostApplication(L"POWERPOINT"), nullptr);
    EXPECT_STREQ(findHostApplication(L"PowerPoint")->executable, L"powerpnt.exe");
    EXPECT_STREQ(findHostApplication(L"PowerPoint")->displayName, L"Microsoft PowerPoint");
    EXPECT_EQ(findHostApplication(L"internetexplorer"), findHostApplication(L"Internet Explorer"));
    EXPECT_STREQ(findHostApplication(L"infopath")->typeLibraries[1], L"{FD34A370-115F-43CA-8D6F-BBD45FD6F828}");
    EXPECT_EQ(findHostApplication(L"onenote")->typeLibraries[0], nullptr);
    EXPECT_EQ(findHostApplication(L"notepad"), nullptr);
    EXPECT_EQ(findHostApplication(L" word"), nullptr) << "names are not trimmed";
}

TEST(SplitList, SkipsEmptyPieces) {
    EXPECT_EQ(splitList(L";Excel;;Word;", L';'), (std::vector<std::wstring>{L"Excel", L"Word"}));
    EXPECT_TRUE(splitList(L"", L';').empty());
}

// A stand-in Publisher runs in this session for the tests below.
class RunningHostTest : public ::testing::Test {
protected:
    void SetUp() override {
        copyFakeHost(host_);
        process_ = std::make_unique<ChildProcess>(host_);
        ASSERT_TRUE(process_->started());
    }

    TempFolder folder_;
    std::wstring host_ = folder_ / L"Office Files\\MSPUB.EXE";
    std::unique_ptr<ChildProcess> process_;
};

TEST_F(RunningHostTest, NothingIsCheckedWithoutHostsWithoutTheWarningOrOnAFirstInstallation) {
    RunningHostsCheck check;
    check.hostApplication = L"Publisher";
    check.previousVersionFound = true;
    check.pauseMs = 0;
    for (int variant = 0; variant < 3; ++variant) {
        RunningHostsCheck c = check;
        if (variant == 0) c.hostApplication.clear();
        if (variant == 1) c.showRunningApplicationsWarning = false;
        if (variant == 2) c.previousVersionFound = false;
        HostPaths paths;
        bool restart = false;
        CheckRunningHosts(c, paths, restart);  // would block while Publisher runs
        EXPECT_TRUE(paths.empty()) << variant;
        EXPECT_FALSE(restart);
    }
}

TEST_F(RunningHostTest, AsksOnceWaitsUntilTheHostIsClosedAndRecordsOnlyTheRunningHost) {
    RunningHostsCheck check;
    check.hostApplication = L"Excel;Publisher;NoSuchHost;publisher";
    check.previousVersionFound = true;
    check.caption = L"Running hosts test";
    check.pauseMs = 50;
    HostPaths paths;
    bool restart = false;
    bool finished = false;
    std::thread worker([&] {
        CheckRunningHosts(check, paths, restart);
        finished = true;
    });

    HWND box = nullptr;
    ASSERT_TRUE(waitFor([&] { return (box = findMessageBox(check.caption)) != nullptr; }))
        << "the question box never came";
    EXPECT_EQ(messageBoxText(box),
              std::wstring(L"You have the following applications running on your machine:\r\n"
                           L"  Microsoft Publisher\r\n\r\n") +
                  L"Please close the above application(s) for the update process to complete.\r\n"
                  L"Do you want the application(s) to start automatically after the update is installed?");
    ::PostMessageW(box, WM_COMMAND, IDYES, 0);
    ASSERT_TRUE(waitFor([&] { return findMessageBox(check.caption) == nullptr; }));

    ::Sleep(300);  // several passes while the host still runs: the check keeps waiting, asks no more
    EXPECT_FALSE(finished);
    EXPECT_EQ(findMessageBox(check.caption), nullptr);
    process_->stop();
    worker.join();

    EXPECT_TRUE(restart);
    ASSERT_EQ(paths.size(), 1u) << "Excel never ran, so it has no entry";
    EXPECT_EQ(_wcsicmp(paths[L"Microsoft Publisher"].c_str(), host_.c_str()), 0) << paths[L"Microsoft Publisher"];
}
