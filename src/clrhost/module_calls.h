#pragma once
// The calls into the custom-action object. Each takes the object (null: no
// module, the call does nothing and returns true) and the method's dispatch id
// (0: the method cannot be called, the call sets its "Failed to call" text and
// returns false). Results come back through cells on the caller's stack whose
// addresses travel in array arguments; they are copied back (text, level, then
// cancel or result) only when the call did not raise an exception, so a failed
// call leaves the caller's values as they were.
#include <windows.h>
#include <oaidl.h>

#include <string>

namespace clrhost {

// What DoInitialize passes, all from the settings except the folder.
struct InitializeArguments {
    std::wstring downloadFolder;
    std::wstring productName;
    std::wstring productCode;
    std::wstring installationUrl;
    std::wstring version;
    std::wstring language;  // passed as a number (VT_I4)
    std::wstring privileges;
};

bool SetParentWindowHandle(IDispatch* module, DISPID id, HWND window, std::wstring& errorText);

bool DoInitialize(IDispatch* module, DISPID id, const InitializeArguments& values, bool& cancel,
                  std::wstring& errorText);

bool DoBeforeUninstall(IDispatch* module, DISPID id, const std::wstring& productCode,
                       const std::wstring& installLocation, std::wstring& propertyText, LONG& uiLevel,
                       const std::wstring& hostApplication, bool& cancel, std::wstring& errorText);

bool DoBeforeInstall(IDispatch* module, DISPID id, std::wstring& propertyText, LONG& uiLevel, bool& cancel,
                     std::wstring& errorText);

// messageType is the installer's full message type; result is the handler's result word.
bool DoInstallUIAction(IDispatch* module, DISPID id, ULONG installerHandle, UINT messageType, ULONG record,
                       LONG& result, std::wstring& errorText);

bool DoAfterInstall(IDispatch* module, DISPID id, const std::wstring& folder, std::wstring& errorText);

// No text of its own: a failure only returns false.
bool Dispose(IDispatch* module, DISPID id);

}  // namespace clrhost
