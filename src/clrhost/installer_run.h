#pragma once
// One run of the Windows Installer's top-level action through its function
// interface, with the custom-action object watching the installer's messages.
#include <windows.h>
#include <msi.h>
#include <msiquery.h>

#include <string>

class CBootstrapper;

namespace clrhost {

enum class InstallerDirection { Uninstall, Install };

struct InstallerRun {
    InstallerDirection direction = InstallerDirection::Install;
    std::wstring target;        // the product code to remove, or the package path to install
    std::wstring propertyText;  // NAME=VALUE pairs separated by single spaces
    LONG uiLevel = INSTALLUILEVEL_NONE;
    bool uiShown = false;       // the direction's UI preference; judges a failed action
};

// Sets the internal UI level, opens the product or package (its handle is the
// pipeline's installerHandle meanwhile), registers InstallerUIHandler, sets
// CLIENTUILEVEL=0, UPGRADINGPRODUCTCODE (removal only) and the property text,
// and runs the top-level action. On success restores the UI level when there
// is a notify window. The handle is closed and the handler unregistered before
// it returns. False on
// failure, with errorText set, or unchanged when the user cancelled or the
// installer's own UI has shown the error.
bool RunInstallerAction(CBootstrapper& pipeline, const InstallerRun& run);

// The result of the top-level action: true for success (a restart request, 3010
// or 1641, included); otherwise false, with
// the direction's failure text unless the user cancelled (1602) or the
// direction's UI was shown (the installer has told the user itself).
bool judgeInstallerAction(UINT status, InstallerDirection direction, bool uiShown, std::wstring& errorText);

// Sets each NAME=VALUE token of propertyText on the handle (tokens without "="
// or with an empty name are skipped; the first "=" splits). The diagnostic log
// names each property, never its value. False at the first failure, with its
// text naming the token.
bool ApplyPropertyText(MSIHANDLE handle, const std::wstring& propertyText, std::wstring& errorText);

// The record-based external UI handler; context is the pipeline object. Hands
// each message to DoInstallUIAction and returns the module's result word.
INT CALLBACK InstallerUIHandler(LPVOID context, UINT messageType, MSIHANDLE record);

// What InstallerUIHandler is registered for: message types 0 to 14, install start and end.
constexpr DWORD installerMessageFilter = 0x0C007FFF;

}  // namespace clrhost
