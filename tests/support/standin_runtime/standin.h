#pragma once
// The stand-in .NET runtime: a "mscoree.dll" with the version-4 hosting
// interfaces whose domain creates scriptable objects. Every call is written as
// one JSON line to the log the scenario names; the scenario file says which
// calls fail and what the objects' methods do. Both are found anew on every
// call, so one process can run several scenarios.
//
// Scenario file: STANDIN_RUNTIME_SCENARIO (a Windows path), else
// "mscoree.scenario" beside this DLL. Lines "key=value", '#' starts a comment:
//   log=<path>                 where the JSON lines go (else STANDIN_RUNTIME_LOG)
//   version=<text>             what GetVersionString reports (default: the version asked for)
//   fail.<call>=<hresult>      CLRCreateInstance, GetRuntime, GetInterface, Start,
//                              GetVersionString, CreateDomainSetup, QueryAppDomainSetup,
//                              put_ApplicationBase, put_PrivateBinPath, put_ConfigurationFile,
//                              CreateDomainEx, QueryAppDomain, UnloadDomain,
//                              CreateInstance[.<type>], Unwrap[.<type>]
//   unwrap.<type>=garbage      Unwrap yields a VT_I4 instead of an object
//   missing[.<type>]=A,B       methods the object lacks
//   read_properties=A,B        DoInstallUIAction logs these installer properties
//   <Method>.when=<text>       the lines below apply only when the first text argument is this
//   <Method>.kind=<n>          ... and only for this message kind (DoInstallUIAction)
//   <Method>.cancel=<n>        written to the cancel cell
//   <Method>.level=<n>         written to the level cell
//   <Method>.text=<text>       the text cell gets a new global block with this text
//                              (empty: null); the old block is freed
//   <Method>.result=<n>        written to the result cell
//   <Method>.garbage=1         the text cell points to no global block, the level
//                              and result cells get 0x5A5A5A5A
//   <Method>.throw=1           the call ends in DISP_E_EXCEPTION after the cells are written
//   <Method>.hresult=<hresult> the call returns this after the cells are written
#include <windows.h>

#include <string>

#include "clrhost/hosting_interfaces.h"

namespace standin {

extern HMODULE thisModule;

// Scenario values; empty when absent.
std::string setting(const std::string& key);
bool hasSetting(const std::string& key);
// The HRESULT of fail.<call>; S_OK when there is none.
HRESULT scriptedFailure(const std::string& call);
// A number written as decimal or 0x-hexadecimal.
long long parseNumber(const std::string& text);

std::wstring widen(const std::string& text);
std::string narrow(const std::wstring& text);
std::string guidText(REFGUID guid);
std::string hexText(unsigned long value);

// One JSON object, written as one line to the log.
class Record {
public:
    explicit Record(const char* call);
    Record& text(const char* key, const std::string& value);
    Record& text(const char* key, const std::wstring& value);
    Record& text(const char* key, const wchar_t* value);  // null writes null
    Record& number(const char* key, long long value);
    Record& unsignedNumber(const char* key, unsigned long long value);
    Record& flag(const char* key, bool value);
    Record& raw(const char* key, const std::string& json);
    Record& hresult(HRESULT hr) { return raw("hr", "\"" + hexText(static_cast<unsigned long>(hr)) + "\""); }
    std::string json() const { return body_ + "}"; }
    void write() const;

private:
    void key(const char* name);
    std::string body_;
};

std::string jsonString(const std::string& utf8);

// Objects of the stand-in.
HRESULT createMetaHost(REFIID riid, void** object);
HRESULT createRuntimeInfo(const std::wstring& version, REFIID riid, void** object);
HRESULT createRuntimeHost(REFIID riid, void** object);
HRESULT createDomainSetup(IUnknown** object);
// The values a setup object holds; false when setup is not one of ours.
struct SetupValues {
    std::wstring applicationBase;
    std::wstring privateBinPath;
    std::wstring configurationFile;
};
bool readSetup(IUnknown* setup, SetupValues& values);
HRESULT createDomain(const std::wstring& friendlyName, IUnknown** object);
// Marks one of our domains unloaded; false when domain is not one of ours.
bool unloadDomain(IUnknown* domain);
HRESULT createObjectHandle(const std::wstring& assembly, const std::wstring& type, clr::_ObjectHandle** handle);
HRESULT createScriptedObject(const std::wstring& type, IDispatch** object);

// Writes a "Destroy" record for an object whose last reference went.
void recordDestroyed(const char* object, const std::wstring& type = std::wstring());

}  // namespace standin
