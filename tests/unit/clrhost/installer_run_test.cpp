#include "clrhost/installer_run.h"

#include <msi.h>

#include "base/file_io.h"
#include "base/unique_any.h"
#include "bootstrap/bootstrapper.h"
#include "clrhost/installer_messages.h"
#include "clrhost/managed_installation.h"
#include "clrhost/pipeline_steps.h"
#include "diagnostics/diagnostic_log.h"
#include "standin_fixture.h"

using namespace clrhost;

namespace {

const wchar_t kProductCode[] = L"{58DE7ACE-695E-467E-BBD1-89985E2AB819}";

std::wstring packagesFolder() {
    wchar_t path[MAX_PATH];
    const DWORD length = ::GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring folder(path, length);
    return folder.substr(0, folder.rfind(L'\\')) + L"\\packages";
}

bool installed(const wchar_t* productCode) {
    wchar_t version[64];
    DWORD length = 64;
    return ::MsiGetProductInfoW(productCode, INSTALLPROPERTY_VERSIONSTRING, version, &length) == ERROR_SUCCESS;
}

// A pipeline object whose release names a custom-action class, with the module created.
class InstallerRunTest : public StandinTest {
protected:
    void SetUp() override { ::MsiSetInternalUI(INSTALLUILEVEL_NONE, nullptr); }
    void TearDown() override {
        ReleaseActionModule(pipeline);
        StandinTest::TearDown();
    }
    void create(StandinScenario& scenario) {
        pipeline.downloadFolder = packagesFolder();
        pipeline.msiFileName = L"talvoro-addin-2.2.15.msi";
        pipeline.customActionAssembly = L"Talvoro.Actions";
        pipeline.customActionClass = L"Talvoro.Actions.Setup";
        pipeline.showInstallUI = false;
        pipeline.showUninstallUI = false;
        ASSERT_TRUE(StartActionModule(pipeline)) << utf8(pipeline.errorText);
        scenario.clearLog();
    }
    InstallerRun installRun(const std::wstring& package = L"talvoro-addin-2.2.15.msi") {
        InstallerRun run;
        run.direction = InstallerDirection::Install;
        run.target = packagesFolder() + L"\\" + package;
        return run;
    }
    InstallerRun removeRun() {
        InstallerRun run;
        run.direction = InstallerDirection::Uninstall;
        run.target = kProductCode;
        run.propertyText = L"REMOVE=ALL";
        return run;
    }

    CBootstrapper pipeline;
};

}  // namespace

// Tokens without "=" or without a name are skipped; "B=" sets an empty value; a failure names its token.
TEST(ApplyPropertyText, SetsNamedTokensOnly) {
    ::MsiSetInternalUI(INSTALLUILEVEL_NONE, nullptr);
    MSIHANDLE package = 0;
    ASSERT_EQ(ERROR_SUCCESS,
              ::MsiOpenPackageW((packagesFolder() + L"\\talvoro-addin-2.2.15.msi").c_str(), &package));
    ::MsiSetPropertyW(package, L"B", L"before");
    std::wstring error;
    EXPECT_TRUE(ApplyPropertyText(package, L"A=1 B= =C D  E=x=y", error));
    auto property = [package](const wchar_t* name) {
        wchar_t value[64] = {};
        DWORD length = 64;
        ::MsiGetPropertyW(package, name, value, &length);
        return std::wstring(value);
    };
    EXPECT_EQ(L"1", property(L"A"));
    EXPECT_EQ(L"", property(L"B"));
    EXPECT_EQ(L"", property(L"D"));
    EXPECT_EQ(L"x=y", property(L"E"));
    ::MsiCloseHandle(package);

    EXPECT_FALSE(ApplyPropertyText(0, L"A=1", error));
    EXPECT_EQ(L"Failed to modify msi properties: A=1 (HRESULT = 0x80070006).", error);
}

// The diagnostic log names each property the module hands back, never its value (licence keys, passwords).
TEST(ApplyPropertyText, LogsNamesWithoutValues) {
    wchar_t folder[MAX_PATH];
    ASSERT_NE(0u, ::GetTempPathW(MAX_PATH, folder));
    const std::wstring logPath = std::wstring(folder) + L"installer_run_test.log";
    ::DeleteFileW(logPath.c_str());
    ::MsiSetInternalUI(INSTALLUILEVEL_NONE, nullptr);
    base::unique_msihandle package;
    ASSERT_EQ(ERROR_SUCCESS,
              ::MsiOpenPackageW((packagesFolder() + L"\\talvoro-addin-2.2.15.msi").c_str(), package.put()));

    ASSERT_TRUE(diagnostics::openLog(logPath));
    std::wstring error;
    const bool applied = ApplyPropertyText(package.get(), L"LICENSEKEY=K3Y-s3cret PASSWORD=hunter2=x", error);
    diagnostics::closeLog();
    std::string log;
    const bool read = ReadWholeFile(logPath, log);
    ::DeleteFileW(logPath.c_str());
    ASSERT_TRUE(applied) << utf8(error);
    ASSERT_TRUE(read);
    EXPECT_NE(std::string::npos, log.find("msi.dll MsiSetPropertyW(LICENSEKEY) = 0")) << log;
    EXPECT_NE(std::string::npos, log.find("msi.dll MsiSetPropertyW(PASSWORD) = 0")) << log;
    EXPECT_EQ(std::string::npos, log.find("K3Y-s3cret")) << log;
    EXPECT_EQ(std::string::npos, log.find("hunter2")) << log;
}

// A real package is installed and removed; the module sees the installer's messages and properties.
TEST_F(InstallerRunTest, InstallsAndRemovesWithModuleWatching) {
    StandinScenario scenario({"read_properties=CLIENTUILEVEL,UPGRADINGPRODUCTCODE,REMOVE,A"});
    create(scenario);
    InstallerRun install = installRun();
    install.propertyText = L"A=1";
    ASSERT_TRUE(RunInstallerAction(pipeline, install)) << utf8(pipeline.errorText);
    EXPECT_TRUE(installed(kProductCode));
    EXPECT_EQ(0u, pipeline.installerHandle);
    auto messages = scenario.records("Invoke");
    ASSERT_FALSE(messages.empty());
    const auto first = messages[0];
    EXPECT_EQ("DoInstallUIAction", first["method"].text());
    EXPECT_NE(0, first["args"][0]["value"].number()) << "the open handle is passed";
    EXPECT_TRUE(first.has("record_fields")) << "the record handle is a live installer record";
    EXPECT_EQ("0", first["properties"]["CLIENTUILEVEL"].text());
    EXPECT_EQ("1", first["properties"]["A"].text());
    EXPECT_EQ("", first["properties"]["UPGRADINGPRODUCTCODE"].text());

    scenario.clearLog();
    ASSERT_TRUE(RunInstallerAction(pipeline, removeRun())) << utf8(pipeline.errorText);
    EXPECT_FALSE(installed(kProductCode));
    messages = scenario.records("Invoke");
    ASSERT_FALSE(messages.empty());
    EXPECT_EQ(utf8(kProductCode), messages[0]["properties"]["UPGRADINGPRODUCTCODE"].text());
    EXPECT_EQ("ALL", messages[0]["properties"]["REMOVE"].text());
}

// A package that asks for a restart is installed: success, with the request noted for the run's end.
TEST_F(InstallerRunTest, ARestartRequestIsAnInstallation) {
    StandinScenario scenario;
    create(scenario);
    ASSERT_TRUE(RunInstallerAction(pipeline, installRun(L"talvoro-addin-restart.msi"))) << utf8(pipeline.errorText);
    EXPECT_TRUE(installed(kProductCode));
    EXPECT_TRUE(pipeline.restartRequired);
    EXPECT_EQ(0u, pipeline.installerResult);
    ASSERT_TRUE(RunInstallerAction(pipeline, removeRun())) << utf8(pipeline.errorText);
    EXPECT_FALSE(installed(kProductCode));
}

// Open failures carry the installer's code in its "(Error = %d)" form.
TEST_F(InstallerRunTest, OpenFailures) {
    StandinScenario scenario;
    create(scenario);
    // Windows answers 1619 for a missing package, Wine 2: the wording follows the code.
    MSIHANDLE none = 0;
    const UINT missing = ::MsiOpenPackageW(installRun(L"missing.msi").target.c_str(), &none);
    ASSERT_NE(ERROR_SUCCESS, missing);
    EXPECT_FALSE(RunInstallerAction(pipeline, installRun(L"missing.msi")));
    EXPECT_EQ(installerErrorText(L"Failed to open the msi package", missing), pipeline.errorText);
    EXPECT_FALSE(RunInstallerAction(pipeline, removeRun()));
    EXPECT_EQ(L"Failed to open the msi package (Error = 1605).", pipeline.errorText);
}

// A failed action gets its text only when the direction's UI was not shown.
TEST_F(InstallerRunTest, FailedActionTextDependsOnUi) {
    StandinScenario scenario;
    create(scenario);
    InstallerRun run = installRun(L"talvoro-addin-refused.msi");
    EXPECT_FALSE(RunInstallerAction(pipeline, run));
    EXPECT_EQ(L"Failed to execute the install action (Error = 1603).", pipeline.errorText);
    EXPECT_EQ(1603u, pipeline.installerResult) << "for the exit code under /quiet";
    pipeline.errorText = L"earlier";
    run.uiShown = true;
    EXPECT_FALSE(RunInstallerAction(pipeline, run));
    EXPECT_EQ(L"earlier", pipeline.errorText);
    EXPECT_FALSE(installed(kProductCode));
}

// A user's cancel (1602) and a failure the direction's own UI showed give no text; others give the direction's.
TEST(JudgeInstallerAction, FailureRule) {
    std::wstring error = L"earlier";
    EXPECT_FALSE(judgeInstallerAction(ERROR_INSTALL_USEREXIT, InstallerDirection::Uninstall, false, error));
    EXPECT_EQ(L"earlier", error);
    EXPECT_FALSE(judgeInstallerAction(ERROR_INSTALL_FAILURE, InstallerDirection::Install, true, error));
    EXPECT_EQ(L"earlier", error);
    EXPECT_FALSE(judgeInstallerAction(ERROR_INSTALL_FAILURE, InstallerDirection::Uninstall, false, error));
    EXPECT_EQ(L"Failed to execute the uninstall action (Error = 1603).", error);
    EXPECT_FALSE(judgeInstallerAction(ERROR_INVALID_HANDLE, InstallerDirection::Install, false, error));
    EXPECT_EQ(L"Failed to execute the install action (HRESULT = 0x80070006).", error);
    EXPECT_TRUE(judgeInstallerAction(ERROR_SUCCESS, InstallerDirection::Install, false, error));
    EXPECT_TRUE(judgeInstallerAction(ERROR_SUCCESS_REBOOT_REQUIRED, InstallerDirection::Install, false, error));
    EXPECT_TRUE(judgeInstallerAction(ERROR_SUCCESS_REBOOT_INITIATED, InstallerDirection::Uninstall, false, error));
    EXPECT_EQ(L"Failed to execute the install action (HRESULT = 0x80070006).", error) << "no text of its own";
}

// The handler hands every message on and returns the module's word; without a module it returns 0.
TEST_F(InstallerRunTest, HandlerReturnsModuleResult) {
    StandinScenario scenario({"DoInstallUIAction.result=1", "DoInstallUIAction.throw=0"});
    create(scenario);
    pipeline.errorText = L"kept";
    EXPECT_EQ(1, InstallerUIHandler(&pipeline, 0x04000000 | MB_ICONINFORMATION, 0));
    scenario.script({"DoInstallUIAction.throw=1"});
    EXPECT_EQ(0, InstallerUIHandler(&pipeline, 0x04000000, 0));
    EXPECT_EQ(L"kept", pipeline.errorText) << "a failed call leaves no text behind";
    CBootstrapper noModule;
    EXPECT_EQ(0, InstallerUIHandler(&noModule, 0x04000000, 0));
    EXPECT_EQ(0, InstallerUIHandler(nullptr, 0x04000000, 0));
}
