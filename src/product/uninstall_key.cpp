#include "product/uninstall_key.h"

#include "base/registry_view.h"

std::wstring uninstallKeyName(const std::wstring& productCode) {
    return L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\" + productCode;
}

bool openUninstallKey(HKEY root, const std::wstring& productCode, REGSAM access, base::unique_hkey& key,
                      REGSAM& view) {
    const std::wstring name = uninstallKeyName(productCode);
    const REGSAM views[] = {base::registryView(base::ownRegistryView), base::registryView(base::otherRegistryView)};
    for (size_t i = 0; i < 2; ++i) {
        if (i > 0 && views[i] == views[0]) break;  // one view only: nothing else to look in
        base::unique_hkey opened;
        if (::RegOpenKeyExW(root, name.c_str(), 0, access | views[i], opened.put()) == ERROR_SUCCESS) {
            key = std::move(opened);
            view = views[i];
            return true;
        }
    }
    return false;
}
