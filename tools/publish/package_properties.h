#pragma once
// What a Windows Installer package says about itself in its Property table.
#include <string>

struct PackageProperties {
    std::wstring productCode;
    std::wstring productVersion;
    std::wstring productLanguage;
    std::wstring productName;
    std::wstring manufacturer;
};

// Opens the package read-only. False with error (one line naming the package)
// when it cannot be opened as a package or lacks one of the five properties.
bool readPackageProperties(const std::wstring& path, PackageProperties& properties, std::wstring& error);
