#include "package_properties.h"

#include <windows.h>
#include <msi.h>
#include <msiquery.h>

#include "base/unique_any.h"

namespace {

struct msi_handle_traits {
    using type = MSIHANDLE;
    static MSIHANDLE invalid() noexcept { return 0; }
    static void close(MSIHANDLE h) noexcept { ::MsiCloseHandle(h); }
};
using unique_msihandle = base::unique_any<msi_handle_traits>;

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

}  // namespace

bool readPackageProperties(const std::wstring& path, PackageProperties& properties, std::wstring& error) {
    const std::wstring what = L"package '" + path + L"': ";
    unique_msihandle database;
    UINT result = ::MsiOpenDatabaseW(path.c_str(), MSIDBOPEN_READONLY, database.put());
    if (result != ERROR_SUCCESS) {
        error = what + L"cannot be opened as a Windows Installer package (error " + std::to_wstring(result) + L")";
        return false;
    }
    unique_msihandle view;
    result = ::MsiDatabaseOpenViewW(database.get(), L"SELECT `Property`, `Value` FROM `Property`", view.put());
    if (result == ERROR_SUCCESS) result = ::MsiViewExecute(view.get(), 0);
    if (result != ERROR_SUCCESS) {
        error = what + L"its Property table cannot be read (error " + std::to_wstring(result) + L")";
        return false;
    }
    PackageProperties found;
    struct Wanted {
        const wchar_t* name;
        std::wstring PackageProperties::*field;
    };
    const Wanted wanted[] = {
        {L"ProductCode", &PackageProperties::productCode},
        {L"ProductVersion", &PackageProperties::productVersion},
        {L"ProductLanguage", &PackageProperties::productLanguage},
        {L"ProductName", &PackageProperties::productName},
        {L"Manufacturer", &PackageProperties::manufacturer},
    };
    for (;;) {
        unique_msihandle record;
        result = ::MsiViewFetch(view.get(), record.put());
        if (result == ERROR_NO_MORE_ITEMS) break;
        std::wstring name, value;
        if (result != ERROR_SUCCESS || !recordString(record.get(), 1, name) || !recordString(record.get(), 2, value)) {
            error = what + L"its Property table cannot be read (error " + std::to_wstring(result) + L")";
            return false;
        }
        for (const Wanted& w : wanted)
            if (name == w.name) found.*w.field = value;
    }
    for (const Wanted& w : wanted) {
        if ((found.*w.field).empty()) {
            error = what + L"the property " + w.name + L" is missing or empty";
            return false;
        }
    }
    properties = found;
    return true;
}
