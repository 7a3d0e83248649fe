#pragma once
// The .NET hosting interfaces (mscoree) and the mscorlib interfaces that the
// custom-action host calls, declared here because the MinGW headers lack most
// of them. Only the slot order matters to the caller; every slot is declared so
// that the vtables match the runtime's. Members whose names clash with Win32
// macros (LoadLibrary, GetProcAddress) carry a suffix.
#include <windows.h>
#include <oaidl.h>
#include <unknwn.h>

namespace clr {

// {9280188D-0E8E-4867-B30C-7FA83884E8DE}
inline constexpr GUID CLSID_CLRMetaHost = {0x9280188d, 0x0e8e, 0x4867, {0xb3, 0x0c, 0x7f, 0xa8, 0x38, 0x84, 0xe8, 0xde}};
// {D332DB9E-B9B3-4125-8207-A14884F53216}
inline constexpr GUID IID_ICLRMetaHost = {0xd332db9e, 0xb9b3, 0x4125, {0x82, 0x07, 0xa1, 0x48, 0x84, 0xf5, 0x32, 0x16}};
// {BD39D1D2-BA2F-486A-89B0-B4B0CB466891}
inline constexpr GUID IID_ICLRRuntimeInfo = {0xbd39d1d2, 0xba2f, 0x486a, {0x89, 0xb0, 0xb4, 0xb0, 0xcb, 0x46, 0x68, 0x91}};
// {CB2F6723-AB3A-11D2-9C40-00C04FA30A3E}
inline constexpr GUID CLSID_CorRuntimeHost = {0xcb2f6723, 0xab3a, 0x11d2, {0x9c, 0x40, 0x00, 0xc0, 0x4f, 0xa3, 0x0a, 0x3e}};
// {CB2F6722-AB3A-11D2-9C40-00C04FA30A3E}
inline constexpr GUID IID_ICorRuntimeHost = {0xcb2f6722, 0xab3a, 0x11d2, {0x9c, 0x40, 0x00, 0xc0, 0x4f, 0xa3, 0x0a, 0x3e}};
// {27FFF232-A7A8-40DD-8D4A-734AD59FCD41}
inline constexpr GUID IID_IAppDomainSetup = {0x27fff232, 0xa7a8, 0x40dd, {0x8d, 0x4a, 0x73, 0x4a, 0xd5, 0x9f, 0xcd, 0x41}};
// {05F696DC-2B29-3663-AD8B-C4389CF2A713}
inline constexpr GUID IID__AppDomain = {0x05f696dc, 0x2b29, 0x3663, {0xad, 0x8b, 0xc4, 0x38, 0x9c, 0xf2, 0xa7, 0x13}};
// {EA675B47-64E0-3B5F-9BE7-F7DC2990730D}
inline constexpr GUID IID__ObjectHandle = {0xea675b47, 0x64e0, 0x3b5f, {0x9b, 0xe7, 0xf7, 0xdc, 0x29, 0x90, 0x73, 0x0d}};

using CLRCreateInstanceFn = HRESULT(WINAPI*)(REFCLSID clsid, REFIID riid, LPVOID* object);
using RuntimeLoadedCallback = void*;

struct ICLRMetaHost : IUnknown {
    virtual HRESULT STDMETHODCALLTYPE GetRuntime(LPCWSTR version, REFIID riid, LPVOID* runtime) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetVersionFromFile(LPCWSTR filePath, LPWSTR buffer, DWORD* bufferLength) = 0;
    virtual HRESULT STDMETHODCALLTYPE EnumerateInstalledRuntimes(IEnumUnknown** enumerator) = 0;
    virtual HRESULT STDMETHODCALLTYPE EnumerateLoadedRuntimes(HANDLE process, IEnumUnknown** enumerator) = 0;
    virtual HRESULT STDMETHODCALLTYPE RequestRuntimeLoadedNotification(RuntimeLoadedCallback callback) = 0;
    virtual HRESULT STDMETHODCALLTYPE QueryLegacyV2RuntimeBinding(REFIID riid, LPVOID* unknown) = 0;
    virtual HRESULT STDMETHODCALLTYPE ExitProcess(INT32 exitCode) = 0;
};

struct ICLRRuntimeInfo : IUnknown {
    virtual HRESULT STDMETHODCALLTYPE GetVersionString(LPWSTR buffer, DWORD* bufferLength) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetRuntimeDirectory(LPWSTR buffer, DWORD* bufferLength) = 0;
    virtual HRESULT STDMETHODCALLTYPE IsLoaded(HANDLE process, BOOL* loaded) = 0;
    virtual HRESULT STDMETHODCALLTYPE LoadErrorString(UINT resourceId, LPWSTR buffer, DWORD* bufferLength,
                                                      LONG localeId) = 0;
    virtual HRESULT STDMETHODCALLTYPE LoadLibrary_(LPCWSTR dllName, HMODULE* module) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetProcAddress_(LPCSTR procName, LPVOID* proc) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetInterface(REFCLSID clsid, REFIID riid, LPVOID* unknown) = 0;
    virtual HRESULT STDMETHODCALLTYPE IsLoadable(BOOL* loadable) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetDefaultStartupFlags(DWORD startupFlags, LPCWSTR hostConfigFile) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetDefaultStartupFlags(DWORD* startupFlags, LPWSTR hostConfigFile,
                                                             DWORD* hostConfigFileLength) = 0;
    virtual HRESULT STDMETHODCALLTYPE BindAsLegacyV2Runtime() = 0;
    virtual HRESULT STDMETHODCALLTYPE IsStarted(BOOL* started, DWORD* startupFlags) = 0;
};

struct ICorRuntimeHost : IUnknown {
    virtual HRESULT STDMETHODCALLTYPE CreateLogicalThreadState() = 0;
    virtual HRESULT STDMETHODCALLTYPE DeleteLogicalThreadState() = 0;
    virtual HRESULT STDMETHODCALLTYPE SwitchInLogicalThreadState(DWORD* fiberCookie) = 0;
    virtual HRESULT STDMETHODCALLTYPE SwitchOutLogicalThreadState(DWORD** fiberCookie) = 0;
    virtual HRESULT STDMETHODCALLTYPE LocksHeldByLogicalThread(DWORD* count) = 0;
    virtual HRESULT STDMETHODCALLTYPE MapFile(HANDLE file, HMODULE* mapAddress) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetConfiguration(IUnknown** configuration) = 0;
    virtual HRESULT STDMETHODCALLTYPE Start() = 0;
    virtual HRESULT STDMETHODCALLTYPE Stop() = 0;
    virtual HRESULT STDMETHODCALLTYPE CreateDomain(LPCWSTR friendlyName, IUnknown* identityArray,
                                                   IUnknown** appDomain) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetDefaultDomain(IUnknown** appDomain) = 0;
    virtual HRESULT STDMETHODCALLTYPE EnumDomains(void** domainEnum) = 0;
    virtual HRESULT STDMETHODCALLTYPE NextDomain(void* domainEnum, IUnknown** appDomain) = 0;
    virtual HRESULT STDMETHODCALLTYPE CloseEnum(void* domainEnum) = 0;
    virtual HRESULT STDMETHODCALLTYPE CreateDomainEx(LPCWSTR friendlyName, IUnknown* setup, IUnknown* evidence,
                                                     IUnknown** appDomain) = 0;
    virtual HRESULT STDMETHODCALLTYPE CreateDomainSetup(IUnknown** appDomainSetup) = 0;
    virtual HRESULT STDMETHODCALLTYPE CreateEvidence(IUnknown** evidence) = 0;
    virtual HRESULT STDMETHODCALLTYPE UnloadDomain(IUnknown* appDomain) = 0;
    virtual HRESULT STDMETHODCALLTYPE CurrentDomain(IUnknown** appDomain) = 0;
};

// mscorlib's IAppDomainSetup: a plain IUnknown interface of string properties.
struct IAppDomainSetup : IUnknown {
    virtual HRESULT STDMETHODCALLTYPE get_ApplicationBase(BSTR* value) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_ApplicationBase(BSTR value) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_ApplicationName(BSTR* value) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_ApplicationName(BSTR value) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_CachePath(BSTR* value) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_CachePath(BSTR value) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_ConfigurationFile(BSTR* value) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_ConfigurationFile(BSTR value) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_DynamicBase(BSTR* value) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_DynamicBase(BSTR value) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_LicenseFile(BSTR* value) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_LicenseFile(BSTR value) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_PrivateBinPath(BSTR* value) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_PrivateBinPath(BSTR value) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_PrivateBinPathProbe(BSTR* value) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_PrivateBinPathProbe(BSTR value) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_ShadowCopyDirectories(BSTR* value) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_ShadowCopyDirectories(BSTR value) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_ShadowCopyFiles(BSTR* value) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_ShadowCopyFiles(BSTR value) = 0;
};

// mscorlib's _ObjectHandle (dual): the object members, then Unwrap.
struct _ObjectHandle : IDispatch {
    virtual HRESULT STDMETHODCALLTYPE get_ToString(BSTR* value) = 0;
    virtual HRESULT STDMETHODCALLTYPE Equals(VARIANT other, VARIANT_BOOL* equal) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetHashCode(LONG* hash) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetType(IUnknown** type) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetLifetimeService(VARIANT* service) = 0;
    virtual HRESULT STDMETHODCALLTYPE InitializeLifetimeService(VARIANT* service) = 0;
    virtual HRESULT STDMETHODCALLTYPE CreateObjRef(IUnknown* requestedType, IUnknown** objRef) = 0;
    virtual HRESULT STDMETHODCALLTYPE Unwrap(VARIANT* object) = 0;
};

// mscorlib's _AppDomain: an IUnknown interface that repeats the IDispatch
// methods as ordinary slots, then the members of System.AppDomain. Interface
// pointers of types this program never touches are declared as IUnknown*.
// The repeated IDispatch slots take their pointers as managed IntPtr values,
// which are as wide as a pointer: LONG_PTR, not LONG, or a 64-bit build would
// cut them.
struct _AppDomain : IUnknown {
    virtual HRESULT STDMETHODCALLTYPE GetTypeInfoCount(ULONG* count) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetTypeInfo(ULONG index, ULONG localeId, LONG_PTR typeInfo) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetIDsOfNames(GUID* riid, LONG_PTR names, ULONG count, ULONG localeId,
                                                    LONG_PTR dispIds) = 0;
    virtual HRESULT STDMETHODCALLTYPE Invoke(ULONG dispId, GUID* riid, ULONG localeId, SHORT flags, LONG_PTR params,
                                             LONG_PTR result, LONG_PTR exceptionInfo, LONG_PTR argumentError) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_ToString(BSTR* value) = 0;
    virtual HRESULT STDMETHODCALLTYPE Equals(VARIANT other, VARIANT_BOOL* equal) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetHashCode(LONG* hash) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetType(IUnknown** type) = 0;
    virtual HRESULT STDMETHODCALLTYPE InitializeLifetimeService(VARIANT* service) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetLifetimeService(VARIANT* service) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_Evidence(IUnknown** evidence) = 0;
    virtual HRESULT STDMETHODCALLTYPE add_DomainUnload(IUnknown* handler) = 0;
    virtual HRESULT STDMETHODCALLTYPE remove_DomainUnload(IUnknown* handler) = 0;
    virtual HRESULT STDMETHODCALLTYPE add_AssemblyLoad(IUnknown* handler) = 0;
    virtual HRESULT STDMETHODCALLTYPE remove_AssemblyLoad(IUnknown* handler) = 0;
    virtual HRESULT STDMETHODCALLTYPE add_ProcessExit(IUnknown* handler) = 0;
    virtual HRESULT STDMETHODCALLTYPE remove_ProcessExit(IUnknown* handler) = 0;
    virtual HRESULT STDMETHODCALLTYPE add_TypeResolve(IUnknown* handler) = 0;
    virtual HRESULT STDMETHODCALLTYPE remove_TypeResolve(IUnknown* handler) = 0;
    virtual HRESULT STDMETHODCALLTYPE add_ResourceResolve(IUnknown* handler) = 0;
    virtual HRESULT STDMETHODCALLTYPE remove_ResourceResolve(IUnknown* handler) = 0;
    virtual HRESULT STDMETHODCALLTYPE add_AssemblyResolve(IUnknown* handler) = 0;
    virtual HRESULT STDMETHODCALLTYPE remove_AssemblyResolve(IUnknown* handler) = 0;
    virtual HRESULT STDMETHODCALLTYPE add_UnhandledException(IUnknown* handler) = 0;
    virtual HRESULT STDMETHODCALLTYPE remove_UnhandledException(IUnknown* handler) = 0;
    virtual HRESULT STDMETHODCALLTYPE DefineDynamicAssembly(IUnknown* name, LONG access, IUnknown** builder) = 0;
    virtual HRESULT STDMETHODCALLTYPE DefineDynamicAssembly_2(IUnknown* name, LONG access, BSTR dir,
                                                              IUnknown** builder) = 0;
    virtual HRESULT STDMETHODCALLTYPE DefineDynamicAssembly_3(IUnknown* name, LONG access, IUnknown* evidence,
                                                              IUnknown** builder) = 0;
    virtual HRESULT STDMETHODCALLTYPE DefineDynamicAssembly_4(IUnknown* name, LONG access, IUnknown* required,
                                                              IUnknown* optional, IUnknown* refused,
                                                              IUnknown** builder) = 0;
    virtual HRESULT STDMETHODCALLTYPE DefineDynamicAssembly_5(IUnknown* name, LONG access, BSTR dir,
                                                              IUnknown* evidence, IUnknown** builder) = 0;
    virtual HRESULT STDMETHODCALLTYPE DefineDynamicAssembly_6(IUnknown* name, LONG access, BSTR dir,
                                                              IUnknown* required, IUnknown* optional,
                                                              IUnknown* refused, IUnknown** builder) = 0;
    virtual HRESULT STDMETHODCALLTYPE DefineDynamicAssembly_7(IUnknown* name, LONG access, IUnknown* evidence,
                                                              IUnknown* required, IUnknown* optional,
                                                              IUnknown* refused, IUnknown** builder) = 0;
    virtual HRESULT STDMETHODCALLTYPE DefineDynamicAssembly_8(IUnknown* name, LONG access, BSTR dir,
                                                              IUnknown* evidence, IUnknown* required,
                                                              IUnknown* optional, IUnknown* refused,
                                                              IUnknown** builder) = 0;
    virtual HRESULT STDMETHODCALLTYPE DefineDynamicAssembly_9(IUnknown* name, LONG access, BSTR dir,
                                                              IUnknown* evidence, IUnknown* required,
                                                              IUnknown* optional, IUnknown* refused,
                                                              VARIANT_BOOL synchronized, IUnknown** builder) = 0;
    virtual HRESULT STDMETHODCALLTYPE CreateInstance(BSTR assemblyName, BSTR typeName, _ObjectHandle** handle) = 0;
    virtual HRESULT STDMETHODCALLTYPE CreateInstanceFrom(BSTR assemblyFile, BSTR typeName,
                                                         _ObjectHandle** handle) = 0;
    virtual HRESULT STDMETHODCALLTYPE CreateInstance_2(BSTR assemblyName, BSTR typeName,
                                                       SAFEARRAY* activationAttributes, _ObjectHandle** handle) = 0;
    virtual HRESULT STDMETHODCALLTYPE CreateInstanceFrom_2(BSTR assemblyFile, BSTR typeName,
                                                           SAFEARRAY* activationAttributes,
                                                           _ObjectHandle** handle) = 0;
    virtual HRESULT STDMETHODCALLTYPE CreateInstance_3(BSTR assemblyName, BSTR typeName, VARIANT_BOOL ignoreCase,
                                                       LONG bindingFlags, IUnknown* binder, SAFEARRAY* args,
                                                       IUnknown* culture, SAFEARRAY* activationAttributes,
                                                       IUnknown* securityAttributes, _ObjectHandle** handle) = 0;
    virtual HRESULT STDMETHODCALLTYPE CreateInstanceFrom_3(BSTR assemblyFile, BSTR typeName, VARIANT_BOOL ignoreCase,
                                                           LONG bindingFlags, IUnknown* binder, SAFEARRAY* args,
                                                           IUnknown* culture, SAFEARRAY* activationAttributes,
                                                           IUnknown* securityAttributes, _ObjectHandle** handle) = 0;
    virtual HRESULT STDMETHODCALLTYPE Load(IUnknown* assemblyRef, IUnknown** assembly) = 0;
    virtual HRESULT STDMETHODCALLTYPE Load_2(BSTR assemblyString, IUnknown** assembly) = 0;
    virtual HRESULT STDMETHODCALLTYPE Load_3(SAFEARRAY* rawAssembly, IUnknown** assembly) = 0;
    virtual HRESULT STDMETHODCALLTYPE Load_4(SAFEARRAY* rawAssembly, SAFEARRAY* rawSymbolStore,
                                             IUnknown** assembly) = 0;
    virtual HRESULT STDMETHODCALLTYPE Load_5(SAFEARRAY* rawAssembly, SAFEARRAY* rawSymbolStore, IUnknown* evidence,
                                             IUnknown** assembly) = 0;
    virtual HRESULT STDMETHODCALLTYPE Load_6(IUnknown* assemblyRef, IUnknown* evidence, IUnknown** assembly) = 0;
    virtual HRESULT STDMETHODCALLTYPE Load_7(BSTR assemblyString, IUnknown* evidence, IUnknown** assembly) = 0;
    virtual HRESULT STDMETHODCALLTYPE ExecuteAssembly(BSTR assemblyFile, IUnknown* evidence, LONG* result) = 0;
    virtual HRESULT STDMETHODCALLTYPE ExecuteAssembly_2(BSTR assemblyFile, LONG* result) = 0;
    virtual HRESULT STDMETHODCALLTYPE ExecuteAssembly_3(BSTR assemblyFile, IUnknown* evidence, SAFEARRAY* args,
                                                        LONG* result) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_FriendlyName(BSTR* value) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_BaseDirectory(BSTR* value) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_RelativeSearchPath(BSTR* value) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_ShadowCopyFiles(VARIANT_BOOL* value) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetAssemblies(SAFEARRAY** assemblies) = 0;
    virtual HRESULT STDMETHODCALLTYPE AppendPrivatePath(BSTR path) = 0;
    virtual HRESULT STDMETHODCALLTYPE ClearPrivatePath() = 0;
    virtual HRESULT STDMETHODCALLTYPE SetShadowCopyPath(BSTR path) = 0;
    virtual HRESULT STDMETHODCALLTYPE ClearShadowCopyPath() = 0;
    virtual HRESULT STDMETHODCALLTYPE SetCachePath(BSTR path) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetData(BSTR name, VARIANT data) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetData(BSTR name, VARIANT* data) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetAppDomainPolicy(IUnknown* policy) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetThreadPrincipal(IUnknown* principal) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetPrincipalPolicy(LONG policy) = 0;
    virtual HRESULT STDMETHODCALLTYPE DoCallBack(IUnknown* callBackDelegate) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_DynamicDirectory(BSTR* value) = 0;
};

}  // namespace clr
