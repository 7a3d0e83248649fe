#include "package_properties.h"

bool readPackageProperties(const std::wstring& path, PackageProperties& properties, std::wstring& error) {
    const std::wstring what = L"package '" + path + L"': ";
    PackageProperties found;
    const PackageRead read = readPackagePropertyTable(path, found);
    if (!read.ok()) {
        error = what + (read.opened ? L"its Property table cannot be read (error "
                                    : L"cannot be opened as a Windows Installer package (error ") +
                std::to_wstring(read.status) + L")";
        return false;
    }
    struct Required {
        const wchar_t* name;
        const std::wstring& value;
    };
    const Required required[] = {
        {L"ProductCode", found.productCode},   {L"ProductVersion", found.productVersion},
        {L"ProductLanguage", found.productLanguage}, {L"ProductName", found.productName},
        {L"Manufacturer", found.manufacturer},
    };
    for (const Required& r : required) {
        if (r.value.empty()) {
            error = what + L"the property " + r.name + L" is missing or empty";
            return false;
        }
    }
    properties = found;
    return true;
}
