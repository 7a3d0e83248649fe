#include "install/product_family.h"

#include <windows.h>
#include <msi.h>

#include "diagnostics/diagnostic_log.h"
#include "product/ascii_compare.h"
#include "product/combine.h"
#include "product/package_properties.h"

bool ReadPackageFamily(const std::wstring& folder, const std::wstring& fileName, PackageFamily& family,
                       std::wstring& errorText) {
    PackageProperties properties;
    const PackageRead read = readPackagePropertyTable(combinePath(folder, fileName), properties);
    if (!read.ok()) {
        errorText = L"Failed to read the package '" + fileName + L"'. Error: " +
                    std::to_wstring(static_cast<int>(read.status)) + L".";
        return false;
    }
    family.upgradeCode = properties.upgradeCode;
    family.manufacturer = properties.manufacturer;
    return true;
}

bool IsOfPackageFamily(const PackageFamily& family, const std::wstring& productCode) {
    if (productCode.empty()) return false;
    if (!family.upgradeCode.empty()) {
        wchar_t related[39] = {};  // a product code in braces
        for (DWORD i = 0; ::MsiEnumRelatedProductsW(family.upgradeCode.c_str(), 0, i, related) == ERROR_SUCCESS; ++i) {
            if (equalsAsciiNoCase(related, productCode)) return true;
        }
    }
    return !family.manufacturer.empty() && equalsAsciiNoCase(ProductPublisher(productCode), family.manufacturer);
}

std::wstring ProductPublisher(const std::wstring& productCode) {
    std::wstring publisher(64, L'\0');
    for (int attempt = 0; attempt < 3; ++attempt) {
        DWORD length = static_cast<DWORD>(publisher.size());
        const UINT status =
            ::MsiGetProductInfoW(productCode.c_str(), INSTALLPROPERTY_PUBLISHER, &publisher[0], &length);
        if (status == ERROR_SUCCESS) {
            publisher.resize(length);
            return publisher;
        }
        if (status != ERROR_MORE_DATA) break;
        publisher.assign(length + 1, L'\0');
    }
    return std::wstring();
}

void LogForeignProduct(const PackageFamily& family, const std::wstring& productCode) {
    if (!diagnostics::logging()) return;
    diagnostics::log(L"removal skipped: " + productCode + L" is not of this product's family (package UpgradeCode " +
                     (family.upgradeCode.empty() ? L"none" : family.upgradeCode) + L", Manufacturer '" +
                     family.manufacturer + L"'; product Publisher '" + ProductPublisher(productCode) + L"')");
}
