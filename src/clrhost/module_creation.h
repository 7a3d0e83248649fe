#pragma once
// Creating the managed objects in the custom-action domain: the framework's
// own module (told the language, disposed at once) and the product's
// custom-action object with the dispatch ids of its seven methods.
#include <windows.h>
#include <oaidl.h>

#include <string>

#include "clrhost/hosting_interfaces.h"

namespace clrhost {

// The custom-action object's methods, in the order their ids are looked up.
enum ModuleMethod {
    DisposeMethod,
    SetParentWindowHandleMethod,
    DoAfterInstallMethod,
    DoBeforeInstallMethod,
    DoBeforeUninstallMethod,
    DoInitializeMethod,
    DoInstallUIActionMethod,
    ModuleMethodCount
};

// "Dispose", "SetParentWindowHandle", ...
const wchar_t* methodName(ModuleMethod method);

// The language setting read as a decimal number the way stream extraction
// reads it: leading white space skipped, optional sign, 0 without digits,
// clamped to the int range on overflow.
LONG languageNumber(const std::wstring& language);

// The object that actionModule holds; null when there is none.
IDispatch* moduleObject(const VARIANT& actionModule);

// Creates "Korvel.Deployment.KVLStobrinModule" from "Korvel.Deployment",
// calls its member 4097 with the language number (when not 0) and disposes
// it. Leaves nothing behind; false with errorText set on failure.
bool CreateFrameworkModule(clr::_AppDomain* domain, const std::wstring& language, std::wstring& errorText);

// Creates className from assembly into actionModule and looks up the ids of
// the seven methods, stopping at the first that is missing (its id and the
// later ones stay 0). False with errorText set on failure; actionModule may
// then hold the object already, for the caller's clean-up.
bool CreateActionModule(clr::_AppDomain* domain, const std::wstring& assembly, const std::wstring& className,
                        VARIANT& actionModule, DISPID (&ids)[ModuleMethodCount], std::wstring& errorText);

}  // namespace clrhost
