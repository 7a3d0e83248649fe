#include "package_contents.h"

#include <windows.h>
#include <msi.h>
#include <msiquery.h>

#include <algorithm>

#include "base/unique_any.h"
#include "base/windows_error.h"
#include "product/ascii_compare.h"
#include "product/package_properties.h"

const wchar_t* const loaderManifestName = L"kvlloader.dll.manifest";

namespace {

using Row = std::pair<std::wstring, std::wstring>;

// Every row of a two-column query; a table the package does not have gives none.
UINT readPairs(MSIHANDLE database, const wchar_t* table, const wchar_t* query, std::vector<Row>& rows) {
    if (::MsiDatabaseIsTablePersistentW(database, table) != MSICONDITION_TRUE) return ERROR_SUCCESS;
    base::unique_msihandle view;
    UINT status = ::MsiDatabaseOpenViewW(database, query, view.put());
    if (status == ERROR_SUCCESS) status = ::MsiViewExecute(view.get(), 0);
    while (status == ERROR_SUCCESS) {
        base::unique_msihandle record;
        status = ::MsiViewFetch(view.get(), record.put());
        if (status != ERROR_SUCCESS) break;
        Row row;
        if (!recordString(record.get(), 1, row.first) || !recordString(record.get(), 2, row.second))
            return ERROR_INVALID_DATA;
        rows.push_back(std::move(row));
    }
    return status == ERROR_NO_MORE_ITEMS ? ERROR_SUCCESS : status;
}

// A File table name is "short|long" or one name.
std::wstring longName(const std::wstring& fileName) {
    const size_t bar = fileName.find(L'|');
    return bar == std::wstring::npos ? fileName : fileName.substr(bar + 1);
}

std::wstring installerError(UINT status) {
    return L"error " + std::to_wstring(status) + L": " + systemReason(status);
}

}  // namespace

bool PackageContents::perUser() const {
    return allUsers.empty() || (allUsers == L"2" && installPerUser == L"1");
}

bool readPackageContents(const std::wstring& path, PackageContents& contents, std::wstring& problem) {
    const std::wstring what = L"package '" + path + L"': ";
    base::unique_msihandle database;
    UINT status = ::MsiOpenDatabaseW(path.c_str(), MSIDBOPEN_READONLY, database.put());
    if (status != ERROR_SUCCESS) {
        problem = what + L"cannot be opened as a Windows Installer package (" + installerError(status) + L")";
        return false;
    }
    std::vector<Row> files, components, properties;
    struct Query {
        const wchar_t* table;
        const wchar_t* sql;
        std::vector<Row>& rows;
    } queries[] = {
        {L"File", L"SELECT `Component_`, `FileName` FROM `File`", files},
        {L"Component", L"SELECT `Component`, `ComponentId` FROM `Component`", components},
        {L"Property", L"SELECT `Property`, `Value` FROM `Property`", properties},
    };
    for (Query& query : queries) {
        status = readPairs(database.get(), query.table, query.sql, query.rows);
        if (status != ERROR_SUCCESS) {
            problem = what + L"its " + query.table + L" table cannot be read (" + installerError(status) + L")";
            return false;
        }
    }
    PackageContents found;
    for (const Row& file : files) {
        if (!equalsAsciiNoCase(longName(file.second), loaderManifestName)) continue;
        for (const Row& component : components) {
            if (component.first != file.first || component.second.empty()) continue;
            if (std::find(found.loaderComponentCodes.begin(), found.loaderComponentCodes.end(), component.second) ==
                found.loaderComponentCodes.end())
                found.loaderComponentCodes.push_back(component.second);
        }
    }
    for (const Row& property : properties) {
        if (property.first == L"ALLUSERS") found.allUsers = property.second;
        if (property.first == L"MSIINSTALLPERUSER") found.installPerUser = property.second;
    }
    contents = std::move(found);
    return true;
}

bool packageOpensForInstall(const std::wstring& path, std::wstring& problem) {
    // No window may come up from a tool run in a script.
    const INSTALLUILEVEL previous = ::MsiSetInternalUI(INSTALLUILEVEL_NONE, nullptr);
    base::unique_msihandle package;
    const UINT status =
        ::MsiOpenPackageExW(path.c_str(), MSIOPENPACKAGEFLAGS_IGNOREMACHINESTATE, package.put());
    ::MsiSetInternalUI(previous, nullptr);
    if (status == ERROR_SUCCESS) return true;
    problem = L"package '" + path + L"': msiexec cannot open it to install (" + installerError(status) + L")";
    return false;
}
