#pragma once
// The process's .NET runtime host and the application domain for custom
// actions. Only the pipeline worker touches this state, one call after the
// other; a runtime once loaded stays loaded for the life of the process.
#include <string>

#include "clrhost/hosting_interfaces.h"

namespace clrhost {

// Null while the runtime is not loaded / no domain exists.
clr::ICorRuntimeHost* runtimeHost();
clr::_AppDomain* actionsDomain();
// File name of the domain's configuration file (set by CreateActionsDomain).
const std::wstring& domainConfigFileName();

// Loads "mscoree.dll" from the system folder and starts the runtime of the
// version folder clrVersion; fills runningClrVersion. True at once when a host
// exists. False with errorText set on failure (a success code other than S_OK
// gives false without a text).
bool StartRuntime(const std::wstring& clrVersion, std::wstring& runningClrVersion, std::wstring& errorText);

// Creates the domain: application base downloadFolder, private bin path
// downloadFolder + "\actions", the assembly's configuration file when it exists
// there, friendly name moduleDirectory. True at once when the domain exists.
bool CreateActionsDomain(const std::wstring& downloadFolder, const std::wstring& customActionAssembly,
                         const std::wstring& moduleDirectory, std::wstring& errorText);

// Unloads and releases the domain, then releases the host. Safe to call at any
// time; also done when the process ends with the pointers still set.
void ReleaseRuntime();

}  // namespace clrhost
