#include "install/product_state.h"

#include <windows.h>
#include <msi.h>

#include "product/ascii_compare.h"

const wchar_t removalForbiddenText[] =
    L"This installation is forbidden by system policy (1625). Contact your system administrator.";

bool IsProductInstalled(const std::wstring& productCode) {
    wchar_t version[MAX_PATH] = {};
    DWORD length = MAX_PATH;
    return ::MsiGetProductInfoW(productCode.c_str(), INSTALLPROPERTY_VERSIONSTRING, version, &length) ==
           ERROR_SUCCESS;
}

bool MayRemoveProduct(const RemovalRights& rights, const std::wstring& productCode) {
    if (rights.processElevated) {
        DWORD sidLength = 0;
        // Any installation of the product, for any user and in any context.
        if (::MsiEnumProductsExW(productCode.c_str(), L"s-1-1-0", MSIINSTALLCONTEXT_ALL, 0, nullptr, nullptr,
                                 nullptr, &sidLength) != ERROR_SUCCESS)
            return true;
        return IsProductInstalled(productCode);
    }
    if (!rights.laterThanVersion5) return equalsAsciiNoCase(rights.privileges, L"user");
    return true;
}
