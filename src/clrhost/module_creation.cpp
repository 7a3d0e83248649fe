#include "clrhost/module_creation.h"

#include <climits>

#include "base/unique_any.h"
#include "clrhost/dispatch_call.h"
#include "clrhost/hresult_text.h"

namespace clrhost {
namespace {

const wchar_t kFrameworkAssembly[] = L"Korvel.Deployment";
const wchar_t kFrameworkType[] = L"Korvel.Deployment.KVLStobrinModule";
constexpr DISPID kLanguageMember = 4097;

const wchar_t* const kMethodNames[ModuleMethodCount] = {
    L"Dispose",      L"SetParentWindowHandle", L"DoAfterInstall",    L"DoBeforeInstall",
    L"DoBeforeUninstall", L"DoInitialize",     L"DoInstallUIAction",
};

const wchar_t* const kLookupFailures[ModuleMethodCount] = {
    L"Failed to get DISPID of the Dispose method (HRESULT = 0x%x).",
    L"Failed to get DISPID of the SetParentWindowHandle method (HRESULT = 0x%x).",
    L"Failed to get DISPID of the DoAfterInstall method (HRESULT = 0x%x).",
    L"Failed to get DISPID of the DoBeforeInstall method (HRESULT = 0x%x).",
    L"Failed to get DISPID of the DoBeforeUninstall method (HRESULT = 0x%x).",
    L"Failed to get DISPID of the DoInitialize method (HRESULT = 0x%x).",
    L"Failed to get DISPID of the DoInstallUIAction method (HRESULT = 0x%x).",
};

bool isSpace(wchar_t c) { return c == L' ' || (c >= L'\t' && c <= L'\r'); }

HRESULT createInstance(clr::_AppDomain* domain, const std::wstring& assembly, const std::wstring& type,
                       base::unique_com<clr::_ObjectHandle>& handle) {
    base::unique_bstr assemblyName(::SysAllocString(assembly.c_str()));
    base::unique_bstr typeName(::SysAllocString(type.c_str()));
    if (!assemblyName || !typeName) return E_OUTOFMEMORY;
    const HRESULT hr = domain->CreateInstance(assemblyName.get(), typeName.get(), handle.put());
    if (SUCCEEDED(hr) && !handle) return E_POINTER;
    return hr;
}

// Unwraps the handle into object, which then holds a dispatch pointer; an
// object that is not one counts as a failed unwrap.
HRESULT unwrap(clr::_ObjectHandle* handle, VARIANT& object) {
    ::VariantClear(&object);
    HRESULT hr = handle->Unwrap(&object);
    if (FAILED(hr)) {
        ::VariantInit(&object);  // whatever a failing call left there is not ours to free
        return hr;
    }
    if (V_VT(&object) == VT_UNKNOWN || V_VT(&object) == VT_DISPATCH) {
        const HRESULT converted = ::VariantChangeType(&object, &object, 0, VT_DISPATCH);
        if (FAILED(converted)) {
            ::VariantClear(&object);
            return converted;
        }
        if (V_DISPATCH(&object) != nullptr) return hr;
    }
    ::VariantClear(&object);
    return E_NOINTERFACE;
}

HRESULT lookUp(IDispatch* object, const wchar_t* name, DISPID& id) {
    LPOLESTR names[1] = {const_cast<LPOLESTR>(name)};
    DISPID found = 0;
    const HRESULT hr = object->GetIDsOfNames(IID_NULL, names, 1, 0, &found);
    id = SUCCEEDED(hr) ? found : 0;
    return hr;
}

}  // namespace

const wchar_t* methodName(ModuleMethod method) {
    return method >= 0 && method < ModuleMethodCount ? kMethodNames[method] : L"";
}

LONG languageNumber(const std::wstring& language) {
    size_t i = 0;
    while (i < language.size() && isSpace(language[i])) ++i;
    bool negative = false;
    if (i < language.size() && (language[i] == L'+' || language[i] == L'-')) negative = language[i++] == L'-';
    long long value = 0;
    bool overflow = false;
    for (; i < language.size() && language[i] >= L'0' && language[i] <= L'9'; ++i) {
        value = value * 10 + (language[i] - L'0');
        if (value > static_cast<long long>(INT_MAX) + 1) {
            overflow = true;
            break;
        }
    }
    if (negative) value = -value;
    if (overflow || value > INT_MAX) return negative ? INT_MIN : INT_MAX;
    if (value < INT_MIN) return INT_MIN;
    return static_cast<LONG>(value);
}

IDispatch* moduleObject(const VARIANT& actionModule) {
    return V_VT(&actionModule) == VT_DISPATCH ? V_DISPATCH(&actionModule) : nullptr;
}

bool CreateFrameworkModule(clr::_AppDomain* domain, const std::wstring& language, std::wstring& errorText) {
    if (domain == nullptr) {
        errorText = L"The app domain was not created.";
        return false;
    }
    base::unique_com<clr::_ObjectHandle> handle;
    HRESULT hr = createInstance(domain, kFrameworkAssembly, kFrameworkType, handle);
    if (FAILED(hr)) {
        errorText = hresultMessage(L"Failed to create an instance of the '%s' class (HRESULT = 0x%x).",
                                   kFrameworkType, hr);
        return false;
    }
    VARIANT object;
    ::VariantInit(&object);
    hr = unwrap(handle.get(), object);
    if (FAILED(hr)) {
        errorText = hresultMessage(L"Failed to unwrap the '%s' object (HRESULT = 0x%x).", kFrameworkType, hr);
        return false;
    }
    IDispatch* module = V_DISPATCH(&object);
    DISPID disposeId = 0;
    hr = lookUp(module, L"Dispose", disposeId);
    if (FAILED(hr)) {
        errorText = hresultMessage(L"Failed to get DISPID of the Dispose method (HRESULT = 0x%x).", hr);
    } else {
        // Failures of these two calls are of no consequence: the module only
        // learns the language and is let go.
        const LONG number = languageNumber(language);
        if (number != 0) {
            DispatchArguments arguments;
            arguments.addUI4(static_cast<ULONG>(number));
            arguments.invoke(module, kLanguageMember);
        }
        if (disposeId != 0) {
            DispatchArguments none;
            none.invoke(module, disposeId);
        }
    }
    ::VariantClear(&object);
    return hr == S_OK;
}

bool CreateActionModule(clr::_AppDomain* domain, const std::wstring& assembly, const std::wstring& className,
                        VARIANT& actionModule, DISPID (&ids)[ModuleMethodCount], std::wstring& errorText) {
    for (DISPID& id : ids) id = 0;
    if (domain == nullptr) {
        errorText = L"The app domain was not created.";
        return false;
    }
    base::unique_com<clr::_ObjectHandle> handle;
    HRESULT hr = createInstance(domain, assembly, className, handle);
    if (FAILED(hr)) {
        errorText = hresultMessage(L"Failed to create an instance of the managed module (HRESULT = 0x%x).", hr);
        return false;
    }
    hr = unwrap(handle.get(), actionModule);
    if (FAILED(hr)) {
        errorText = hresultMessage(L"Failed to unwrap the managed object (HRESULT = 0x%x).", hr);
        return false;
    }
    IDispatch* module = V_DISPATCH(&actionModule);
    for (int method = 0; method < ModuleMethodCount; ++method) {
        hr = lookUp(module, kMethodNames[method], ids[method]);
        if (FAILED(hr)) {
            errorText = hresultMessage(kLookupFailures[method], hr);
            return false;
        }
    }
    return hr == S_OK;
}

}  // namespace clrhost
