#include "install/host_executable.h"

#include <windows.h>
#include <objbase.h>
#include <shlwapi.h>
#include <wbemcli.h>

#include <cwchar>

#include "base/unique_any.h"
#include "install/process_list.h"
#include "product/combine.h"

namespace {

// Defined here rather than taken from wbemuuid, which would bring every WMI
// identifier into the program.
const CLSID wbemLocatorClass = {0x4590f811, 0x1d3a, 0x11d0, {0x89, 0x1f, 0x00, 0xaa, 0x00, 0x4b, 0x2e, 0x24}};
const IID wbemLocatorInterface = {0xdc12a687, 0x737f, 0x11cf, {0x88, 0x4d, 0x00, 0xaa, 0x00, 0x4b, 0x2e, 0x24}};

// COM for the calling thread for as long as this lives. The installation runs
// on a thread-pool thread that nobody initialised; a thread that already has an
// apartment keeps it.
class ComScope {
public:
    ComScope() : result_(::CoInitializeEx(nullptr, COINIT_MULTITHREADED)) {}
    ~ComScope() {
        if (SUCCEEDED(result_)) ::CoUninitialize();
    }
    ComScope(const ComScope&) = delete;
    ComScope& operator=(const ComScope&) = delete;

private:
    HRESULT result_;
};

// The unnamed value of HKEY_CLASSES_ROOT\<key> when it is a string.
bool readDefaultString(const std::wstring& key, std::wstring& value) {
    base::unique_hkey handle;
    if (::RegOpenKeyExW(HKEY_CLASSES_ROOT, key.c_str(), 0, KEY_READ, handle.put()) != ERROR_SUCCESS) return false;
    DWORD type = 0;
    DWORD size = 0;
    if (::RegQueryValueExW(handle.get(), nullptr, nullptr, &type, nullptr, &size) != ERROR_SUCCESS) return false;
    if (type != REG_SZ && type != REG_EXPAND_SZ) return false;
    std::wstring data(size / sizeof(wchar_t) + 1, L'\0');
    size = static_cast<DWORD>(data.size() * sizeof(wchar_t));
    if (::RegQueryValueExW(handle.get(), nullptr, nullptr, &type, reinterpret_cast<BYTE*>(&data[0]), &size) !=
        ERROR_SUCCESS)
        return false;
    data.resize(wcsnlen(data.c_str(), data.size()));
    value = data;
    return true;
}

bool hasFileVersion(const std::wstring& path) {
    DWORD ignored = 0;
    const DWORD size = ::GetFileVersionInfoSizeW(path.c_str(), &ignored);
    if (size == 0) return false;
    std::string block(size, '\0');
    if (!::GetFileVersionInfoW(path.c_str(), 0, size, &block[0])) return false;
    VS_FIXEDFILEINFO* info = nullptr;
    UINT length = 0;
    if (!::VerQueryValueW(block.data(), L"\\", reinterpret_cast<void**>(&info), &length) || !info ||
        length < sizeof(VS_FIXEDFILEINFO))
        return false;
    return info->dwFileVersionMS != 0 || info->dwFileVersionLS != 0;
}

}  // namespace

std::wstring QueryWmiExecutablePath(const std::wstring& executable) {
    ComScope com;
    base::unique_com<IWbemLocator> locator;
    if (FAILED(::CoCreateInstance(wbemLocatorClass, nullptr, CLSCTX_INPROC_SERVER, wbemLocatorInterface,
                                  reinterpret_cast<void**>(locator.put()))))
        return std::wstring();

    base::unique_bstr space(::SysAllocString(L"ROOT\\CIMV2"));
    base::unique_com<IWbemServices> services;
    if (!space || FAILED(locator.get()->ConnectServer(space.get(), nullptr, nullptr, nullptr, 0, nullptr, nullptr,
                                                      services.put())))
        return std::wstring();
    if (FAILED(::CoSetProxyBlanket(services.get(), RPC_C_AUTHN_WINNT, RPC_C_AUTHZ_NONE, nullptr,
                                   RPC_C_AUTHN_LEVEL_CALL, RPC_C_IMP_LEVEL_IMPERSONATE, nullptr, EOAC_NONE)))
        return std::wstring();

    // An image name never holds a quote; refusing one keeps the query well formed.
    if (executable.find_first_of(L"'\\") != std::wstring::npos) return std::wstring();
    const std::wstring text = L"SELECT ExecutablePath FROM Win32_Process where Name='" + executable + L"'";
    base::unique_bstr language(::SysAllocString(L"WQL"));
    base::unique_bstr query(::SysAllocString(text.c_str()));
    base::unique_com<IEnumWbemClassObject> results;
    if (!language || !query ||
        FAILED(services.get()->ExecQuery(language.get(), query.get(),
                                         WBEM_FLAG_RETURN_IMMEDIATELY | WBEM_FLAG_FORWARD_ONLY, nullptr,
                                         results.put())))
        return std::wstring();

    std::wstring path;
    for (;;) {
        base::unique_com<IWbemClassObject> object;
        ULONG returned = 0;
        if (results.get()->Next(WBEM_INFINITE, 1, object.put(), &returned) != WBEM_S_NO_ERROR || returned == 0)
            break;
        VARIANT value;
        ::VariantInit(&value);
        path.clear();
        if (SUCCEEDED(object.get()->Get(L"ExecutablePath", 0, &value, nullptr, nullptr)) && value.vt == VT_BSTR &&
            value.bstrVal)
            path = value.bstrVal;
        ::VariantClear(&value);
    }
    return path;
}

std::wstring FindHostExecutable(const std::wstring& executable, const std::wstring& typeLibrary) {
    std::wstring path = QueryWmiExecutablePath(executable);
    // WMI may know the process but not its path (Wine, restricted accounts): ask the process.
    if (path.empty()) path = RunningProcessImagePath(executable);
    if (path.empty() && !typeLibrary.empty()) path = FindHostByTypeLibrary(typeLibrary, executable);
    return path;
}

std::wstring FindHostByTypeLibrary(const std::wstring& typeLibrary, const std::wstring& executable) {
    std::wstring found;
    for (const std::wstring& folder : TypeLibraryFolders(typeLibrary)) {
        const std::wstring candidate = combinePath(folder, executable);
        if (!candidate.empty() && hasFileVersion(candidate)) found = candidate;
    }
    return found;
}

std::vector<std::wstring> TypeLibraryFolders(const std::wstring& typeLibrary) {
    std::vector<std::wstring> folders;
    const std::wstring root = L"TypeLib\\" + typeLibrary;
    base::unique_hkey key;
    if (::RegOpenKeyExW(HKEY_CLASSES_ROOT, root.c_str(), 0, KEY_READ, key.put()) != ERROR_SUCCESS) return folders;

    for (DWORD index = 0;; ++index) {
        wchar_t version[256];
        DWORD length = ARRAYSIZE(version);
        const LONG status = ::RegEnumKeyExW(key.get(), index, version, &length, nullptr, nullptr, nullptr, nullptr);
        if (status == ERROR_MORE_DATA) continue;
        if (status != ERROR_SUCCESS) break;
        for (const wchar_t* platform : {L"\\0\\win32", L"\\0\\win64"}) {
            std::wstring file;
            if (!readDefaultString(root + L"\\" + version + platform, file)) continue;
            if (!::PathFileExistsW(file.c_str()) || ::PathIsDirectoryW(file.c_str())) continue;
            const size_t slash = file.rfind(L'\\');
            if (slash != std::wstring::npos) folders.push_back(file.substr(0, slash));
        }
    }
    return folders;
}
