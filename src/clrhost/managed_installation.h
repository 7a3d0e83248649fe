#pragma once
// The installation steps taken when the release names a custom-action class:
// the module is set up, asked before the removals and the installation, and
// the Windows Installer is driven through its function interface. The
// sequence does not judge the module's calls, only what they hand back; a
// call that fails leaves errorText as it was. Worker thread only.
#include <string>

class CBootstrapper;

namespace clrhost {

// The release names both an assembly and a class.
bool releaseNamesModule(const CBootstrapper& pipeline);

// Sets up the runtime, the domain and the module (StartActionModule), then
// calls DoInitialize. False when a set-up step failed (its text in errorText);
// cancel tells whether the module asked to skip the removals and the installation.
bool StartModuleForRun(CBootstrapper& pipeline, bool& cancel);

// Removes one installed release through the installer interface after
// DoBeforeUninstall. True when the run may go on (also when the module
// skipped this release); false with the failure's text (or none) otherwise.
bool RemoveWithModule(CBootstrapper& pipeline, const std::wstring& productCode);

enum class ModuleInstall { Installed, Cancelled, Failed };

// Installs the downloaded package through the installer interface after
// DoBeforeInstall. The caller then updates the loader manifests and calls
// FinishModuleInstall.
ModuleInstall InstallWithModule(CBootstrapper& pipeline);

// DoAfterInstall with the manifest folder.
void FinishModuleInstall(CBootstrapper& pipeline);

}  // namespace clrhost
