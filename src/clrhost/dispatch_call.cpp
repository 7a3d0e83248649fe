#include "clrhost/dispatch_call.h"

namespace clrhost {

LONGLONG cellAddress(const void* cell) {
    return static_cast<LONGLONG>(reinterpret_cast<INT_PTR>(cell));
}

VariantArray::VariantArray(ULONG count) : array_(::SafeArrayCreateVector(VT_VARIANT, 0, count)) {
    complete_ = array_.valid();
}

bool VariantArray::set(LONG index, const VARIANT& value) {
    if (!array_) return false;
    VARIANT* elements = nullptr;
    if (FAILED(::SafeArrayAccessData(array_.get(), reinterpret_cast<void**>(&elements)))) return false;
    const ULONG count = array_.get()->rgsabound[0].cElements;
    const bool inside = index >= 0 && static_cast<ULONG>(index) < count;
    if (inside) {
        ::VariantClear(&elements[index]);
        elements[index] = value;  // the array owns it from here on
    }
    ::SafeArrayUnaccessData(array_.get());
    return inside;
}

void VariantArray::setAddress(LONG index, const void* cell) {
    VARIANT value;
    ::VariantInit(&value);
    V_VT(&value) = VT_I8;
    V_I8(&value) = cellAddress(cell);
    if (!set(index, value)) complete_ = false;
}

void VariantArray::setText(LONG index, const std::wstring& text) {
    VARIANT value;
    ::VariantInit(&value);
    V_VT(&value) = VT_BSTR;
    V_BSTR(&value) = ::SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
    if (V_BSTR(&value) == nullptr || !set(index, value)) {
        ::VariantClear(&value);
        complete_ = false;
    }
}

void DispatchArguments::addText(const std::wstring& text) {
    base::unique_bstr copy(::SysAllocStringLen(text.data(), static_cast<UINT>(text.size())));
    if (!copy) complete_ = false;
    VARIANT value;
    ::VariantInit(&value);
    V_VT(&value) = VT_BSTR;
    V_BSTR(&value) = copy.get();
    texts_.push_back(std::move(copy));
    add(value);
}

void DispatchArguments::addI4(LONG number) {
    VARIANT value;
    ::VariantInit(&value);
    V_VT(&value) = VT_I4;
    V_I4(&value) = number;
    add(value);
}

void DispatchArguments::addUI4(ULONG number) {
    VARIANT value;
    ::VariantInit(&value);
    V_VT(&value) = VT_UI4;
    V_UI4(&value) = number;
    add(value);
}

void DispatchArguments::addUInt(UINT number) {
    VARIANT value;
    ::VariantInit(&value);
    V_VT(&value) = VT_UINT;
    V_UINT(&value) = number;
    add(value);
}

void DispatchArguments::addUI8(ULONGLONG number) {
    VARIANT value;
    ::VariantInit(&value);
    V_VT(&value) = VT_UI8;
    V_UI8(&value) = number;
    add(value);
}

void DispatchArguments::addI1(CHAR number) {
    VARIANT value;
    ::VariantInit(&value);
    V_VT(&value) = VT_I1;
    V_I1(&value) = number;
    add(value);
}

void DispatchArguments::addArray(VariantArray&& array) {
    if (!array.complete()) complete_ = false;
    base::unique_safearray owned(array.release());
    VARIANT value;
    ::VariantInit(&value);
    V_VT(&value) = VT_ARRAY;
    V_ARRAY(&value) = owned.get();
    arrays_.push_back(std::move(owned));
    add(value);
}

bool DispatchArguments::invoke(IDispatch* object, DISPID id) {
    std::vector<VARIANT> reversed(values_.rbegin(), values_.rend());
    DISPPARAMS params = {};
    params.rgvarg = reversed.empty() ? nullptr : reversed.data();
    params.cArgs = static_cast<UINT>(reversed.size());

    VARIANT result;
    ::VariantInit(&result);
    EXCEPINFO exception = {};
    UINT argumentError = 0;
    const HRESULT hr =
        object->Invoke(id, IID_NULL, 0, DISPATCH_METHOD, &params, &result, &exception, &argumentError);
    ::VariantClear(&result);
    if (hr != DISP_E_EXCEPTION) return true;
    if (exception.pfnDeferredFillIn != nullptr) exception.pfnDeferredFillIn(&exception);
    ::SysFreeString(exception.bstrSource);
    ::SysFreeString(exception.bstrDescription);
    ::SysFreeString(exception.bstrHelpFile);
    return false;
}

}  // namespace clrhost
