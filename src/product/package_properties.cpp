#include "product/package_properties.h"

#include <msi.h>
#include <msiquery.h>

#include "base/unique_any.h"

bool recordString(MSIHANDLE record, UINT field, std::wstring& text) {
    DWORD length = 0;
    wchar_t empty[1] = {};
    UINT result = ::MsiRecordGetStringW(record, field, empty, &length);
    if (result != ERROR_MORE_DATA && result != ERROR_SUCCESS) return false;
    std::wstring value(length + 1, L'\0');
    length = static_cast<DWORD>(value.size());
    if (::MsiRecordGetStringW(record, field, &value[0], &length) != ERROR_SUCCESS) return false;
    value.resize(length);
    text.swap(value);
    return true;
}

PackageRead readPackagePropertyTable(const std::wstring& path, PackageProperties& properties) {
    PackageRead read;
    base::unique_msihandle database;
    read.status = ::MsiOpenDatabaseW(path.c_str(), MSIDBOPEN_READONLY, database.put());
    if (read.status != ERROR_SUCCESS) return read;
    read.opened = true;
    base::unique_msihandle view;
    read.status = ::MsiDatabaseOpenViewW(database.get(), L"SELECT `Property`, `Value` FROM `Property`", view.put());
    if (read.status == ERROR_SUCCESS) read.status = ::MsiViewExecute(view.get(), 0);
    if (read.status != ERROR_SUCCESS) return read;

    struct Wanted {
        const wchar_t* name;
        std::wstring PackageProperties::*field;
    };
    static const Wanted wanted[] = {
        {L"ProductCode", &PackageProperties::productCode},
        {L"ProductVersion", &PackageProperties::productVersion},
        {L"ProductLanguage", &PackageProperties::productLanguage},
        {L"ProductName", &PackageProperties::productName},
        {L"Manufacturer", &PackageProperties::manufacturer},
        {L"UpgradeCode", &PackageProperties::upgradeCode},
    };
    PackageProperties found;
    for (;;) {
        base::unique_msihandle record;
        read.status = ::MsiViewFetch(view.get(), record.put());
        if (read.status == ERROR_NO_MORE_ITEMS) break;
        std::wstring name, value;
        if (read.status == ERROR_SUCCESS &&
            (!recordString(record.get(), 1, name) || !recordString(record.get(), 2, value)))
            read.status = ERROR_INVALID_DATA;
        if (read.status != ERROR_SUCCESS) return read;
        for (const Wanted& w : wanted)
            if (name == w.name) found.*w.field = value;
    }
    read.status = ERROR_SUCCESS;
    properties = found;
    return read;
}
