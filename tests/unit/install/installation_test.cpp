#include "install/installation.h"

#include <gtest/gtest.h>

#include "bootstrap/bootstrapper.h"
#include "install/msiexec.h"
#include "install/product_state.h"
#include "install_test_support.h"
#include "product/settings.h"

using namespace installtest;

namespace {

const wchar_t olderRelease[] = L"{B2F6E1D3-8C4A-4D9F-AE2B-3C4D5E6F7081}";    // talvoro-addin-2.1.0
const wchar_t currentRelease[] = L"{58DE7ACE-695E-467E-BBD1-89985E2AB819}";  // talvoro-addin-2.2.15

void removeIfInstalled(const wchar_t* code) {
    std::wstring ignored;
    if (IsProductInstalled(code))
        RunMsiexec(std::wstring(L"/x") + code + L" /quiet UPGRADINGPRODUCTCODE=" + code, false, ignored);
}

// The settings of a per-machine product whose release is the current sample package.
class InstallationTest : public ::testing::Test {
protected:
    void SetUp() override {
        removeIfInstalled(olderRelease);
        removeIfInstalled(currentRelease);
        AppSettings& settings = appSettings();
        settings.privileges = L"administrator";
        settings.hostApplication = L"";
        settings.loaderComponentCodes = L"{4B6C9D8C-737F-5F9C-E940-16E917592AE1}";
        settings.installationUrl = L"http://127.0.0.1/addin/";
        settings.language = L"1033";
        settings.version = L"2.2.015";
        settings.productCode = currentRelease;

        pipeline_.downloadFolder = programFolder() + L"\\packages";
        pipeline_.msiFileName = L"talvoro-addin-2.2.15.msi";
        pipeline_.showInstallUI = false;
        pipeline_.products = {ProductEntry{olderRelease, L"2.1.0", L"1033", true, false},
                              ProductEntry{currentRelease, L"2.2.015", L"1033", false, false}};
    }
    void TearDown() override {
        removeIfInstalled(olderRelease);
        removeIfInstalled(currentRelease);
    }

    CBootstrapper pipeline_;
};

}  // namespace

TEST_F(InstallationTest, AnUpgradeRemovesTheOlderReleaseInstallsAndNamesTheManifestFolder) {
    std::wstring text;
    ASSERT_TRUE(RunMsiexec(L"/i \"" + packagePath(L"talvoro-addin-2.1.0") + L"\" /quiet", false, text)) << text;
    pipeline_.processElevated = 1;
    pipeline_.laterThanVersion5 = true;
    pipeline_.restartApplications = true;  // cleared on entry
    ASSERT_TRUE(RunInstallation(pipeline_)) << pipeline_.errorText;
    EXPECT_EQ(pipeline_.errorText, L"");
    EXPECT_FALSE(IsProductInstalled(olderRelease));
    EXPECT_TRUE(IsProductInstalled(currentRelease));
    EXPECT_NE(pipeline_.manifestFolder.find(L"\\Talvoro Sample Add-in"), std::wstring::npos) << pipeline_.manifestFolder;
    EXPECT_FALSE(pipeline_.restartApplications);
    EXPECT_EQ(pipeline_.installationOutcome, Installed);
}

TEST_F(InstallationTest, ANonElevatedProcessOnWindows5MayNotRemoveAPerMachineProduct) {
    std::wstring text;
    ASSERT_TRUE(RunMsiexec(L"/i \"" + packagePath(L"talvoro-addin-2.1.0") + L"\" /quiet", false, text)) << text;
    pipeline_.processElevated = 0;
    pipeline_.laterThanVersion5 = false;
    EXPECT_FALSE(RunInstallation(pipeline_));
    EXPECT_EQ(pipeline_.errorText,
              L"This installation is forbidden by system policy (1625). Contact your system administrator.");
    EXPECT_TRUE(IsProductInstalled(olderRelease));
    EXPECT_FALSE(IsProductInstalled(currentRelease)) << "nothing is installed after a refused removal";
}

// The package is installed either way: the run ends normally, and the window tells the user of the loader.
TEST_F(InstallationTest, AnInstalledPackageWithoutAnyInstalledLoaderEndsNormallyAndSaysSo) {
    appSettings().loaderComponentCodes = L";{00000000-0000-0000-0000-000000000001};";
    pipeline_.processElevated = 1;
    EXPECT_TRUE(RunInstallation(pipeline_));
    EXPECT_EQ(pipeline_.errorText, L"");
    EXPECT_EQ(pipeline_.installationOutcome, InstalledWithoutLoader);
    EXPECT_TRUE(IsProductInstalled(currentRelease));
    EXPECT_EQ(pipeline_.manifestFolder, L"");
}

TEST_F(InstallationTest, APackageThatCannotBeReadEndsTheRunBeforeAnyRemoval) {
    std::wstring text;
    ASSERT_TRUE(RunMsiexec(L"/i \"" + packagePath(L"talvoro-addin-2.1.0") + L"\" /quiet", false, text)) << text;
    TempFolder folder;
    writeFile(folder / L"talvoro-addin-2.2.15.msi", "not a package");
    pipeline_.downloadFolder = folder.path();
    pipeline_.processElevated = 1;
    pipeline_.laterThanVersion5 = true;
    EXPECT_FALSE(RunInstallation(pipeline_));
    EXPECT_EQ(pipeline_.errorText.rfind(L"Failed to read the package 'talvoro-addin-2.2.15.msi'. Error: ", 0), 0u)
        << pipeline_.errorText;
    EXPECT_TRUE(IsProductInstalled(olderRelease));
    EXPECT_FALSE(IsProductInstalled(currentRelease));
}
