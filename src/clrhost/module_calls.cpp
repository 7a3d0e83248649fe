#include "clrhost/module_calls.h"

#include "clrhost/dispatch_call.h"
#include "clrhost/module_creation.h"
#include "clrhost/text_cell.h"

namespace clrhost {
namespace {

std::wstring callFailure(const wchar_t* method) {
    return std::wstring(L"Failed to call the ") + method + L" method of the Stobrin module.";
}

bool cannotCall(const wchar_t* method, std::wstring& errorText) {
    errorText = callFailure(method);
    return false;
}

// Invokes the prepared call; sets the method's text when it cannot be made or raised an exception.
bool invokeMethod(IDispatch* module, DISPID id, const wchar_t* method, DispatchArguments& arguments,
                  std::wstring& errorText) {
    if (!arguments.complete() || !arguments.invoke(module, id)) return cannotCall(method, errorText);
    return true;
}

}  // namespace

bool SetParentWindowHandle(IDispatch* module, DISPID id, HWND window, std::wstring& errorText) {
    if (module == nullptr) return true;
    if (id == 0) return cannotCall(L"SetParentWindowHandle", errorText);
    DispatchArguments arguments;
    arguments.addUI8(static_cast<ULONGLONG>(static_cast<LONGLONG>(reinterpret_cast<INT_PTR>(window))));
    return invokeMethod(module, id, L"SetParentWindowHandle", arguments, errorText);
}

bool DoInitialize(IDispatch* module, DISPID id, const InitializeArguments& values, bool& cancel,
                  std::wstring& errorText) {
    if (module == nullptr) return true;
    if (id == 0) return cannotCall(L"DoInitialize", errorText);
    LONG cancelCell = cancel ? 1 : 0;
    VariantArray cells(1);
    cells.setAddress(0, &cancelCell);
    DispatchArguments arguments;
    arguments.addText(values.downloadFolder);
    arguments.addText(values.productName);
    arguments.addText(values.productCode);
    arguments.addText(values.installationUrl);
    arguments.addText(values.version);
    arguments.addI4(languageNumber(values.language));
    arguments.addText(values.privileges);
    arguments.addArray(std::move(cells));
    if (!invokeMethod(module, id, L"DoInitialize", arguments, errorText)) return false;
    cancel = cancelCell != 0;
    return true;
}

bool DoBeforeUninstall(IDispatch* module, DISPID id, const std::wstring& productCode,
                       const std::wstring& installLocation, std::wstring& propertyText, LONG& uiLevel,
                       const std::wstring& hostApplication, bool& cancel, std::wstring& errorText) {
    if (module == nullptr) return true;
    if (id == 0) return cannotCall(L"DoBeforeUninstall", errorText);
    TextCell textCell(propertyText);
    LONG levelCell = uiLevel;
    LONG cancelCell = cancel ? 1 : 0;
    VariantArray cells(4);
    cells.setAddress(0, textCell.address());
    cells.setAddress(1, &levelCell);
    cells.setAddress(2, &cancelCell);
    cells.setText(3, hostApplication);
    DispatchArguments arguments;
    arguments.addText(productCode);
    arguments.addText(installLocation);
    arguments.addArray(std::move(cells));
    if (!textCell.valid() || !invokeMethod(module, id, L"DoBeforeUninstall", arguments, errorText)) {
        return cannotCall(L"DoBeforeUninstall", errorText);
    }
    textCell.copyBack(propertyText);
    uiLevel = levelCell;
    cancel = cancelCell != 0;
    return true;
}

bool DoBeforeInstall(IDispatch* module, DISPID id, std::wstring& propertyText, LONG& uiLevel, bool& cancel,
                     std::wstring& errorText) {
    if (module == nullptr) return true;
    if (id == 0) return cannotCall(L"DoBeforeInstall", errorText);
    TextCell textCell(propertyText);
    LONG levelCell = uiLevel;
    LONG cancelCell = cancel ? 1 : 0;
    VariantArray cells(3);
    cells.setAddress(0, textCell.address());
    cells.setAddress(1, &levelCell);
    cells.setAddress(2, &cancelCell);
    DispatchArguments arguments;
    arguments.addArray(std::move(cells));
    if (!textCell.valid() || !invokeMethod(module, id, L"DoBeforeInstall", arguments, errorText)) {
        return cannotCall(L"DoBeforeInstall", errorText);
    }
    textCell.copyBack(propertyText);
    uiLevel = levelCell;
    cancel = cancelCell != 0;
    return true;
}

bool DoInstallUIAction(IDispatch* module, DISPID id, ULONG installerHandle, UINT messageType, ULONG record,
                       LONG& result, std::wstring& errorText) {
    if (module == nullptr) return true;
    if (id == 0) return cannotCall(L"DoInstallUIAction", errorText);
    LONG resultCell = result;
    VariantArray cells(1);
    cells.setAddress(0, &resultCell);
    DispatchArguments arguments;
    arguments.addUI8(installerHandle);
    arguments.addUInt(messageType & 0xFF000000u);
    arguments.addUI8(record);
    arguments.addI1(static_cast<CHAR>(messageType & 0x0Fu));
    arguments.addI1(static_cast<CHAR>((messageType >> 4) & 0x0Fu));
    arguments.addI1(static_cast<CHAR>((messageType >> 8) & 0x0Fu));
    arguments.addArray(std::move(cells));
    if (!invokeMethod(module, id, L"DoInstallUIAction", arguments, errorText)) return false;
    result = resultCell;
    return true;
}

bool DoAfterInstall(IDispatch* module, DISPID id, const std::wstring& folder, std::wstring& errorText) {
    if (module == nullptr) return true;
    if (id == 0) return cannotCall(L"DoAfterInstall", errorText);
    DispatchArguments arguments;
    arguments.addText(folder);
    return invokeMethod(module, id, L"DoAfterInstall", arguments, errorText);
}

bool Dispose(IDispatch* module, DISPID id) {
    if (module == nullptr) return true;
    if (id == 0) return false;
    DispatchArguments none;
    return none.invoke(module, id);
}

}  // namespace clrhost
