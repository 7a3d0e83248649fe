// The installation sequence of one run: remove every installed release of the
// product, install the downloaded package, update the loader manifests and start
// again the hosts the user had to close. Runs on the pipeline's worker thread.
//
// A listed product counts as a release of the product only when it is of the
// downloaded package's family (product_family.h); any other stays installed.
//
// Without a managed custom-action module the Windows Installer is driven through
// msiexec.exe. A release that names a module has the module set up first; the
// installer is then driven through its function interface with the module
// taking part before each removal and before and after the installation.
#include "install/installation.h"

#include <algorithm>
#include <vector>

#include "bootstrap/bootstrapper.h"
#include "clrhost/managed_installation.h"
#include "clrhost/pipeline_steps.h"
#include "install/loader_folders.h"
#include "install/msiexec.h"
#include "install/product_family.h"
#include "install/product_state.h"
#include "install/running_hosts.h"
#include "product/combine.h"
#include "product/loader_manifest.h"
#include "product/settings.h"

namespace {

class InstallationSequence {
public:
    explicit InstallationSequence(CBootstrapper& pipeline) : p_(pipeline), settings_(appSettings()) {}

    bool run() {
        p_.restartApplications = false;
        setOutcome(NotInstalled);
        if (settings_.quiet) hideInstallerInterface();
        if (findEarlierReleases()) {
            // Unattended: nobody can close the hosts, so none is asked about,
            // waited for or started again.
            if (!settings_.quiet) checkRunningHosts(findPreviousVersion());
            if (startModule() && removeEarlierReleases() && install()) restartHosts();
        }
        clrhost::ReleaseActionModule(p_);  // always: Dispose, domain unloaded, runtime released
        return result_;
    }

private:
    // The listed products that are installed and of the package's family, decided
    // once, before anything is removed. The package is read only when a listed
    // product is installed: otherwise there is nothing to tell apart. False when
    // it cannot be read.
    bool findEarlierReleases() {
        PackageFamily family;
        bool familyRead = false;
        for (const ProductEntry& entry : p_.products) {
            if (!IsProductInstalled(entry.productCode)) continue;
            if (!familyRead && !ReadPackageFamily(p_.downloadFolder, p_.msiFileName, family, p_.errorText))
                return fail();
            familyRead = true;
            if (IsOfPackageFamily(family, entry.productCode)) {
                earlierReleases_.push_back(entry.productCode);
            } else {
                LogForeignProduct(family, entry.productCode);
            }
        }
        return true;
    }

    bool isEarlierRelease(const std::wstring& productCode) const {
        return std::find(earlierReleases_.begin(), earlierReleases_.end(), productCode) != earlierReleases_.end();
    }

    // Step 2: some release of the product is installed.
    bool findPreviousVersion() const { return !earlierReleases_.empty(); }

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

    // Step 4: the managed module, when the release names one. False when the
    // run goes no further: a set-up step failed, or the module asked to skip the
    // removals and the installation (the hosts are then still restarted).
    bool startModule() {
        if (!clrhost::releaseNamesModule(p_)) return true;
        bool cancel = false;
        if (!clrhost::StartModuleForRun(p_, cancel)) return fail();
        moduleless_ = false;
        if (cancel) {
            setOutcome(CancelledByModule);
            restartHosts();
            return false;
        }
        return true;
    }

    // Step 5: every installed release of the family, in list order; the first
    // failure stops the run.
    bool removeEarlierReleases() {
        RemovalRights rights;
        rights.processElevated = p_.processElevated != 0;
        rights.laterThanVersion5 = p_.laterThanVersion5;
        rights.privileges = settings_.privileges;
        for (const ProductEntry& entry : p_.products) {
            if (!isEarlierRelease(entry.productCode) || !IsProductInstalled(entry.productCode)) continue;
            if (!MayRemoveProduct(rights, entry.productCode)) return fail(removalForbiddenText);
            const bool removed =
                moduleless_ ? removeWithMsiexec(entry) : clrhost::RemoveWithModule(p_, entry.productCode);
            if (!removed) return fail();
        }
        return true;
    }

    bool removeWithMsiexec(const ProductEntry& entry) {
        std::wstring arguments = L"/x" + entry.productCode;
        if (!entry.showUninstallUI) arguments += L" /quiet";
        arguments += L" UPGRADINGPRODUCTCODE=" + entry.productCode;
        DWORD exitCode = 0;
        const bool removed = RunMsiexec(arguments, entry.showUninstallUI, p_.errorText, &exitCode);
        noteInstallerResult(exitCode);
        return removed;
    }

    // Steps 6 and 7: the package, then the loader manifests. False when the
    // hosts are not to be restarted.
    bool install() {
        if (!moduleless_) return installWithModule();
        std::wstring arguments = L"/i \"" + combinePath(p_.downloadFolder, p_.msiFileName) + L"\"";
        if (!p_.showInstallUI) arguments += L" /quiet";
        DWORD exitCode = 0;
        const bool installed = RunMsiexec(arguments, p_.showInstallUI, p_.errorText, &exitCode);
        noteInstallerResult(exitCode);
        if (!installed) return fail();
        switch (updateLoaderManifests(p_.errorText)) {
            case LoaderUpdate::Failed: return fail();
            case LoaderUpdate::NotFound: setOutcome(InstalledWithoutLoader); break;
            case LoaderUpdate::Updated: setOutcome(Installed); break;
        }
        return true;
    }

    bool installWithModule() {
        switch (clrhost::InstallWithModule(p_)) {
            case clrhost::ModuleInstall::Cancelled:
                setOutcome(CancelledByModule);
                return true;  // nothing installed; hosts still restarted
            case clrhost::ModuleInstall::Failed: return fail();
            case clrhost::ModuleInstall::Installed: break;
        }
        // Not judged here: the module is told the folder either way, and the
        // text of a failed update must not turn this success into a failure box.
        // No loader at all still reaches the user, as after msiexec.
        std::wstring ignored;
        const LoaderUpdate update = updateLoaderManifests(ignored);
        clrhost::FinishModuleInstall(p_);
        setOutcome(update == LoaderUpdate::NotFound ? InstalledWithoutLoader : Installed);
        return true;
    }

    LoaderUpdate updateLoaderManifests(std::wstring& errorText) {
        LoaderManifestValues values;
        values.installationUrl = settings_.installationUrl;
        values.language = settings_.language;
        values.version = settings_.version;
        values.productCode = settings_.productCode;
        values.perUser = settings_.perUser();
        return UpdateLoaderManifests(settings_.loaderComponentCodes, values, p_.manifestFolder, errorText);
    }

    // Step 8: after a successful installation, or when the module cancelled it.
    void restartHosts() {
        if (!p_.restartApplications) return;
        for (const auto& host : hostPaths_) {
            if (!host.second.empty()) StartProgram(host.second);
        }
    }

    // /quiet: the installer's own interface stays hidden whatever the release prefers.
    void hideInstallerInterface() {
        p_.showInstallUI = false;
        p_.showUninstallUI = false;
        for (ProductEntry& entry : p_.products) entry.showUninstallUI = false;
    }

    void noteInstallerResult(DWORD result) {
        if (isRestartRequest(result)) p_.restartRequired = true;
        else if (result != 0) p_.installerResult = result;
    }

    void setOutcome(InstallationOutcome outcome) { ::InterlockedExchange(&p_.installationOutcome, outcome); }

    bool fail(const wchar_t* text = nullptr) {
        if (text) p_.errorText = text;
        result_ = false;
        return false;
    }

    CBootstrapper& p_;
    const AppSettings& settings_;
    HostPaths hostPaths_;
    std::vector<std::wstring> earlierReleases_;  // product codes as listed
    bool moduleless_ = true;
    bool result_ = true;
};

}  // namespace

bool RunInstallation(CBootstrapper& pipeline) {
    InstallationSequence sequence(pipeline);
    return sequence.run();
}
