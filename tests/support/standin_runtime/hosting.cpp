// The exported entry, the meta host, the runtime information and the runtime host.
#include "com_object.h"

namespace standin {

HMODULE thisModule = nullptr;
volatile LONG liveObjects = 0;

namespace {

class MetaHost : public ComObject<clr::ICLRMetaHost> {
public:
    MetaHost() : ComObject("MetaHost") {}
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override {
        return answer(riid, object, clr::IID_ICLRMetaHost);
    }
    HRESULT STDMETHODCALLTYPE GetRuntime(LPCWSTR version, REFIID riid, LPVOID* runtime) override {
        const HRESULT hr = scriptedFailure("GetRuntime");
        Record("GetRuntime").text("version", version).text("iid", guidText(riid)).hresult(hr).write();
        if (runtime != nullptr) *runtime = nullptr;
        if (FAILED(hr)) return hr;
        return createRuntimeInfo(version != nullptr ? version : L"", riid, runtime);
    }
    HRESULT STDMETHODCALLTYPE GetVersionFromFile(LPCWSTR, LPWSTR, DWORD*) override {
        return unexpected("GetVersionFromFile");
    }
    HRESULT STDMETHODCALLTYPE EnumerateInstalledRuntimes(IEnumUnknown**) override {
        return unexpected("EnumerateInstalledRuntimes");
    }
    HRESULT STDMETHODCALLTYPE EnumerateLoadedRuntimes(HANDLE, IEnumUnknown**) override {
        return unexpected("EnumerateLoadedRuntimes");
    }
    HRESULT STDMETHODCALLTYPE RequestRuntimeLoadedNotification(clr::RuntimeLoadedCallback) override {
        return unexpected("RequestRuntimeLoadedNotification");
    }
    HRESULT STDMETHODCALLTYPE QueryLegacyV2RuntimeBinding(REFIID, LPVOID*) override {
        return unexpected("QueryLegacyV2RuntimeBinding");
    }
    HRESULT STDMETHODCALLTYPE ExitProcess(INT32) override { return unexpected("ExitProcess"); }
};

class RuntimeInfo : public ComObject<clr::ICLRRuntimeInfo> {
public:
    explicit RuntimeInfo(const std::wstring& version) : ComObject("RuntimeInfo"), version_(version) {}
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override {
        return answer(riid, object, clr::IID_ICLRRuntimeInfo);
    }
    HRESULT STDMETHODCALLTYPE GetVersionString(LPWSTR buffer, DWORD* length) override {
        HRESULT hr = scriptedFailure("GetVersionString");
        Record record("GetVersionString");
        record.unsignedNumber("capacity", length != nullptr ? *length : 0);
        if (SUCCEEDED(hr)) {
            std::wstring version = hasSetting("version") ? widen(setting("version")) : version_;
            if (length == nullptr) {
                hr = E_POINTER;
            } else if (buffer == nullptr || *length < version.size() + 1) {
                *length = static_cast<DWORD>(version.size() + 1);
                hr = HRESULT_FROM_WIN32(ERROR_INSUFFICIENT_BUFFER);
            } else {
                version.copy(buffer, version.size());
                buffer[version.size()] = L'\0';
                *length = static_cast<DWORD>(version.size() + 1);
                record.text("version", version);
            }
        }
        record.hresult(hr).write();
        return hr;
    }
    HRESULT STDMETHODCALLTYPE GetRuntimeDirectory(LPWSTR, DWORD*) override {
        return unexpected("GetRuntimeDirectory");
    }
    HRESULT STDMETHODCALLTYPE IsLoaded(HANDLE, BOOL*) override { return unexpected("IsLoaded"); }
    HRESULT STDMETHODCALLTYPE LoadErrorString(UINT, LPWSTR, DWORD*, LONG) override {
        return unexpected("LoadErrorString");
    }
    HRESULT STDMETHODCALLTYPE LoadLibrary_(LPCWSTR, HMODULE*) override { return unexpected("LoadLibrary"); }
    HRESULT STDMETHODCALLTYPE GetProcAddress_(LPCSTR, LPVOID*) override { return unexpected("GetProcAddress"); }
    HRESULT STDMETHODCALLTYPE GetInterface(REFCLSID clsid, REFIID riid, LPVOID* unknown) override {
        HRESULT hr = scriptedFailure("GetInterface");
        if (unknown != nullptr) *unknown = nullptr;
        if (SUCCEEDED(hr) && clsid != clr::CLSID_CorRuntimeHost) hr = CLASS_E_CLASSNOTAVAILABLE;
        if (SUCCEEDED(hr)) hr = createRuntimeHost(riid, unknown);
        Record("GetInterface").text("clsid", guidText(clsid)).text("iid", guidText(riid)).hresult(hr).write();
        return hr;
    }
    HRESULT STDMETHODCALLTYPE IsLoadable(BOOL*) override { return unexpected("IsLoadable"); }
    HRESULT STDMETHODCALLTYPE SetDefaultStartupFlags(DWORD, LPCWSTR) override {
        return unexpected("SetDefaultStartupFlags");
    }
    HRESULT STDMETHODCALLTYPE GetDefaultStartupFlags(DWORD*, LPWSTR, DWORD*) override {
        return unexpected("GetDefaultStartupFlags");
    }
    HRESULT STDMETHODCALLTYPE BindAsLegacyV2Runtime() override { return unexpected("BindAsLegacyV2Runtime"); }
    HRESULT STDMETHODCALLTYPE IsStarted(BOOL*, DWORD*) override { return unexpected("IsStarted"); }

private:
    std::wstring version_;
};

class RuntimeHost : public ComObject<clr::ICorRuntimeHost> {
public:
    RuntimeHost() : ComObject("CorRuntimeHost") {}
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override {
        return answer(riid, object, clr::IID_ICorRuntimeHost);
    }
    HRESULT STDMETHODCALLTYPE CreateLogicalThreadState() override { return unexpected("CreateLogicalThreadState"); }
    HRESULT STDMETHODCALLTYPE DeleteLogicalThreadState() override { return unexpected("DeleteLogicalThreadState"); }
    HRESULT STDMETHODCALLTYPE SwitchInLogicalThreadState(DWORD*) override {
        return unexpected("SwitchInLogicalThreadState");
    }
    HRESULT STDMETHODCALLTYPE SwitchOutLogicalThreadState(DWORD**) override {
        return unexpected("SwitchOutLogicalThreadState");
    }
    HRESULT STDMETHODCALLTYPE LocksHeldByLogicalThread(DWORD*) override {
        return unexpected("LocksHeldByLogicalThread");
    }
    HRESULT STDMETHODCALLTYPE MapFile(HANDLE, HMODULE*) override { return unexpected("MapFile"); }
    HRESULT STDMETHODCALLTYPE GetConfiguration(IUnknown**) override { return unexpected("GetConfiguration"); }
    HRESULT STDMETHODCALLTYPE Start() override {
        const HRESULT hr = scriptedFailure("Start");
        Record("Start").hresult(hr).write();
        return hr;
    }
    HRESULT STDMETHODCALLTYPE Stop() override { return unexpected("Stop"); }
    HRESULT STDMETHODCALLTYPE CreateDomain(LPCWSTR, IUnknown*, IUnknown**) override {
        return unexpected("CreateDomain");
    }
    HRESULT STDMETHODCALLTYPE GetDefaultDomain(IUnknown**) override { return unexpected("GetDefaultDomain"); }
    HRESULT STDMETHODCALLTYPE EnumDomains(void**) override { return unexpected("EnumDomains"); }
    HRESULT STDMETHODCALLTYPE NextDomain(void*, IUnknown**) override { return unexpected("NextDomain"); }
    HRESULT STDMETHODCALLTYPE CloseEnum(void*) override { return unexpected("CloseEnum"); }
    HRESULT STDMETHODCALLTYPE CreateDomainEx(LPCWSTR friendlyName, IUnknown* setup, IUnknown* evidence,
                                             IUnknown** appDomain) override {
        HRESULT hr = scriptedFailure("CreateDomainEx");
        if (appDomain != nullptr) *appDomain = nullptr;
        SetupValues values;
        const bool ours = readSetup(setup, values);
        Record record("CreateDomainEx");
        record.text("name", friendlyName).flag("setup", ours).flag("evidence", evidence != nullptr);
        if (ours) {
            record.text("application_base", values.applicationBase)
                .text("private_bin_path", values.privateBinPath)
                .text("configuration_file", values.configurationFile);
        }
        if (SUCCEEDED(hr) && appDomain == nullptr) hr = E_POINTER;
        if (SUCCEEDED(hr)) hr = createDomain(friendlyName != nullptr ? friendlyName : L"", appDomain);
        record.hresult(hr).write();
        return hr;
    }
    HRESULT STDMETHODCALLTYPE CreateDomainSetup(IUnknown** setup) override {
        HRESULT hr = scriptedFailure("CreateDomainSetup");
        if (setup != nullptr) *setup = nullptr;
        if (SUCCEEDED(hr)) hr = setup == nullptr ? E_POINTER : createDomainSetup(setup);
        Record("CreateDomainSetup").hresult(hr).write();
        return hr;
    }
    HRESULT STDMETHODCALLTYPE CreateEvidence(IUnknown**) override { return unexpected("CreateEvidence"); }
    HRESULT STDMETHODCALLTYPE UnloadDomain(IUnknown* appDomain) override {
        HRESULT hr = scriptedFailure("UnloadDomain");
        const bool ours = unloadDomain(appDomain);
        if (SUCCEEDED(hr) && !ours) hr = E_INVALIDARG;
        Record("UnloadDomain").flag("ours", ours).hresult(hr).write();
        return hr;
    }
    HRESULT STDMETHODCALLTYPE CurrentDomain(IUnknown**) override { return unexpected("CurrentDomain"); }
};

}  // namespace

HRESULT createMetaHost(REFIID riid, void** object) {
    MetaHost* host = new MetaHost;
    const HRESULT hr = host->QueryInterface(riid, object);
    host->Release();
    return hr;
}

HRESULT createRuntimeInfo(const std::wstring& version, REFIID riid, void** object) {
    RuntimeInfo* info = new RuntimeInfo(version);
    const HRESULT hr = info->QueryInterface(riid, object);
    info->Release();
    return hr;
}

HRESULT createRuntimeHost(REFIID riid, void** object) {
    RuntimeHost* host = new RuntimeHost;
    const HRESULT hr = host->QueryInterface(riid, object);
    host->Release();
    return hr;
}

}  // namespace standin

using namespace standin;

extern "C" HRESULT WINAPI CLRCreateInstance(REFCLSID clsid, REFIID riid, LPVOID* object) {
    HRESULT hr = scriptedFailure("CLRCreateInstance");
    if (object != nullptr) *object = nullptr;
    if (SUCCEEDED(hr) && clsid != clr::CLSID_CLRMetaHost) hr = CLASS_E_CLASSNOTAVAILABLE;
    if (SUCCEEDED(hr)) hr = object == nullptr ? E_POINTER : createMetaHost(riid, object);
    Record("CLRCreateInstance").text("clsid", guidText(clsid)).text("iid", guidText(riid)).hresult(hr).write();
    return hr;
}

// For tests: how many of the stand-in's objects are still alive.
extern "C" LONG WINAPI StandinLiveObjects() { return liveObjects; }

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) {
    if (reason == DLL_PROCESS_ATTACH) {
        thisModule = instance;
        ::DisableThreadLibraryCalls(instance);
        Record("Load").write();
    } else if (reason == DLL_PROCESS_DETACH) {
        // A null reserved pointer means FreeLibrary, not the end of the process.
        Record("Unload").flag("process_exit", reserved != nullptr).number("live", liveObjects).write();
    }
    return TRUE;
}
