#include "clrhost/runtime_host.h"

#include <shlwapi.h>

#include "base/unique_any.h"
#include "clrhost/config_file_name.h"
#include "clrhost/hresult_text.h"

namespace clrhost {
namespace {

// The process-wide host state; its destructor is the release at process end.
struct RuntimeState {
    clr::ICorRuntimeHost* host = nullptr;
    clr::_AppDomain* domain = nullptr;
    std::wstring configFileName;

    ~RuntimeState() { release(); }

    void release() noexcept {
        if (host == nullptr) return;
        if (domain != nullptr) {
            host->UnloadDomain(domain);  // best effort: the domain goes either way
            domain->Release();
            domain = nullptr;
        }
        host->Release();
        host = nullptr;
    }
};

RuntimeState state;

// Full path of mscoree.dll in the system folder; false with E_INVALIDARG (or
// the system's error) when it does not fit in MAX_PATH characters.
bool runtimeLibraryPath(std::wstring& path, HRESULT& hr) {
    wchar_t folder[MAX_PATH];
    const UINT length = ::GetSystemDirectoryW(folder, MAX_PATH);
    if (length == 0) {
        hr = hresultFromLastError();
        return false;
    }
    if (length >= MAX_PATH) {
        hr = E_INVALIDARG;
        return false;
    }
    std::wstring result(folder, length);
    if (result.back() != L'\\') result += L'\\';
    result += L"mscoree.dll";
    if (result.size() >= MAX_PATH) {
        hr = E_INVALIDARG;
        return false;
    }
    path = result;
    return true;
}

template <typename Interface>
void** out(base::unique_com<Interface>& pointer) {
    return reinterpret_cast<void**>(pointer.put());
}

}  // namespace

clr::ICorRuntimeHost* runtimeHost() { return state.host; }
clr::_AppDomain* actionsDomain() { return state.domain; }
const std::wstring& domainConfigFileName() { return state.configFileName; }

bool StartRuntime(const std::wstring& clrVersion, std::wstring& runningClrVersion, std::wstring& errorText) {
    if (state.host != nullptr) return true;

    std::wstring path;
    HRESULT hr = S_OK;
    if (!runtimeLibraryPath(path, hr)) {
        errorText = hresultMessage(L"Failed to load mscoree.dll (HRESULT = 0x%x).", hr);
        return false;
    }
    base::unique_hmodule library(::LoadLibraryW(path.c_str()));
    if (!library) {
        errorText = hresultMessage(L"Failed to load mscoree.dll (HRESULT = 0x%x).", hresultFromLastError());
        return false;
    }
    // Through void (*)() because FARPROC's own type says nothing about the export.
    auto createInstance = reinterpret_cast<clr::CLRCreateInstanceFn>(
        reinterpret_cast<void (*)()>(::GetProcAddress(library.get(), "CLRCreateInstance")));
    if (createInstance == nullptr) {
        hr = hresultFromLastError();
        if (SUCCEEDED(hr)) hr = E_FAIL;
        errorText = hresultMessage(L"Failed to get procedure address for 'CLRCreateInstance' (HRESULT = 0x%x).", hr);
        return false;
    }

    base::unique_com<clr::ICLRMetaHost> metaHost;
    base::unique_com<clr::ICLRRuntimeInfo> runtimeInfo;
    base::unique_com<clr::ICorRuntimeHost> host;
    hr = createInstance(clr::CLSID_CLRMetaHost, clr::IID_ICLRMetaHost, out(metaHost));
    if (FAILED(hr)) {
        errorText = hresultMessage(L"Failed to call 'CLRCreateInstance' (HRESULT = 0x%x).", hr);
    } else if (FAILED(hr = metaHost.get()->GetRuntime(clrVersion.c_str(), clr::IID_ICLRRuntimeInfo,
                                                      out(runtimeInfo)))) {
        errorText = hresultMessage(L"Failed to initialize CLR (HRESULT = 0x%x).", hr);
    } else if (FAILED(hr = runtimeInfo.get()->GetInterface(clr::CLSID_CorRuntimeHost, clr::IID_ICorRuntimeHost,
                                                           out(host)))) {
        errorText = hresultMessage(L"Failed to get 'ICorRuntimeHost' (HRESULT = 0x%x).", hr);
    } else {
        // From here on the host belongs to the process state, also when Start
        // fails: ReleaseRuntime drops it at the end of the installation.
        state.host = host.release();
        if (FAILED(hr = state.host->Start())) {
            errorText = hresultMessage(L"Failed to call 'Start' (HRESULT = 0x%x).", hr);
        } else {
            wchar_t version[256] = {};
            DWORD length = 255;
            if (FAILED(hr = runtimeInfo.get()->GetVersionString(version, &length))) {
                errorText = hresultMessage(L"Failed to call 'GetVersionString' (HRESULT = 0x%x).", hr);
            } else {
                version[255] = L'\0';
                runningClrVersion = version;
            }
        }
    }
    runtimeInfo.reset();
    metaHost.reset();

    // The library stays loaded after success, and also while a host obtained
    // from it is still held: freeing it under that object would leave
    // ReleaseRuntime calling into unmapped code.
    if (SUCCEEDED(hr) || state.host != nullptr) library.release();
    return hr == S_OK;
}

bool CreateActionsDomain(const std::wstring& downloadFolder, const std::wstring& customActionAssembly,
                         const std::wstring& moduleDirectory, std::wstring& errorText) {
    if (state.domain != nullptr) return true;
    if (state.host == nullptr) {
        errorText = hresultMessage(L"Failed to create the app domain setup(HRESULT = 0x%x).", E_POINTER);
        return false;
    }

    base::unique_com<IUnknown> setupObject;
    HRESULT hr = state.host->CreateDomainSetup(setupObject.put());
    if (FAILED(hr)) {
        errorText = hresultMessage(L"Failed to create the app domain setup(HRESULT = 0x%x).", hr);
        return false;
    }
    base::unique_com<clr::IAppDomainSetup> setup;
    hr = setupObject.get()->QueryInterface(clr::IID_IAppDomainSetup, out(setup));
    if (FAILED(hr)) {
        errorText = hresultMessage(L"Failed to obtain the app domain setup (HRESULT = 0x%x).", hr);
        return false;
    }
    base::unique_bstr applicationBase(::SysAllocString(downloadFolder.c_str()));
    hr = setup.get()->put_ApplicationBase(applicationBase.get());
    if (FAILED(hr)) {
        errorText = hresultMessage(L"Failed to set the app base for the domain (HRESULT = 0x%x).", hr);
        return false;
    }
    const std::wstring actionsFolder = downloadFolder + L"\\actions";
    base::unique_bstr privateBinPath(::SysAllocString(actionsFolder.c_str()));
    hr = setup.get()->put_PrivateBinPath(privateBinPath.get());
    if (FAILED(hr)) {
        errorText = hresultMessage(L"Failed to set the private bin path for the domain (HRESULT = 0x%x).", hr);
        return false;
    }
    state.configFileName = configFileNameFor(customActionAssembly);
    const std::wstring configPath = actionsFolder + L"\\" + state.configFileName;
    if (::PathFileExistsW(configPath.c_str())) {
        base::unique_bstr configFile(::SysAllocString(configPath.c_str()));
        hr = setup.get()->put_ConfigurationFile(configFile.get());
        if (FAILED(hr)) {
            errorText = hresultMessage(L"Failed to set the config file for the domain (HRESULT = 0x%x).", hr);
            return false;
        }
    }
    base::unique_com<IUnknown> domainObject;
    hr = state.host->CreateDomainEx(moduleDirectory.c_str(), setupObject.get(), nullptr, domainObject.put());
    if (FAILED(hr)) {
        errorText = hresultMessage(L"Failed to create the app domain (HRESULT = 0x%x).", hr);
        return false;
    }
    base::unique_com<clr::_AppDomain> domain;
    hr = domainObject.get()->QueryInterface(clr::IID__AppDomain, out(domain));
    if (FAILED(hr)) {
        state.host->UnloadDomain(domainObject.get());  // best effort: nothing else could unload it later
        errorText = hresultMessage(L"Failed to obtain the app domain (HRESULT = 0x%x).", hr);
        return false;
    }
    state.domain = domain.release();
    return hr == S_OK;
}

void ReleaseRuntime() { state.release(); }

}  // namespace clrhost
