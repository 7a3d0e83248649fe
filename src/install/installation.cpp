// The installation sequence of one run: remove every installed release of the
// product, install the downloaded package, update the loader manifests and start
// again the hosts the user had to close. Runs on the pipeline's worker thread.
//
// Without a managed custom-action module the Windows Installer is driven through
// msiexec.exe. A release that names a module is driven through the installer's
// function interface with the module taking part (see the steps marked below);
// until that path is present such a release goes the msiexec way too.
#include "bootstrap/installation.h"

#include "app/settings.h"
#include "bootstrap/bootstrapper.h"
#include "install/loader_folders.h"
#include "install/msiexec.h"
#include "install/product_state.h"
#include "install/running_hosts.h"
#include "product/combine.h"
#include "product/loader_manifest.h"

namespace {

class InstallationSequence {
public:
    explicit InstallationSequence(CBootstrapper& pipeline) : p_(pipeline), settings_(appSettings()) {}

    bool run() {
        p_.restartApplications = false;
        checkRunningHosts(findPreviousVersion());
        if (removeEarlierReleases() && install()) restartHosts();
        return result_;
    }

private:
    // Step 2: some release of the product is installed.
    bool findPreviousVersion() const {
        for (const ProductEntry& entry : p_.products) {
            if (IsProductInstalled(entry.productCode)) return true;
        }
        return false;
    }

    // Step 3: may block until the user has closed the running hosts.
    void checkRunningHosts(bool previousVersionFound) {
        RunningHostsCheck check;
        check.hostApplication = settings_.hostApplication;
        check.showRunningApplicationsWarning = p_.showRunningApplicationsWarning;
        check.previousVersionFound = previousVersionFound;
        check.owner = p_.notifyWindow;
        check.caption = settings_.productName;
        CheckRunningHosts(check, hostPaths_, p_.restartApplications);
    }

    // Step 5: every installed entry, in list order; the first failure stops the run.
    bool removeEarlierReleases() {
        RemovalRights rights;
        rights.processElevated = p_.processElevated != 0;
        rights.laterThanVersion5 = p_.laterThanVersion5;
        rights.privileges = settings_.privileges;
        for (const ProductEntry& entry : p_.products) {
            if (!IsProductInstalled(entry.productCode)) continue;
            if (!MayRemoveProduct(rights, entry.productCode)) return fail(removalForbiddenText);
            if (!removeWithMsiexec(entry)) return fail();
        }
        return true;
    }

    bool removeWithMsiexec(const ProductEntry& entry) {
        std::wstring arguments = L"/x" + entry.productCode;
        if (!entry.showUninstallUI) arguments += L" /quiet";
        arguments += L" UPGRADINGPRODUCTCODE=" + entry.productCode;
        return RunMsiexec(arguments, entry.showUninstallUI, p_.errorText);
    }

    // Step 6: the package, then the loader manifests.
    bool install() {
        std::wstring arguments = L"/i \"" + combinePath(p_.downloadFolder, p_.msiFileName) + L"\"";
        if (!p_.showInstallUI) arguments += L" /quiet";
        if (!RunMsiexec(arguments, p_.showInstallUI, p_.errorText)) return fail();

        LoaderManifestValues values;
        values.installationUrl = settings_.installationUrl;
        values.language = settings_.language;
        values.version = settings_.version;
        values.productCode = settings_.productCode;
        values.perUser = settings_.perUser();
        if (!UpdateLoaderManifests(settings_.loaderComponentCodes, values, p_.manifestFolder, p_.errorText))
            return fail();
        return true;
    }

    // Step 8: only after a successful installation.
    void restartHosts() {
        if (!p_.restartApplications) return;
        for (const auto& host : hostPaths_) {
            if (!host.second.empty()) StartProgram(host.second);
        }
    }

    bool fail(const wchar_t* text = nullptr) {
        if (text) p_.errorText = text;
        result_ = false;
        return false;
    }

    CBootstrapper& p_;
    const AppSettings& settings_;
    HostPaths hostPaths_;
    bool result_ = true;
};

}  // namespace

bool RunInstallation(CBootstrapper& pipeline) {
    InstallationSequence sequence(pipeline);
    return sequence.run();
}
