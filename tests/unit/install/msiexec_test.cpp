#include "install/msiexec.h"

#include <gtest/gtest.h>

#include "install/loader_folders.h"
#include "install/product_state.h"
#include "install_test_support.h"
#include "product/install_location.h"

using namespace installtest;

namespace {

const wchar_t loaderComponent[] = L"{4B6C9D8C-737F-5F9C-E940-16E917592AE1}";
const wchar_t olderRelease[] = L"{B2F6E1D3-8C4A-4D9F-AE2B-3C4D5E6F7081}";    // talvoro-addin-2.1.0
const wchar_t currentRelease[] = L"{58DE7ACE-695E-467E-BBD1-89985E2AB819}";  // 2.2.15, refused, regpath

std::wstring installArguments(const std::wstring& package) { return L"/i \"" + packagePath(package) + L"\" /quiet"; }
std::wstring removeArguments(const std::wstring& code) {
    return L"/x" + code + L" /quiet UPGRADINGPRODUCTCODE=" + code;
}

LoaderManifestValues manifestValues() {
    LoaderManifestValues values;
    values.installationUrl = L"http://127.0.0.1/addin/";
    values.language = L"1033";
    values.version = L"2.2.015";
    values.productCode = currentRelease;
    return values;
}

bool fileExists(const std::wstring& path) { return ::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

}  // namespace

TEST(JudgeMsiexecExitCode, ZeroAndARestartRequestSucceedAndOnlyAHiddenFailureGetsAText) {
    std::wstring text = L"earlier";
    EXPECT_TRUE(JudgeMsiexecExitCode(0, false, text));
    EXPECT_TRUE(JudgeMsiexecExitCode(3010, false, text)) << "installed; Windows must restart";
    EXPECT_TRUE(JudgeMsiexecExitCode(1641, true, text)) << "installed; the installer started the restart";
    EXPECT_EQ(text, L"earlier");

    EXPECT_FALSE(JudgeMsiexecExitCode(1603, false, text));
    EXPECT_EQ(text, L"The installation failed. Error: 1603.");
    EXPECT_FALSE(JudgeMsiexecExitCode(3011, false, text));
    EXPECT_EQ(text, L"The installation failed. Error: 3011.");
    EXPECT_FALSE(JudgeMsiexecExitCode(259, false, text)) << "an ended msiexec is never still active";
    EXPECT_EQ(text, L"The installation failed. Error: 259.");

    text = L"earlier";
    EXPECT_FALSE(JudgeMsiexecExitCode(1603, true, text));
    EXPECT_EQ(text, L"") << "msiexec has shown its own error";
    text = L"earlier";
    EXPECT_FALSE(JudgeMsiexecExitCode(1602, false, text));
    EXPECT_EQ(text, L"") << "the user cancelled";
}

// Installs and removes the real sample packages with the prefix's msiexec.
class PackageTest : public ::testing::Test {
protected:
    void SetUp() override { removeSamples(); }  // left over by an interrupted run
    void TearDown() override { removeSamples(); }
    static void removeSamples() {
        std::wstring ignored;
        for (const wchar_t* code : {olderRelease, currentRelease}) {
            if (IsProductInstalled(code)) RunMsiexec(removeArguments(code), false, ignored);
        }
    }
};

TEST_F(PackageTest, AnInstallationHasEndedWhenRunMsiexecReturnsAndTheLoaderFolderIsFound) {
    std::wstring text;
    ASSERT_FALSE(IsProductInstalled(olderRelease));
    ASSERT_TRUE(RunMsiexec(installArguments(L"talvoro-addin-2.1.0"), false, text)) << text;
    EXPECT_TRUE(IsProductInstalled(olderRelease)) << "RunMsiexec returned before msiexec had ended";

    const std::wstring folder = LocateManifestFolder(loaderComponent);
    EXPECT_NE(folder.find(L"\\Talvoro Sample Add-in"), std::wstring::npos) << folder;
    EXPECT_TRUE(fileExists(folder + L"\\kvlloader.dll.manifest")) << folder;

    std::wstring manifestFolder;
    ASSERT_EQ(UpdateLoaderManifests(L";{00000000-0000-0000-0000-000000000001};" + std::wstring(loaderComponent),
                                    manifestValues(), manifestFolder, text),
              LoaderUpdate::Updated)
        << text;
    EXPECT_EQ(manifestFolder, folder) << "a component that is not installed is passed over";

    ASSERT_TRUE(RunMsiexec(removeArguments(olderRelease), false, text)) << text;
    EXPECT_FALSE(IsProductInstalled(olderRelease));
    EXPECT_EQ(LocateManifestFolder(loaderComponent), L"");
    EXPECT_EQ(UpdateLoaderManifests(loaderComponent, manifestValues(), manifestFolder, text), LoaderUpdate::NotFound)
        << "nothing to update once the loader is gone";
}

TEST_F(PackageTest, ALoaderFoundThroughARegistryValueIsTheFolderThatValueNames) {
    std::wstring text;
    ASSERT_TRUE(RunMsiexec(installArguments(L"talvoro-addin-regpath"), false, text)) << text;
    const std::wstring folder = LocateManifestFolder(loaderComponent);
    EXPECT_EQ(folder, ReadRegistryKeyPath(L"01:\\Software\\Talvoro\\Sample Add-in\\Path"));
    EXPECT_NE(folder.find(L"\\Talvoro Sample Add-in (registry)"), std::wstring::npos) << folder;
    std::wstring manifestFolder;
    EXPECT_EQ(UpdateLoaderManifests(loaderComponent, manifestValues(), manifestFolder, text), LoaderUpdate::Updated)
        << text;
    EXPECT_EQ(manifestFolder, folder);
}

TEST_F(PackageTest, ARefusedPackageFailsWith1603WhenTheUserSeesNothing) {
    std::wstring text;
    DWORD exitCode = 0;
    EXPECT_FALSE(RunMsiexec(installArguments(L"talvoro-addin-refused"), false, text, &exitCode));
    EXPECT_EQ(text, L"The installation failed. Error: 1603.");
    EXPECT_EQ(exitCode, 1603u);
    EXPECT_FALSE(IsProductInstalled(currentRelease));
}

TEST_F(PackageTest, APackageThatAsksForARestartIsInstalledAndItsCodeHandedBack) {
    std::wstring text;
    DWORD exitCode = 0;
    ASSERT_TRUE(RunMsiexec(installArguments(L"talvoro-addin-restart"), false, text, &exitCode)) << text;
    EXPECT_EQ(exitCode, 3010u);
    EXPECT_TRUE(IsProductInstalled(currentRelease));
}

TEST(StartProgram, QuotesThePathSoABlankNeverStartsAnotherProgram) {
    TempFolder folder;
    const std::wstring decoy = folder / L"Program.exe";
    const std::wstring host = folder / L"Program Files\\Office\\POWERPNT.EXE";
    copyFakeHost(decoy);
    copyFakeHost(host);
    StartProgram(host);
    waitFor([&] { return !loggedStarts(host).empty() || !loggedStarts(decoy).empty(); });
    const std::vector<DWORD> hostStarts = loggedStarts(host);
    const std::vector<DWORD> decoyStarts = loggedStarts(decoy);
    for (DWORD id : hostStarts) stopProcess(id);
    for (DWORD id : decoyStarts) stopProcess(id);
    EXPECT_EQ(hostStarts.size(), 1u) << "the host was not started";
    EXPECT_TRUE(decoyStarts.empty()) << "the path was cut at its first blank";
    StartProgram(folder / L"missing.exe");  // no failure to report
}
