#include "product/install_location.h"

#include <windows.h>
#include <msi.h>
#include <shlwapi.h>

#include <cwchar>
#include <vector>

#include "base/registry_view.h"
#include "base/unique_any.h"
#include "product/split_list.h"
#include "product/uninstall_key.h"

namespace {

// A value's data as text, whatever its type; empty when the value is missing.
std::wstring readValueText(HKEY key, const wchar_t* name, DWORD* typeOut) {
    DWORD type = 0;
    DWORD size = 0;
    if (::RegQueryValueExW(key, name, nullptr, &type, nullptr, &size) != ERROR_SUCCESS || size == 0)
        return std::wstring();
    std::vector<wchar_t> data(size / sizeof(wchar_t) + 2, L'\0');
    size = static_cast<DWORD>((data.size() - 1) * sizeof(wchar_t));
    if (::RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(data.data()), &size) != ERROR_SUCCESS)
        return std::wstring();
    if (typeOut) *typeOut = type;
    return std::wstring(data.data(), wcsnlen(data.data(), data.size()));
}

std::wstring installLocationUnder(HKEY root, const std::wstring& productCode) {
    base::unique_hkey key;
    REGSAM view = 0;
    if (!openUninstallKey(root, productCode, KEY_QUERY_VALUE, key, view)) return std::wstring();
    return readValueText(key.get(), L"InstallLocation", nullptr);
}

bool isRegistryKeyPath(const std::wstring& path) {
    return path.size() >= 3 && iswdigit(path[0]) && iswdigit(path[1]) && path[2] == L':';
}

}  // namespace

std::wstring GetInstallLocation(const std::wstring& productCode) {
    std::wstring location = installLocationUnder(HKEY_CURRENT_USER, productCode);
    if (location.empty()) location = installLocationUnder(HKEY_LOCAL_MACHINE, productCode);
    return location;
}

std::wstring ReadRegistryKeyPath(const std::wstring& keyPath) {
    const std::vector<std::wstring> pieces = splitList(keyPath, L':');
    if (pieces.size() < 2) return std::wstring();

    HKEY root = nullptr;
    REGSAM view = 0;
    const std::wstring& rootCode = pieces[0];
    if (rootCode.size() != 2 || !iswdigit(rootCode[0]) || !iswdigit(rootCode[1])) return std::wstring();
    switch (rootCode[1]) {
        case L'0': root = HKEY_CLASSES_ROOT; break;
        case L'1': root = HKEY_CURRENT_USER; break;
        case L'2': root = HKEY_LOCAL_MACHINE; break;
        case L'3': root = HKEY_USERS; break;
        default: return std::wstring();
    }
    // The installer writes a 32-bit component's key path in the 32-bit view and
    // a 64-bit one's in the 64-bit view, whatever the width of this program.
    if (rootCode[0] == L'0') {
        view = base::registryView(KEY_WOW64_32KEY);
    } else if (rootCode[0] == L'2') {
        view = base::registryView(KEY_WOW64_64KEY);
    } else {
        return std::wstring();
    }

    const std::wstring& rest = pieces[1];
    const size_t slash = rest.rfind(L'\\');
    if (slash == std::wstring::npos) return std::wstring();
    std::wstring key = rest.substr(0, slash);
    std::wstring name = rest.substr(slash + 1);
    const size_t forward = name.rfind(L'/');
    if (forward != std::wstring::npos) name = name.substr(forward + 1);
    if (!key.empty() && key[0] == L'\\') key.erase(0, 1);

    base::unique_hkey handle;
    if (::RegOpenKeyExW(root, key.c_str(), 0, KEY_QUERY_VALUE | view, handle.put()) != ERROR_SUCCESS)
        return std::wstring();
    DWORD type = REG_NONE;
    std::wstring value = readValueText(handle.get(), name.c_str(), &type);
    return type == REG_SZ ? value : std::wstring();
}

std::wstring LocateManifestFolder(const std::wstring& componentCode) {
    std::vector<wchar_t> buffer(2048, L'\0');
    DWORD length = 2047;
    const INSTALLSTATE state = ::MsiLocateComponentW(componentCode.c_str(), buffer.data(), &length);
    const std::wstring path(buffer.data(), wcsnlen(buffer.data(), buffer.size()));

    if (state == INSTALLSTATE_ABSENT && isRegistryKeyPath(path)) {
        // Some installers report a registry key path absent because no file of
        // that name exists; the value itself tells whether it is there.
        return ReadRegistryKeyPath(path);
    }
    if (state != INSTALLSTATE_LOCAL) return std::wstring();
    if (::PathFileExistsW(path.c_str())) {
        if (::PathIsDirectoryW(path.c_str())) return path;
        const size_t slash = path.rfind(L'\\');
        return slash == std::wstring::npos ? std::wstring() : path.substr(0, slash);
    }
    return ReadRegistryKeyPath(path);
}
