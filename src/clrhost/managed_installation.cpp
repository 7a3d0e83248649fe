#include "clrhost/managed_installation.h"

#include "bootstrap/bootstrapper.h"
#include "clrhost/installer_run.h"
#include "clrhost/pipeline_steps.h"
#include "product/install_location.h"
#include "product/settings.h"

namespace clrhost {
namespace {

LONG uiLevelFor(bool showUI) { return showUI ? INSTALLUILEVEL_FULL : INSTALLUILEVEL_NONE; }

// /quiet: no installer interface, whatever level the module asked for.
void keepHiddenWhenQuiet(InstallerRun& run) {
    if (appSettings().quiet) run.uiLevel = INSTALLUILEVEL_NONE;
}

// Runs a module call whose failure the sequence does not judge: its text must
// not stand in for a later failure that reports none of its own.
template <typename Call>
void callModule(CBootstrapper& pipeline, Call call) {
    const std::wstring errorText = pipeline.errorText;
    call();
    pipeline.errorText = errorText;
}

}  // namespace

bool releaseNamesModule(const CBootstrapper& pipeline) {
    return !pipeline.customActionAssembly.empty() && !pipeline.customActionClass.empty();
}

bool StartModuleForRun(CBootstrapper& pipeline, bool& cancel) {
    cancel = false;
    if (!StartActionModule(pipeline)) return false;
    callModule(pipeline, [&] { DoInitialize(pipeline, cancel); });
    return true;
}

bool RemoveWithModule(CBootstrapper& pipeline, const std::wstring& productCode) {
    InstallerRun run;
    run.direction = InstallerDirection::Uninstall;
    run.target = productCode;
    run.propertyText = L"REMOVE=ALL";
    run.uiShown = pipeline.showUninstallUI;
    run.uiLevel = uiLevelFor(run.uiShown);
    bool cancel = false;
    const std::wstring installLocation = GetInstallLocation(productCode);
    callModule(pipeline, [&] {
        DoBeforeUninstall(pipeline, productCode, installLocation, run.propertyText, run.uiLevel, cancel);
    });
    if (cancel) return true;
    keepHiddenWhenQuiet(run);
    return RunInstallerAction(pipeline, run);
}

ModuleInstall InstallWithModule(CBootstrapper& pipeline) {
    InstallerRun run;
    run.direction = InstallerDirection::Install;
    run.uiShown = pipeline.showInstallUI;
    run.uiLevel = uiLevelFor(run.uiShown);
    bool cancel = false;
    callModule(pipeline, [&] { DoBeforeInstall(pipeline, run.propertyText, run.uiLevel, cancel); });
    if (cancel) return ModuleInstall::Cancelled;
    keepHiddenWhenQuiet(run);
    run.target = pipeline.downloadFolder + L"\\" + pipeline.msiFileName;
    return RunInstallerAction(pipeline, run) ? ModuleInstall::Installed : ModuleInstall::Failed;
}

void FinishModuleInstall(CBootstrapper& pipeline) {
    callModule(pipeline, [&] { DoAfterInstall(pipeline); });
}

}  // namespace clrhost
