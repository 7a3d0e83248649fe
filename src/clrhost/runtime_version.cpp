#include "clrhost/runtime_version.h"

#include "base/registry_view.h"
#include "base/unique_any.h"
#include "clrhost/hresult_text.h"

namespace clrhost {
namespace {

constexpr DWORD kRootBytes = 512;
constexpr DWORD kPathChars = 512;

int compareAsciiNoCase(const std::wstring& a, const std::wstring& b) {
    auto fold = [](wchar_t c) { return (c >= L'A' && c <= L'Z') ? static_cast<wchar_t>(c - L'A' + L'a') : c; };
    const size_t n = a.size() < b.size() ? a.size() : b.size();
    for (size_t i = 0; i < n; ++i) {
        const wchar_t x = fold(a[i]);
        const wchar_t y = fold(b[i]);
        if (x != y) return x < y ? -1 : 1;
    }
    if (a.size() == b.size()) return 0;
    return a.size() < b.size() ? -1 : 1;
}

bool holdsMscorlib(const std::wstring& folder) {
    wchar_t found[kPathChars];
    const DWORD length = ::SearchPathW(folder.c_str(), L"mscorlib.dll", nullptr, kPathChars, found, nullptr);
    return length != 0 && length < kPathChars;
}

}  // namespace

bool readInstallRoot(std::wstring& root, HRESULT& hr) {
    // The view of this program's width: a process loads only the runtime of its
    // own width, and on 64-bit Windows the 64-bit view names Framework64, the
    // 32-bit view Framework.
    base::unique_hkey key;
    LONG status = ::RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Microsoft\\.NETFramework", 0,
                                  KEY_READ | base::registryView(base::ownRegistryView), key.put());
    if (status == ERROR_SUCCESS) {
        // One spare character so that a value stored without its terminator still ends.
        wchar_t buffer[kRootBytes / sizeof(wchar_t) + 1] = {};
        DWORD type = 0;
        DWORD size = kRootBytes;
        status = ::RegQueryValueExW(key.get(), L"InstallRoot", nullptr, &type, reinterpret_cast<BYTE*>(buffer),
                                    &size);
        if (status == ERROR_SUCCESS && size > kRootBytes) status = ERROR_MORE_DATA;
        if (status == ERROR_SUCCESS && type != REG_SZ && type != REG_EXPAND_SZ) status = ERROR_INVALID_DATA;
        if (status == ERROR_SUCCESS) {
            root.assign(buffer);
            return true;
        }
    }
    // The registry functions return their error rather than setting the thread's.
    hr = hresultFromError(static_cast<DWORD>(status));
    return false;
}

std::wstring pickVersionFolder(const std::wstring& root) {
    std::wstring best;
    if (root.empty() || root.size() >= kPathChars) return best;
    WIN32_FIND_DATAW entry;
    base::unique_find find(::FindFirstFileW((root + L"v*").c_str(), &entry));
    if (!find) return best;
    do {
        if ((entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0) continue;
        const std::wstring name = entry.cFileName;
        if (!holdsMscorlib(root + name)) continue;
        if (best.empty() || compareAsciiNoCase(name, best) > 0) best = name;
    } while (::FindNextFileW(find.get(), &entry));
    return best;
}

bool PickRuntimeVersion(std::wstring& clrInstallRoot, std::wstring& clrVersion, std::wstring& errorText) {
    std::wstring root;
    HRESULT hr = S_OK;
    if (!readInstallRoot(root, hr)) {
        errorText = hresultMessage(L"Failed to detect the root folder of the .NET Framework (HRESULT = 0x%x).", hr);
        return false;
    }
    clrInstallRoot = root;
    clrVersion = pickVersionFolder(clrInstallRoot);
    if (clrVersion.empty()) {
        errorText = formatText(L".NET Framework %s is not installed.", {clrVersion});
        return false;
    }
    return true;
}

}  // namespace clrhost
