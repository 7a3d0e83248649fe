#include "clrhost/installer_run.h"

#include "base/unique_any.h"
#include "bootstrap/bootstrapper.h"
#include "clrhost/installer_messages.h"
#include "clrhost/pipeline_steps.h"
#include "diagnostics/diagnostic_log.h"

namespace clrhost {
namespace {

// What the installer writes into its own log when the run has a diagnostic
// log: everything, as msiexec's "/l*v" does.
constexpr DWORD verboseLogMode = INSTALLLOGMODE_FATALEXIT | INSTALLLOGMODE_ERROR | INSTALLLOGMODE_WARNING |
                                 INSTALLLOGMODE_USER | INSTALLLOGMODE_INFO | INSTALLLOGMODE_RESOLVESOURCE |
                                 INSTALLLOGMODE_OUTOFDISKSPACE | INSTALLLOGMODE_ACTIONSTART |
                                 INSTALLLOGMODE_ACTIONDATA | INSTALLLOGMODE_COMMONDATA |
                                 INSTALLLOGMODE_PROPERTYDUMP | INSTALLLOGMODE_VERBOSE;

// Each installer call in the diagnostic log, with its result.
UINT logged(const wchar_t* call, const std::wstring& arguments, UINT status) {
    if (diagnostics::logging())
        diagnostics::log(std::wstring(L"msi.dll ") + call + L"(" + arguments + L") = " + std::to_wstring(status));
    return status;
}

// Installer results in the run's failure texts.
bool failWith(CBootstrapper& pipeline, const std::wstring& lead, UINT code) {
    pipeline.errorText = installerErrorText(lead, code);
    return false;
}

// The top-level action: the one the ACTION property names, INSTALL when it
// names none. Windows takes an empty action name to mean this; Wine's installer
// does not (1626), so the name is given.
std::wstring topLevelAction(MSIHANDLE handle) {
    wchar_t action[64] = {};
    DWORD length = 64;
    if (::MsiGetPropertyW(handle, L"ACTION", action, &length) != ERROR_SUCCESS || action[0] == L'\0') {
        return L"INSTALL";
    }
    return action;
}

}  // namespace

bool judgeInstallerAction(UINT status, InstallerDirection direction, bool uiShown, std::wstring& errorText) {
    // A restart request: the product is installed (or removed) all the same.
    if (status == ERROR_SUCCESS || status == ERROR_SUCCESS_REBOOT_REQUIRED || status == ERROR_SUCCESS_REBOOT_INITIATED)
        return true;
    // A cancel by the user, or a failure the installer's own UI has shown, needs no text.
    if (status == ERROR_INSTALL_USEREXIT || uiShown) return false;
    errorText = installerErrorText(direction == InstallerDirection::Uninstall
                                       ? L"Failed to execute the uninstall action"
                                       : L"Failed to execute the install action",
                                   status);
    return false;
}

bool ApplyPropertyText(MSIHANDLE handle, const std::wstring& propertyText, std::wstring& errorText) {
    size_t start = 0;
    while (start <= propertyText.size()) {
        size_t end = propertyText.find(L' ', start);
        if (end == std::wstring::npos) end = propertyText.size();
        const std::wstring token = propertyText.substr(start, end - start);
        start = end + 1;
        const size_t equal = token.find(L'=');
        if (equal == std::wstring::npos || equal == 0) continue;
        const std::wstring name = token.substr(0, equal);
        const std::wstring value = token.substr(equal + 1);
        // By name only: the module hands back licence keys and passwords here.
        const UINT status = logged(L"MsiSetPropertyW", name, ::MsiSetPropertyW(handle, name.c_str(), value.c_str()));
        if (status != ERROR_SUCCESS) {
            errorText = installerErrorText(L"Failed to modify msi properties: " + token, status);
            return false;
        }
    }
    return true;
}

INT CALLBACK InstallerUIHandler(LPVOID context, UINT messageType, MSIHANDLE record) {
    // Called by the installer during MsiDoAction: nothing may escape.
    try {
        auto* pipeline = static_cast<CBootstrapper*>(context);
        if (pipeline == nullptr) return 0;
        LONG result = 0;
        // The sequence does not judge the module's calls; a failed one must not
        // leave its text for a later failure that reports none of its own.
        const std::wstring errorText = pipeline->errorText;
        DoInstallUIAction(*pipeline, messageType, record, result);
        pipeline->errorText = errorText;
        return result;
    } catch (...) {
        return 0;
    }
}

bool RunInstallerAction(CBootstrapper& pipeline, const InstallerRun& run) {
    const bool removal = run.direction == InstallerDirection::Uninstall;
    const INSTALLUILEVEL previousUiLevel = ::MsiSetInternalUI(static_cast<INSTALLUILEVEL>(run.uiLevel), nullptr);
    // With a diagnostic log, the installer writes its own verbose log beside it.
    const std::wstring installerLog = diagnostics::nextInstallerLogPath();
    if (!installerLog.empty()) {
        // best effort: a run without the installer's log is still a run
        logged(L"MsiEnableLogW", installerLog,
               ::MsiEnableLogW(verboseLogMode, installerLog.c_str(), INSTALLLOGATTRIBUTES_FLUSHEACHLINE));
    }

    // Declared before the handle, so this runs after the handle is closed (the
    // installer's last message, sent while closing, still names it): the
    // handler never outlives the run or the object it points to.
    bool handlerSet = false;
    base::scope_exit endOfRun([&pipeline, &handlerSet, &installerLog] {
        pipeline.installerHandle = 0;
        if (handlerSet) ::MsiSetExternalUIRecord(nullptr, 0, nullptr, nullptr);
        if (!installerLog.empty()) ::MsiEnableLogW(0, nullptr, 0);  // the next run gets a log of its own
    });
    base::unique_msihandle handle;
    const UINT opened =
        removal ? logged(L"MsiOpenProductW", run.target, ::MsiOpenProductW(run.target.c_str(), handle.put()))
                : logged(L"MsiOpenPackageW", run.target, ::MsiOpenPackageW(run.target.c_str(), handle.put()));
    if (opened != ERROR_SUCCESS) {
        pipeline.installerResult = opened;
        return failWith(pipeline, L"Failed to open the msi package", opened);
    }
    // The handler hands this to the module while the action runs.
    pipeline.installerHandle = handle.get();

    if (hasActionModule(pipeline)) {
        INSTALLUI_HANDLER_RECORD previousHandler = nullptr;
        const UINT status = logged(
            L"MsiSetExternalUIRecord", L"",
            ::MsiSetExternalUIRecord(InstallerUIHandler, installerMessageFilter, &pipeline, &previousHandler));
        if (status != ERROR_SUCCESS) {
            return failWith(pipeline, L"Failed to set the custom UI for the msi package", status);
        }
        handlerSet = true;
    }
    UINT status =
        logged(L"MsiSetPropertyW", L"CLIENTUILEVEL=0", ::MsiSetPropertyW(handle.get(), L"CLIENTUILEVEL", L"0"));
    if (status != ERROR_SUCCESS) {
        return failWith(pipeline, L"Failed to modify msi properties: CLIENTUILEVEL=0", status);
    }
    if (removal) {
        status = logged(L"MsiSetPropertyW", L"UPGRADINGPRODUCTCODE=" + run.target,
                        ::MsiSetPropertyW(handle.get(), L"UPGRADINGPRODUCTCODE", run.target.c_str()));
        if (status != ERROR_SUCCESS) {
            return failWith(pipeline, L"Failed to modify msi properties: UPGRADINGPRODUCTCODE=" + run.target, status);
        }
    }
    if (!run.propertyText.empty() && !ApplyPropertyText(handle.get(), run.propertyText, pipeline.errorText)) {
        return false;
    }

    const std::wstring action = topLevelAction(handle.get());
    status = logged(L"MsiDoActionW", action, ::MsiDoActionW(handle.get(), action.c_str()));
    // The action may succeed and leave the restart it scheduled to its caller
    // (Wine's installer does): the package's run mode tells.
    if (status == ERROR_SUCCESS_REBOOT_REQUIRED || status == ERROR_SUCCESS_REBOOT_INITIATED ||
        (status == ERROR_SUCCESS && (::MsiGetMode(handle.get(), MSIRUNMODE_REBOOTATEND) ||
                                     ::MsiGetMode(handle.get(), MSIRUNMODE_REBOOTNOW))))
        pipeline.restartRequired = true;
    else if (status != ERROR_SUCCESS)
        pipeline.installerResult = status;
    if (!judgeInstallerAction(status, run.direction, run.uiShown, pipeline.errorText)) return false;
    if (pipeline.notifyWindow != nullptr) ::MsiSetInternalUI(previousUiLevel, nullptr);
    return true;
}

}  // namespace clrhost
