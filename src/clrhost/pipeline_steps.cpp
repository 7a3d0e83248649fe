#include "clrhost/pipeline_steps.h"

#include <cwchar>

#include "bootstrap/bootstrapper.h"
#include "clrhost/module_calls.h"
#include "clrhost/module_creation.h"
#include "clrhost/runtime_host.h"
#include "clrhost/runtime_version.h"
#include "diagnostics/diagnostic_log.h"
#include "product/settings.h"

namespace clrhost {
namespace {

IDispatch* module(const CBootstrapper& pipeline) { return moduleObject(pipeline.actionModule); }

// Each step and call of the managed host in the diagnostic log, with its result.
bool logged(const wchar_t* what, const CBootstrapper& pipeline, bool succeeded) {
    if (diagnostics::logging())
        diagnostics::log(std::wstring(L"managed module ") + what +
                         (succeeded ? std::wstring(L": done") : L": failed: " + pipeline.errorText));
    return succeeded;
}

}  // namespace

bool PickRuntimeVersion(CBootstrapper& pipeline) {
    return logged(L"PickRuntimeVersion", pipeline,
                  PickRuntimeVersion(pipeline.clrInstallRoot, pipeline.clrVersion, pipeline.errorText));
}

bool StartRuntime(CBootstrapper& pipeline) {
    return logged(L"StartRuntime", pipeline,
                  StartRuntime(pipeline.clrVersion, pipeline.runningClrVersion, pipeline.errorText));
}

bool CreateActionsDomain(CBootstrapper& pipeline) {
    return logged(L"CreateActionsDomain", pipeline,
                  CreateActionsDomain(pipeline.downloadFolder, pipeline.customActionAssembly,
                                      pipeline.moduleDirectory, pipeline.errorText));
}

bool CreateFrameworkModule(CBootstrapper& pipeline) {
    return logged(L"CreateFrameworkModule", pipeline,
                  CreateFrameworkModule(actionsDomain(), appSettings().language, pipeline.errorText));
}

bool CreateActionModule(CBootstrapper& pipeline) {
    DISPID ids[ModuleMethodCount] = {};
    const bool created = CreateActionModule(actionsDomain(), pipeline.customActionAssembly,
                                            pipeline.customActionClass, pipeline.actionModule, ids,
                                            pipeline.errorText);
    pipeline.disposeId = ids[DisposeMethod];
    pipeline.setParentWindowHandleId = ids[SetParentWindowHandleMethod];
    pipeline.doAfterInstallId = ids[DoAfterInstallMethod];
    pipeline.doBeforeInstallId = ids[DoBeforeInstallMethod];
    pipeline.doBeforeUninstallId = ids[DoBeforeUninstallMethod];
    pipeline.doInitializeId = ids[DoInitializeMethod];
    pipeline.doInstallUIActionId = ids[DoInstallUIActionMethod];
    return logged(L"CreateActionModule", pipeline, created);
}

bool hasActionModule(const CBootstrapper& pipeline) { return module(pipeline) != nullptr; }

bool StartActionModule(CBootstrapper& pipeline) {
    return PickRuntimeVersion(pipeline) && StartRuntime(pipeline) && CreateActionsDomain(pipeline) &&
           CreateFrameworkModule(pipeline) && CreateActionModule(pipeline) && SetParentWindowHandle(pipeline);
}

bool SetParentWindowHandle(CBootstrapper& pipeline) {
    return logged(L"SetParentWindowHandle", pipeline,
                  SetParentWindowHandle(module(pipeline), pipeline.setParentWindowHandleId, pipeline.notifyWindow,
                                        pipeline.errorText));
}

bool DoInitialize(CBootstrapper& pipeline, bool& cancel) {
    const AppSettings& settings = appSettings();
    InitializeArguments values;
    values.downloadFolder = pipeline.downloadFolder;
    values.productName = settings.productName;
    values.productCode = settings.productCode;
    values.installationUrl = settings.installationUrl;
    values.version = settings.version;
    values.language = settings.language;
    values.privileges = settings.privileges;
    return logged(L"DoInitialize", pipeline,
                  DoInitialize(module(pipeline), pipeline.doInitializeId, values, cancel, pipeline.errorText));
}

bool DoBeforeUninstall(CBootstrapper& pipeline, const std::wstring& productCode, const std::wstring& installLocation,
                       std::wstring& propertyText, LONG& uiLevel, bool& cancel) {
    return logged(L"DoBeforeUninstall", pipeline,
                  DoBeforeUninstall(module(pipeline), pipeline.doBeforeUninstallId, productCode, installLocation,
                                    propertyText, uiLevel, appSettings().hostApplication, cancel,
                                    pipeline.errorText));
}

bool DoBeforeInstall(CBootstrapper& pipeline, std::wstring& propertyText, LONG& uiLevel, bool& cancel) {
    return logged(L"DoBeforeInstall", pipeline,
                  DoBeforeInstall(module(pipeline), pipeline.doBeforeInstallId, propertyText, uiLevel, cancel,
                                  pipeline.errorText));
}

bool DoInstallUIAction(CBootstrapper& pipeline, UINT messageType, ULONG record, LONG& result) {
    const bool done = DoInstallUIAction(module(pipeline), pipeline.doInstallUIActionId, pipeline.installerHandle,
                                        messageType, record, result, pipeline.errorText);
    if (!diagnostics::logging()) return done;
    wchar_t call[80];
    std::swprintf(call, 80, L"DoInstallUIAction(message 0x%08X, result %ld)", messageType, static_cast<long>(result));
    return logged(call, pipeline, done);
}

bool DoAfterInstall(CBootstrapper& pipeline) {
    return logged(L"DoAfterInstall", pipeline,
                  DoAfterInstall(module(pipeline), pipeline.doAfterInstallId, pipeline.manifestFolder,
                                 pipeline.errorText));
}

void ReleaseActionModule(CBootstrapper& pipeline) {
    if (module(pipeline) != nullptr && pipeline.disposeId != 0) {
        // best effort: the object goes either way
        const bool disposed = Dispose(module(pipeline), pipeline.disposeId);
        diagnostics::log(std::wstring(L"managed module Dispose: ") + (disposed ? L"done" : L"failed"));
    }
    ::VariantClear(&pipeline.actionModule);
    ReleaseRuntime();
}

}  // namespace clrhost
