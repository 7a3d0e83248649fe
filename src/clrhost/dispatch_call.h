#pragma once
// Late-bound calls into a managed object: positional arguments given in the
// managed parameter order, passed reversed as dispatch requires, with every
// BSTR and SAFEARRAY owned by the call and freed after it.
#include <windows.h>
#include <oaidl.h>

#include <string>
#include <vector>

#include "base/unique_any.h"

namespace clrhost {

// The address of a result cell as the managed side reads it: sign-extended to 64 bits.
LONGLONG cellAddress(const void* cell);

// A one-dimensional SAFEARRAY of VARIANT with lower bound 0, filled element by
// element; the array owns what its elements hold.
class VariantArray {
public:
    explicit VariantArray(ULONG count);
    // False when the array or one of its strings could not be allocated.
    bool complete() const { return complete_; }
    void setAddress(LONG index, const void* cell);           // VT_I8
    void setText(LONG index, const std::wstring& text);      // VT_BSTR
    SAFEARRAY* release() { return array_.release(); }

private:
    bool set(LONG index, const VARIANT& value);

    base::unique_safearray array_;
    bool complete_;
};

class DispatchArguments {
public:
    DispatchArguments() = default;
    DispatchArguments(const DispatchArguments&) = delete;
    DispatchArguments& operator=(const DispatchArguments&) = delete;

    void addText(const std::wstring& text);  // VT_BSTR, a fresh copy
    void addI4(LONG value);
    void addUI4(ULONG value);
    void addUInt(UINT value);
    void addUI8(ULONGLONG value);
    void addI1(CHAR value);
    // VT_ARRAY with no element type in the VARIANT itself; the call owns the array.
    void addArray(VariantArray&& array);

    // False when an allocation failed; such arguments are never passed.
    bool complete() const { return complete_; }

    // Invokes member id of object as a method with these arguments. The
    // HRESULT and the result are not looked at; false only when the call
    // raised an exception (DISP_E_EXCEPTION, the form a managed throw takes).
    bool invoke(IDispatch* object, DISPID id);

private:
    void add(const VARIANT& value) { values_.push_back(value); }

    std::vector<VARIANT> values_;  // managed order; the VARIANTs own nothing
    std::vector<base::unique_bstr> texts_;
    std::vector<base::unique_safearray> arrays_;
    bool complete_ = true;
};

}  // namespace clrhost
