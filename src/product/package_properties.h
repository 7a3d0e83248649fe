#pragma once
// What a Windows Installer package says about itself in its Property table.
#include <windows.h>
#include <msi.h>

#include <string>

struct PackageProperties {
    std::wstring productCode;
    std::wstring productVersion;
    std::wstring productLanguage;
    std::wstring productName;
    std::wstring manufacturer;
    std::wstring upgradeCode;  // optional in a package
};

struct PackageRead {
    UINT status = ERROR_SUCCESS;  // the installer's result of the step that failed
    bool opened = false;          // false: the file did not open as a package at all
    bool ok() const { return status == ERROR_SUCCESS; }
};

// Opens the package read-only (readers that deny writers may hold it open
// meanwhile) and fills in the properties it has; those it lacks are left
// empty. properties is changed only when the whole table was read.
PackageRead readPackagePropertyTable(const std::wstring& path, PackageProperties& properties);

// One string field of a record; false when the installer cannot give it.
bool recordString(MSIHANDLE record, UINT field, std::wstring& text);
