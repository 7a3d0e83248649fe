// The object a domain creates: a scriptable IDispatch with the seven methods
// of a custom-action class (and the framework module's member 4097). It
// records each call with its arguments and the cells it read, then acts as
// the scenario says.
#include <vector>

#include "com_object.h"

namespace standin {
namespace {

struct Method {
    const wchar_t* name;
    DISPID id;
};

// Ids in an order of their own, so a caller that mixes them up is seen.
const Method kMethods[] = {
    {L"DoInitialize", 0x60020000},     {L"SetParentWindowHandle", 0x60020001}, {L"DoBeforeUninstall", 0x60020002},
    {L"DoBeforeInstall", 0x60020003},  {L"DoInstallUIAction", 0x60020004},     {L"DoAfterInstall", 0x60020005},
    {L"Dispose", 0x60020006},
};
constexpr DISPID kLanguageMember = 4097;

// What each method's array holds: t text cell, l level cell, c cancel cell,
// r result cell, s a text.
const char* cellLayout(const std::wstring& method) {
    if (method == L"DoInitialize") return "c";
    if (method == L"DoBeforeUninstall") return "tlcs";
    if (method == L"DoBeforeInstall") return "tlc";
    if (method == L"DoInstallUIAction") return "r";
    return "";
}

bool equalNoCase(const std::wstring& a, const std::wstring& b) {
    return ::CompareStringOrdinal(a.c_str(), -1, b.c_str(), -1, TRUE) == CSTR_EQUAL;
}

bool listed(const std::string& list, const std::wstring& name) {
    const std::wstring wide = widen(list);
    size_t start = 0;
    while (start <= wide.size()) {
        size_t end = wide.find(L',', start);
        if (end == std::wstring::npos) end = wide.size();
        std::wstring item = wide.substr(start, end - start);
        while (!item.empty() && item.back() == L' ') item.pop_back();
        while (!item.empty() && item.front() == L' ') item.erase(0, 1);
        if (!item.empty() && equalNoCase(item, name)) return true;
        start = end + 1;
    }
    return false;
}

// A pointer of this process's width, sign-extended to 64 bits (in a 32-bit
// process the upper half repeats bit 31).
bool addressOk(LONGLONG value) {
    return value == static_cast<LONGLONG>(static_cast<INT_PTR>(value)) && value != 0;
}

template <typename T>
T* cellAt(LONGLONG value) {
    return reinterpret_cast<T*>(static_cast<INT_PTR>(value));
}

std::string describe(const VARIANT& value, bool element);

std::string describeArray(const VARIANT& value) {
    std::string json = "{\"vt\":" + std::to_string(V_VT(&value));
    SAFEARRAY* array = (V_VT(&value) & VT_BYREF) ? nullptr : V_ARRAY(&value);
    if (array == nullptr) return json + ",\"array\":null}";
    VARTYPE elementType = VT_EMPTY;
    ::SafeArrayGetVartype(array, &elementType);
    LONG lower = 0, upper = -1;
    ::SafeArrayGetLBound(array, 1, &lower);
    ::SafeArrayGetUBound(array, 1, &upper);
    json += ",\"dims\":" + std::to_string(::SafeArrayGetDim(array)) + ",\"element_vt\":" +
            std::to_string(elementType) + ",\"lbound\":" + std::to_string(lower) +
            ",\"count\":" + std::to_string(upper - lower + 1);
    if (elementType == VT_VARIANT && ::SafeArrayGetDim(array) == 1) {
        VARIANT* elements = nullptr;
        if (SUCCEEDED(::SafeArrayAccessData(array, reinterpret_cast<void**>(&elements)))) {
            json += ",\"elements\":[";
            for (LONG i = 0; i <= upper - lower; ++i) json += (i ? "," : "") + describe(elements[i], true);
            json += "]";
            ::SafeArrayUnaccessData(array);
        }
    }
    return json + "}";
}

std::string describe(const VARIANT& value, bool element) {
    const VARTYPE type = V_VT(&value);
    if (type & VT_ARRAY) return describeArray(value);
    std::string json = "{\"vt\":" + std::to_string(type);
    switch (type) {
    case VT_BSTR:
        json += ",\"value\":" + (V_BSTR(&value) == nullptr
                                     ? std::string("null")
                                     : jsonString(narrow(std::wstring(V_BSTR(&value), ::SysStringLen(V_BSTR(&value))))));
        break;
    case VT_I4: json += ",\"value\":" + std::to_string(V_I4(&value)); break;
    case VT_UI4: json += ",\"value\":" + std::to_string(V_UI4(&value)); break;
    case VT_UINT: json += ",\"value\":" + std::to_string(V_UINT(&value)); break;
    case VT_I1: json += ",\"value\":" + std::to_string(static_cast<int>(static_cast<signed char>(V_I1(&value)))); break;
    case VT_UI8: json += ",\"value\":" + std::to_string(V_UI8(&value)); break;
    case VT_I8:
        // Addresses differ from run to run: only whether they are well formed is recorded.
        if (element) json += std::string(",\"address\":") + (addressOk(V_I8(&value)) ? "\"ok\"" : "\"bad\"");
        else json += ",\"value\":" + std::to_string(V_I8(&value));
        break;
    default: break;
    }
    return json + "}";
}

// The cells of one call, found through the method's array argument.
struct Cells {
    wchar_t** text = nullptr;
    LONG* level = nullptr;
    LONG* cancel = nullptr;
    LONG* result = nullptr;
    std::wstring error;
};

Cells findCells(const std::wstring& method, const DISPPARAMS* params) {
    Cells cells;
    const std::string layout = cellLayout(method);
    if (layout.empty()) return cells;
    if (params == nullptr || params->cArgs == 0) {
        cells.error = L"no arguments";
        return cells;
    }
    const VARIANT& last = params->rgvarg[0];  // the last managed parameter
    if (V_VT(&last) != VT_ARRAY || V_ARRAY(&last) == nullptr) {
        cells.error = L"the last argument is not a plain VT_ARRAY";
        return cells;
    }
    SAFEARRAY* array = V_ARRAY(&last);
    VARTYPE elementType = VT_EMPTY;
    LONG lower = 0, upper = -1;
    if (FAILED(::SafeArrayGetVartype(array, &elementType)) || elementType != VT_VARIANT ||
        ::SafeArrayGetDim(array) != 1 || FAILED(::SafeArrayGetLBound(array, 1, &lower)) ||
        FAILED(::SafeArrayGetUBound(array, 1, &upper)) || lower != 0 ||
        upper + 1 != static_cast<LONG>(layout.size())) {
        cells.error = L"the array is not one of VARIANT with the expected elements";
        return cells;
    }
    VARIANT* elements = nullptr;
    if (FAILED(::SafeArrayAccessData(array, reinterpret_cast<void**>(&elements)))) {
        cells.error = L"the array cannot be read";
        return cells;
    }
    for (size_t i = 0; i < layout.size(); ++i) {
        const VARIANT& element = elements[i];
        if (layout[i] == 's') {
            if (V_VT(&element) != VT_BSTR) cells.error = L"a text element is not VT_BSTR";
            continue;
        }
        if (V_VT(&element) != VT_I8 || !addressOk(V_I8(&element))) {
            cells.error = L"a cell element is not a well-formed VT_I8 address";
            continue;
        }
        switch (layout[i]) {
        case 't': cells.text = cellAt<wchar_t*>(V_I8(&element)); break;
        case 'l': cells.level = cellAt<LONG>(V_I8(&element)); break;
        case 'c': cells.cancel = cellAt<LONG>(V_I8(&element)); break;
        case 'r': cells.result = cellAt<LONG>(V_I8(&element)); break;
        }
    }
    ::SafeArrayUnaccessData(array);
    if (!cells.error.empty()) cells = Cells{nullptr, nullptr, nullptr, nullptr, cells.error};
    return cells;
}

std::string describeCells(const Cells& cells) {
    std::string json = "{";
    auto add = [&json](const std::string& part) { json += (json.size() > 1 ? "," : "") + part; };
    if (cells.text != nullptr) {
        const wchar_t* text = *cells.text;
        if (text == nullptr) {
            add("\"text\":null");
        } else {
            HGLOBAL block = ::GlobalHandle(text);
            const SIZE_T bytes = block != nullptr ? ::GlobalSize(block) : 0;
            add("\"text\":" + (bytes ? jsonString(narrow(text)) : std::string("\"<not a global block>\"")));
            add("\"text_block_bytes\":" + std::to_string(bytes));
        }
    }
    if (cells.level != nullptr) add("\"level\":" + std::to_string(*cells.level));
    if (cells.cancel != nullptr) add("\"cancel\":" + std::to_string(*cells.cancel));
    if (cells.result != nullptr) add("\"result\":" + std::to_string(*cells.result));
    return json + "}";
}

// The managed-order text of the first VT_BSTR argument.
std::wstring firstText(const DISPPARAMS* params) {
    if (params == nullptr) return std::wstring();
    for (UINT i = params->cArgs; i-- > 0;) {
        const VARIANT& value = params->rgvarg[i];
        if (V_VT(&value) == VT_BSTR && V_BSTR(&value) != nullptr) return V_BSTR(&value);
    }
    return std::wstring();
}

// DoInstallUIAction's message kind (its VT_UINT argument); -1 for other calls.
long long messageKind(const DISPPARAMS* params) {
    if (params == nullptr || params->cArgs != 7 || V_VT(&params->rgvarg[5]) != VT_UINT) return -1;
    return V_UINT(&params->rgvarg[5]);
}

wchar_t* globalCopy(const std::wstring& text) {
    auto* block = static_cast<wchar_t*>(::GlobalAlloc(GPTR, (text.size() + 1) * sizeof(wchar_t)));
    if (block != nullptr) text.copy(block, text.size());
    return block;
}

// Not a block of the global heap: what a careless module might leave in the text cell.
wchar_t garbageText[] = L"GARBAGE";

class ScriptedObject : public ComObject<IDispatch> {
public:
    explicit ScriptedObject(const std::wstring& type) : ComObject("Object"), type_(type) {}

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override {
        return answer(riid, object, IID_IDispatch);
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {
        if (count != nullptr) *count = 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return unexpected("GetTypeInfo"); }

    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID riid, LPOLESTR* names, UINT count, LCID locale,
                                            DISPID* ids) override {
        if (names == nullptr || ids == nullptr) return E_POINTER;
        HRESULT hr = S_OK;
        for (UINT i = 0; i < count; ++i) {
            ids[i] = DISPID_UNKNOWN;
            const std::wstring name = names[i] != nullptr ? names[i] : L"";
            const bool missing =
                listed(setting("missing"), name) || listed(setting("missing." + narrow(type_)), name);
            for (const Method& method : kMethods) {
                if (!missing && equalNoCase(name, method.name)) ids[i] = method.id;
            }
            if (ids[i] == DISPID_UNKNOWN) hr = DISP_E_UNKNOWNNAME;
            Record record("GetIDsOfNames");
            record.text("type", type_).text("name", name).number("count", count).number("lcid", locale)
                .flag("riid_null", riid == IID_NULL);
            if (ids[i] != DISPID_UNKNOWN) record.number("dispid", ids[i]);
            else record.hresult(DISP_E_UNKNOWNNAME);
            record.write();
        }
        return hr;
    }

    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID riid, LCID locale, WORD flags, DISPPARAMS* params,
                                     VARIANT* result, EXCEPINFO* exception, UINT*) override {
        const std::wstring method = methodName(id);
        Record record("Invoke");
        record.text("type", type_).text("method", method).number("dispid", id).flag("riid_null", riid == IID_NULL)
            .number("lcid", locale).number("flags", flags).flag("result_given", result != nullptr)
            .flag("after_dispose", disposed_);
        if (params == nullptr) {
            record.raw("args", "null").hresult(E_POINTER).write();
            return E_POINTER;
        }
        record.number("named", params->cNamedArgs).number("argc", params->cArgs);
        std::string args = "[";
        for (UINT i = params->cArgs; i-- > 0;) {  // managed order: the last VARIANT first
            args += (args.size() > 1 ? "," : "") + describe(params->rgvarg[i], false);
        }
        record.raw("args", args + "]");
        if (method.empty()) {
            record.hresult(DISP_E_MEMBERNOTFOUND).write();
            return DISP_E_MEMBERNOTFOUND;
        }
        if (method == L"Dispose") disposed_ = true;
        if (method == L"DoInstallUIAction") describeRecord(record, *params);

        Cells cells = findCells(method, params);
        if (!cells.error.empty()) record.text("error", cells.error);
        record.raw("read", describeCells(cells));

        const std::string key = narrow(method) + ".";
        const bool applies = (!hasSetting(key + "when") || widen(setting(key + "when")) == firstText(params)) &&
                             (!hasSetting(key + "kind") || parseNumber(setting(key + "kind")) == messageKind(params));
        HRESULT hr = S_OK;
        if (applies) {
            act(key, cells);
            record.raw("wrote", describeCells(cells));
            if (setting(key + "throw") == "1") hr = DISP_E_EXCEPTION;
            else if (hasSetting(key + "hresult")) hr = static_cast<HRESULT>(parseNumber(setting(key + "hresult")));
        }
        if (hr == DISP_E_EXCEPTION && exception != nullptr) {
            *exception = EXCEPINFO{};
            exception->bstrSource = ::SysAllocString(L"StandinRuntime");
            exception->bstrDescription = ::SysAllocString((L"Scripted exception in " + method + L".").c_str());
            exception->scode = static_cast<SCODE>(0x80131500);  // COR_E_EXCEPTION
        }
        if (result != nullptr && SUCCEEDED(hr)) ::VariantInit(result);
        record.hresult(hr).write();
        return hr;
    }

protected:
    std::wstring typeName() const override { return type_; }

private:
    static std::wstring methodName(DISPID id) {
        for (const Method& method : kMethods) {
            if (method.id == id) return method.name;
        }
        return id == kLanguageMember ? L"#4097" : L"";
    }

    static void act(const std::string& key, Cells& cells) {
        if (setting(key + "garbage") == "1") {
            if (cells.text != nullptr) *cells.text = garbageText;
            if (cells.level != nullptr) *cells.level = 0x5A5A5A5A;
            if (cells.result != nullptr) *cells.result = 0x5A5A5A5A;
            return;
        }
        if (cells.text != nullptr && hasSetting(key + "text")) {
            const std::wstring text = widen(setting(key + "text"));
            wchar_t* old = *cells.text;
            *cells.text = text.empty() ? nullptr : globalCopy(text);
            if (old != nullptr) ::GlobalFree(::GlobalHandle(old));
        }
        if (cells.level != nullptr && hasSetting(key + "level")) {
            *cells.level = static_cast<LONG>(parseNumber(setting(key + "level")));
        }
        if (cells.cancel != nullptr && hasSetting(key + "cancel")) {
            *cells.cancel = static_cast<LONG>(parseNumber(setting(key + "cancel")));
        }
        if (cells.result != nullptr && hasSetting(key + "result")) {
            *cells.result = static_cast<LONG>(parseNumber(setting(key + "result")));
        }
    }

    // The installer record behind DoInstallUIAction's third argument, read
    // through the msi.dll the host has loaded.
    static void describeRecord(Record& record, const DISPPARAMS& params) {
        if (params.cArgs != 7 || V_VT(&params.rgvarg[4]) != VT_UI8) return;
        const ULONG handle = static_cast<ULONG>(V_UI8(&params.rgvarg[4]));
        HMODULE msi = ::GetModuleHandleW(L"msi.dll");
        if (msi == nullptr) return;
        using FieldCount = UINT(WINAPI*)(ULONG);
        using FormatRecord = UINT(WINAPI*)(ULONG, ULONG, LPWSTR, DWORD*);
        auto fieldCount = reinterpret_cast<FieldCount>(
            reinterpret_cast<void (*)()>(::GetProcAddress(msi, "MsiRecordGetFieldCount")));
        auto formatRecord = reinterpret_cast<FormatRecord>(
            reinterpret_cast<void (*)()>(::GetProcAddress(msi, "MsiFormatRecordW")));
        if (fieldCount == nullptr || formatRecord == nullptr) return;
        record.number("record_fields", static_cast<LONG>(fieldCount(handle)));
        wchar_t text[1024] = {};
        DWORD length = 1024;
        if (formatRecord(0, handle, text, &length) == ERROR_SUCCESS) record.text("record_text", text);

        // The installer properties the scenario asks about.
        const ULONG installer = V_VT(&params.rgvarg[6]) == VT_UI8 ? static_cast<ULONG>(V_UI8(&params.rgvarg[6])) : 0;
        const std::string names = setting("read_properties");
        using GetProperty = UINT(WINAPI*)(ULONG, LPCWSTR, LPWSTR, DWORD*);
        auto getProperty = reinterpret_cast<GetProperty>(
            reinterpret_cast<void (*)()>(::GetProcAddress(msi, "MsiGetPropertyW")));
        if (names.empty() || installer == 0 || getProperty == nullptr) return;
        std::string json = "{";
        size_t start = 0;
        while (start <= names.size()) {
            size_t end = names.find(',', start);
            if (end == std::string::npos) end = names.size();
            const std::string name = names.substr(start, end - start);
            start = end + 1;
            if (name.empty()) continue;
            wchar_t value[1024] = {};
            DWORD size = 1024;
            const UINT status = getProperty(installer, widen(name).c_str(), value, &size);
            json += (json.size() > 1 ? "," : "") + jsonString(name) + ":" +
                    (status == ERROR_SUCCESS ? jsonString(narrow(value)) : std::string("null"));
        }
        record.raw("properties", json + "}");
    }

    std::wstring type_;
    bool disposed_ = false;
};

}  // namespace

HRESULT createScriptedObject(const std::wstring& type, IDispatch** object) {
    *object = new ScriptedObject(type);
    return S_OK;
}

}  // namespace standin
