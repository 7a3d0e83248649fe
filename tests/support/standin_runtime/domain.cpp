// The domain setup object, the application domain and the object handle.
#include "com_object.h"

namespace standin {
namespace {

// Lets the runtime host recognise a setup object of ours.
// {6E3F2A10-5B7C-4D8E-9A1B-2C3D4E5F6071}
const GUID IID_StandinSetup = {0x6e3f2a10, 0x5b7c, 0x4d8e, {0x9a, 0x1b, 0x2c, 0x3d, 0x4e, 0x5f, 0x60, 0x71}};
// {6E3F2A11-5B7C-4D8E-9A1B-2C3D4E5F6071}
const GUID IID_StandinDomain = {0x6e3f2a11, 0x5b7c, 0x4d8e, {0x9a, 0x1b, 0x2c, 0x3d, 0x4e, 0x5f, 0x60, 0x71}};

std::wstring textOf(BSTR value) { return value != nullptr ? std::wstring(value, ::SysStringLen(value)) : L""; }

class DomainSetup : public ComObject<clr::IAppDomainSetup> {
public:
    DomainSetup() : ComObject("AppDomainSetup") {}
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override {
        if (riid == IID_StandinSetup && object != nullptr) {
            *object = this;
            AddRef();
            return S_OK;
        }
        if (riid == clr::IID_IAppDomainSetup) {
            const HRESULT hr = scriptedFailure("QueryAppDomainSetup");
            Record("QueryInterface").text("object", kind_).text("iid", guidText(riid)).hresult(hr).write();
            if (FAILED(hr)) {
                if (object != nullptr) *object = nullptr;
                return hr;
            }
        }
        return answer(riid, object, clr::IID_IAppDomainSetup);
    }

    SetupValues values;

#define STANDIN_PROPERTY(Name, member)                                                            \
    HRESULT STDMETHODCALLTYPE get_##Name(BSTR* value) override {                                  \
        if (value == nullptr) return E_POINTER;                                                   \
        *value = ::SysAllocString(member.c_str());                                                \
        return S_OK;                                                                              \
    }                                                                                             \
    HRESULT STDMETHODCALLTYPE put_##Name(BSTR value) override {                                   \
        const HRESULT hr = scriptedFailure("put_" #Name);                                         \
        Record("put_" #Name).text("value", value).hresult(hr).write();                           \
        if (SUCCEEDED(hr)) member = textOf(value);                                                \
        return hr;                                                                                \
    }
    STANDIN_PROPERTY(ApplicationBase, values.applicationBase)
    STANDIN_PROPERTY(ConfigurationFile, values.configurationFile)
    STANDIN_PROPERTY(PrivateBinPath, values.privateBinPath)
#undef STANDIN_PROPERTY

#define STANDIN_UNUSED_PROPERTY(Name)                                                                   \
    HRESULT STDMETHODCALLTYPE get_##Name(BSTR*) override { return unexpected("get_" #Name); }          \
    HRESULT STDMETHODCALLTYPE put_##Name(BSTR) override { return unexpected("put_" #Name); }
    STANDIN_UNUSED_PROPERTY(ApplicationName)
    STANDIN_UNUSED_PROPERTY(CachePath)
    STANDIN_UNUSED_PROPERTY(DynamicBase)
    STANDIN_UNUSED_PROPERTY(LicenseFile)
    STANDIN_UNUSED_PROPERTY(PrivateBinPathProbe)
    STANDIN_UNUSED_PROPERTY(ShadowCopyDirectories)
    STANDIN_UNUSED_PROPERTY(ShadowCopyFiles)
#undef STANDIN_UNUSED_PROPERTY
};

class ObjectHandle : public ComObject<clr::_ObjectHandle> {
public:
    ObjectHandle(const std::wstring& assembly, const std::wstring& type)
        : ComObject("ObjectHandle"), assembly_(assembly), type_(type) {}
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override {
        return answer(riid, object, clr::IID__ObjectHandle, IID_IDispatch);
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT*) override { return unexpected("GetTypeInfoCount"); }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return unexpected("GetTypeInfo"); }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override {
        return unexpected("GetIDsOfNames");
    }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) override {
        return unexpected("Invoke");
    }
    HRESULT STDMETHODCALLTYPE get_ToString(BSTR*) override { return unexpected("get_ToString"); }
    HRESULT STDMETHODCALLTYPE Equals(VARIANT, VARIANT_BOOL*) override { return unexpected("Equals"); }
    HRESULT STDMETHODCALLTYPE GetHashCode(LONG*) override { return unexpected("GetHashCode"); }
    HRESULT STDMETHODCALLTYPE GetType(IUnknown**) override { return unexpected("GetType"); }
    HRESULT STDMETHODCALLTYPE GetLifetimeService(VARIANT*) override { return unexpected("GetLifetimeService"); }
    HRESULT STDMETHODCALLTYPE InitializeLifetimeService(VARIANT*) override {
        return unexpected("InitializeLifetimeService");
    }
    HRESULT STDMETHODCALLTYPE CreateObjRef(IUnknown*, IUnknown**) override { return unexpected("CreateObjRef"); }
    HRESULT STDMETHODCALLTYPE Unwrap(VARIANT* object) override {
        HRESULT hr = scriptedFailure("Unwrap." + narrow(type_));
        if (hr == S_OK) hr = scriptedFailure("Unwrap");
        const bool garbage = setting("unwrap." + narrow(type_)) == "garbage";
        if (SUCCEEDED(hr) && object == nullptr) hr = E_POINTER;
        if (SUCCEEDED(hr)) {
            ::VariantInit(object);
            if (garbage) {
                V_VT(object) = VT_I4;
                V_I4(object) = 0x5A5A5A5A;
            } else {
                IDispatch* created = nullptr;
                hr = createScriptedObject(type_, &created);
                if (SUCCEEDED(hr)) {
                    V_VT(object) = VT_DISPATCH;
                    V_DISPATCH(object) = created;
                }
            }
        }
        Record("Unwrap").text("assembly", assembly_).text("type", type_).flag("garbage", garbage).hresult(hr).write();
        return hr;
    }

protected:
    std::wstring typeName() const override { return type_; }

private:
    std::wstring assembly_;
    std::wstring type_;
};

class Domain : public ComObject<clr::_AppDomain> {
public:
    explicit Domain(const std::wstring& name) : ComObject("AppDomain"), name_(name) {}
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override {
        if (riid == IID_StandinDomain && object != nullptr) {
            *object = this;
            AddRef();
            return S_OK;
        }
        if (riid == clr::IID__AppDomain) {
            const HRESULT hr = scriptedFailure("QueryAppDomain");
            Record("QueryInterface").text("object", kind_).text("iid", guidText(riid)).hresult(hr).write();
            if (FAILED(hr)) {
                if (object != nullptr) *object = nullptr;
                return hr;
            }
        }
        return answer(riid, object, clr::IID__AppDomain);
    }
    HRESULT STDMETHODCALLTYPE CreateInstance(BSTR assemblyName, BSTR typeName, clr::_ObjectHandle** handle) override {
        const std::wstring assembly = textOf(assemblyName);
        const std::wstring type = textOf(typeName);
        HRESULT hr = scriptedFailure("CreateInstance." + narrow(type));
        if (hr == S_OK) hr = scriptedFailure("CreateInstance");
        if (SUCCEEDED(hr) && unloaded) hr = static_cast<HRESULT>(0x80131014);  // COR_E_APPDOMAINUNLOADED
        if (handle != nullptr) *handle = nullptr;
        if (SUCCEEDED(hr)) hr = handle == nullptr ? E_POINTER : createObjectHandle(assembly, type, handle);
        Record("CreateInstance").text("assembly", assembly).text("type", type).text("domain", name_).hresult(hr).write();
        return hr;
    }
    bool unloaded = false;

    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(ULONG*) override { return unexpected("GetTypeInfoCount"); }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(ULONG, ULONG, LONG_PTR) override { return unexpected("GetTypeInfo"); }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(GUID*, LONG_PTR, ULONG, ULONG, LONG_PTR) override { return unexpected("GetIDsOfNames"); }
    HRESULT STDMETHODCALLTYPE Invoke(ULONG, GUID*, ULONG, SHORT, LONG_PTR, LONG_PTR, LONG_PTR, LONG_PTR) override { return unexpected("Invoke"); }
    HRESULT STDMETHODCALLTYPE get_ToString(BSTR*) override { return unexpected("get_ToString"); }
    HRESULT STDMETHODCALLTYPE Equals(VARIANT, VARIANT_BOOL*) override { return unexpected("Equals"); }
    HRESULT STDMETHODCALLTYPE GetHashCode(LONG*) override { return unexpected("GetHashCode"); }
    HRESULT STDMETHODCALLTYPE GetType(IUnknown**) override { return unexpected("GetType"); }
    HRESULT STDMETHODCALLTYPE InitializeLifetimeService(VARIANT*) override { return unexpected("InitializeLifetimeService"); }
    HRESULT STDMETHODCALLTYPE GetLifetimeService(VARIANT*) override { return unexpected("GetLifetimeService"); }
    HRESULT STDMETHODCALLTYPE get_Evidence(IUnknown**) override { return unexpected("get_Evidence"); }
    HRESULT STDMETHODCALLTYPE add_DomainUnload(IUnknown*) override { return unexpected("add_DomainUnload"); }
    HRESULT STDMETHODCALLTYPE remove_DomainUnload(IUnknown*) override { return unexpected("remove_DomainUnload"); }
    HRESULT STDMETHODCALLTYPE add_AssemblyLoad(IUnknown*) override { return unexpected("add_AssemblyLoad"); }
    HRESULT STDMETHODCALLTYPE remove_AssemblyLoad(IUnknown*) override { return unexpected("remove_AssemblyLoad"); }
    HRESULT STDMETHODCALLTYPE add_ProcessExit(IUnknown*) override { return unexpected("add_ProcessExit"); }
    HRESULT STDMETHODCALLTYPE remove_ProcessExit(IUnknown*) override { return unexpected("remove_ProcessExit"); }
    HRESULT STDMETHODCALLTYPE add_TypeResolve(IUnknown*) override { return unexpected("add_TypeResolve"); }
    HRESULT STDMETHODCALLTYPE remove_TypeResolve(IUnknown*) override { return unexpected("remove_TypeResolve"); }
    HRESULT STDMETHODCALLTYPE add_ResourceResolve(IUnknown*) override { return unexpected("add_ResourceResolve"); }
    HRESULT STDMETHODCALLTYPE remove_ResourceResolve(IUnknown*) override { return unexpected("remove_ResourceResolve"); }
    HRESULT STDMETHODCALLTYPE add_AssemblyResolve(IUnknown*) override { return unexpected("add_AssemblyResolve"); }
    HRESULT STDMETHODCALLTYPE remove_AssemblyResolve(IUnknown*) override { return unexpected("remove_AssemblyResolve"); }
    HRESULT STDMETHODCALLTYPE add_UnhandledException(IUnknown*) override { return unexpected("add_UnhandledException"); }
    HRESULT STDMETHODCALLTYPE remove_UnhandledException(IUnknown*) override { return unexpected("remove_UnhandledException"); }
    HRESULT STDMETHODCALLTYPE DefineDynamicAssembly(IUnknown*, LONG, IUnknown**) override { return unexpected("DefineDynamicAssembly"); }
    HRESULT STDMETHODCALLTYPE DefineDynamicAssembly_2(IUnknown*, LONG, BSTR, IUnknown**) override { return unexpected("DefineDynamicAssembly_2"); }
    HRESULT STDMETHODCALLTYPE DefineDynamicAssembly_3(IUnknown*, LONG, IUnknown*, IUnknown**) override { return unexpected("DefineDynamicAssembly_3"); }
    HRESULT STDMETHODCALLTYPE DefineDynamicAssembly_4(IUnknown*, LONG, IUnknown*, IUnknown*, IUnknown*, IUnknown**) override { return unexpected("DefineDynamicAssembly_4"); }
    HRESULT STDMETHODCALLTYPE DefineDynamicAssembly_5(IUnknown*, LONG, BSTR, IUnknown*, IUnknown**) override { return unexpected("DefineDynamicAssembly_5"); }
    HRESULT STDMETHODCALLTYPE DefineDynamicAssembly_6(IUnknown*, LONG, BSTR, IUnknown*, IUnknown*, IUnknown*, IUnknown**) override { return unexpected("DefineDynamicAssembly_6"); }
    HRESULT STDMETHODCALLTYPE DefineDynamicAssembly_7(IUnknown*, LONG, IUnknown*, IUnknown*, IUnknown*, IUnknown*, IUnknown**) override { return unexpected("DefineDynamicAssembly_7"); }
    HRESULT STDMETHODCALLTYPE DefineDynamicAssembly_8(IUnknown*, LONG, BSTR, IUnknown*, IUnknown*, IUnknown*, IUnknown*, IUnknown**) override { return unexpected("DefineDynamicAssembly_8"); }
    HRESULT STDMETHODCALLTYPE DefineDynamicAssembly_9(IUnknown*, LONG, BSTR, IUnknown*, IUnknown*, IUnknown*, IUnknown*, VARIANT_BOOL, IUnknown**) override { return unexpected("DefineDynamicAssembly_9"); }
    HRESULT STDMETHODCALLTYPE CreateInstanceFrom(BSTR, BSTR, clr::_ObjectHandle**) override { return unexpected("CreateInstanceFrom"); }
    HRESULT STDMETHODCALLTYPE CreateInstance_2(BSTR, BSTR, SAFEARRAY*, clr::_ObjectHandle**) override { return unexpected("CreateInstance_2"); }
    HRESULT STDMETHODCALLTYPE CreateInstanceFrom_2(BSTR, BSTR, SAFEARRAY*, clr::_ObjectHandle**) override { return unexpected("CreateInstanceFrom_2"); }
    HRESULT STDMETHODCALLTYPE CreateInstance_3(BSTR, BSTR, VARIANT_BOOL, LONG, IUnknown*, SAFEARRAY*, IUnknown*, SAFEARRAY*, IUnknown*, clr::_ObjectHandle**) override { return unexpected("CreateInstance_3"); }
    HRESULT STDMETHODCALLTYPE CreateInstanceFrom_3(BSTR, BSTR, VARIANT_BOOL, LONG, IUnknown*, SAFEARRAY*, IUnknown*, SAFEARRAY*, IUnknown*, clr::_ObjectHandle**) override { return unexpected("CreateInstanceFrom_3"); }
    HRESULT STDMETHODCALLTYPE Load(IUnknown*, IUnknown**) override { return unexpected("Load"); }
    HRESULT STDMETHODCALLTYPE Load_2(BSTR, IUnknown**) override { return unexpected("Load_2"); }
    HRESULT STDMETHODCALLTYPE Load_3(SAFEARRAY*, IUnknown**) override { return unexpected("Load_3"); }
    HRESULT STDMETHODCALLTYPE Load_4(SAFEARRAY*, SAFEARRAY*, IUnknown**) override { return unexpected("Load_4"); }
    HRESULT STDMETHODCALLTYPE Load_5(SAFEARRAY*, SAFEARRAY*, IUnknown*, IUnknown**) override { return unexpected("Load_5"); }
    HRESULT STDMETHODCALLTYPE Load_6(IUnknown*, IUnknown*, IUnknown**) override { return unexpected("Load_6"); }
    HRESULT STDMETHODCALLTYPE Load_7(BSTR, IUnknown*, IUnknown**) override { return unexpected("Load_7"); }
    HRESULT STDMETHODCALLTYPE ExecuteAssembly(BSTR, IUnknown*, LONG*) override { return unexpected("ExecuteAssembly"); }
    HRESULT STDMETHODCALLTYPE ExecuteAssembly_2(BSTR, LONG*) override { return unexpected("ExecuteAssembly_2"); }
    HRESULT STDMETHODCALLTYPE ExecuteAssembly_3(BSTR, IUnknown*, SAFEARRAY*, LONG*) override { return unexpected("ExecuteAssembly_3"); }
    HRESULT STDMETHODCALLTYPE get_FriendlyName(BSTR*) override { return unexpected("get_FriendlyName"); }
    HRESULT STDMETHODCALLTYPE get_BaseDirectory(BSTR*) override { return unexpected("get_BaseDirectory"); }
    HRESULT STDMETHODCALLTYPE get_RelativeSearchPath(BSTR*) override { return unexpected("get_RelativeSearchPath"); }
    HRESULT STDMETHODCALLTYPE get_ShadowCopyFiles(VARIANT_BOOL*) override { return unexpected("get_ShadowCopyFiles"); }
    HRESULT STDMETHODCALLTYPE GetAssemblies(SAFEARRAY**) override { return unexpected("GetAssemblies"); }
    HRESULT STDMETHODCALLTYPE AppendPrivatePath(BSTR) override { return unexpected("AppendPrivatePath"); }
    HRESULT STDMETHODCALLTYPE ClearPrivatePath() override { return unexpected("ClearPrivatePath"); }
    HRESULT STDMETHODCALLTYPE SetShadowCopyPath(BSTR) override { return unexpected("SetShadowCopyPath"); }
    HRESULT STDMETHODCALLTYPE ClearShadowCopyPath() override { return unexpected("ClearShadowCopyPath"); }
    HRESULT STDMETHODCALLTYPE SetCachePath(BSTR) override { return unexpected("SetCachePath"); }
    HRESULT STDMETHODCALLTYPE SetData(BSTR, VARIANT) override { return unexpected("SetData"); }
    HRESULT STDMETHODCALLTYPE GetData(BSTR, VARIANT*) override { return unexpected("GetData"); }
    HRESULT STDMETHODCALLTYPE SetAppDomainPolicy(IUnknown*) override { return unexpected("SetAppDomainPolicy"); }
    HRESULT STDMETHODCALLTYPE SetThreadPrincipal(IUnknown*) override { return unexpected("SetThreadPrincipal"); }
    HRESULT STDMETHODCALLTYPE SetPrincipalPolicy(LONG) override { return unexpected("SetPrincipalPolicy"); }
    HRESULT STDMETHODCALLTYPE DoCallBack(IUnknown*) override { return unexpected("DoCallBack"); }
    HRESULT STDMETHODCALLTYPE get_DynamicDirectory(BSTR*) override { return unexpected("get_DynamicDirectory"); }

private:
    std::wstring name_;
};

}  // namespace

HRESULT createDomainSetup(IUnknown** object) {
    *object = static_cast<clr::IAppDomainSetup*>(new DomainSetup);
    return S_OK;
}

bool readSetup(IUnknown* setup, SetupValues& values) {
    DomainSetup* ours = nullptr;
    if (setup == nullptr || FAILED(setup->QueryInterface(IID_StandinSetup, reinterpret_cast<void**>(&ours)))) {
        return false;
    }
    values = ours->values;
    ours->Release();
    return true;
}

HRESULT createDomain(const std::wstring& friendlyName, IUnknown** object) {
    *object = static_cast<clr::_AppDomain*>(new Domain(friendlyName));
    return S_OK;
}

bool unloadDomain(IUnknown* domain) {
    Domain* ours = nullptr;
    if (domain == nullptr || FAILED(domain->QueryInterface(IID_StandinDomain, reinterpret_cast<void**>(&ours)))) {
        return false;
    }
    ours->unloaded = true;
    ours->Release();
    return true;
}

HRESULT createObjectHandle(const std::wstring& assembly, const std::wstring& type, clr::_ObjectHandle** handle) {
    *handle = new ObjectHandle(assembly, type);
    return S_OK;
}

}  // namespace standin
