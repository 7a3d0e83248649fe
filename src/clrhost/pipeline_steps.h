#pragma once
// The custom-action host's operations over the pipeline object, as the
// installation sequence calls them: the module's set-up steps, its calls with
// the pipeline's and the settings' values, and its clean-up. Worker thread only.
#include <windows.h>

#include <string>

class CBootstrapper;

namespace clrhost {

bool PickRuntimeVersion(CBootstrapper& pipeline);
bool StartRuntime(CBootstrapper& pipeline);
bool CreateActionsDomain(CBootstrapper& pipeline);
bool CreateFrameworkModule(CBootstrapper& pipeline);
bool CreateActionModule(CBootstrapper& pipeline);

// True when the custom-action object exists.
bool hasActionModule(const CBootstrapper& pipeline);

// The set-up steps in order: runtime version, runtime, domain, framework
// module, custom-action object, SetParentWindowHandle(notifyWindow). Stops at
// the first failure, whose text is in errorText.
bool StartActionModule(CBootstrapper& pipeline);

bool SetParentWindowHandle(CBootstrapper& pipeline);
bool DoInitialize(CBootstrapper& pipeline, bool& cancel);
bool DoBeforeUninstall(CBootstrapper& pipeline, const std::wstring& productCode, const std::wstring& installLocation,
                       std::wstring& propertyText, LONG& uiLevel, bool& cancel);
bool DoBeforeInstall(CBootstrapper& pipeline, std::wstring& propertyText, LONG& uiLevel, bool& cancel);
bool DoInstallUIAction(CBootstrapper& pipeline, UINT messageType, ULONG record, LONG& result);
bool DoAfterInstall(CBootstrapper& pipeline);

// The end of every installation: Dispose when the object and its id exist,
// the object cleared, the domain unloaded and the host released.
void ReleaseActionModule(CBootstrapper& pipeline);

}  // namespace clrhost
