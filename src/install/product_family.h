#pragma once
// Which installed products are of the downloaded package's family, and so may
// be removed as its earlier releases. version_info.xml comes from a web site:
// a product code listed there must not be enough to remove another maker's product.
#include <string>

struct PackageFamily {
    std::wstring upgradeCode;   // the package's UpgradeCode; empty when it has none
    std::wstring manufacturer;  // the package's Manufacturer
};

// Reads the UpgradeCode and Manufacturer of the package at folder\fileName.
// False with errorText "Failed to read the package '<fileName>'. Error: <n>."
// when its Property table cannot be read.
bool ReadPackageFamily(const std::wstring& folder, const std::wstring& fileName, PackageFamily& family,
                       std::wstring& errorText);

// True when the installer lists the product among those installed with the
// family's UpgradeCode, or when the product's Publisher equals the family's
// Manufacturer (ASCII case folded). Empty values match nothing.
bool IsOfPackageFamily(const PackageFamily& family, const std::wstring& productCode);

// The installed product's Publisher; empty when the installer knows none.
std::wstring ProductPublisher(const std::wstring& productCode);

// Tells the diagnostic log why a listed, installed product stays installed.
void LogForeignProduct(const PackageFamily& family, const std::wstring& productCode);
