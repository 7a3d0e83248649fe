#include "release_plan.h"

#include <windows.h>

#include "file_bytes.h"
#include "package_contents.h"
#include "package_properties.h"
#include "settings_check.h"
#include "site_names.h"
#include "product/ascii_compare.h"
#include "product/names.h"

bool planRelease(const AddRequest& request, PlannedRelease& plan, std::wstring& problem) {
    std::vector<std::wstring> paths{request.package};
    paths.insert(paths.end(), request.files.begin(), request.files.end());
    for (const std::wstring& path : paths) {
        if (!isFile(path)) {
            problem = L"file '" + path + L"': it does not exist or is not a file";
            return false;
        }
    }
    PackageProperties package;
    PackageContents contents;
    if (!readPackageProperties(request.package, package, problem) ||
        !readPackageContents(request.package, contents, problem) || !packageOpensForInstall(request.package, problem))
        return false;
    const std::wstring packageWhat = L"package '" + request.package + L"': ";
    if (contents.loaderComponentCodes.empty())
        plan.warnings.push_back(packageWhat + L"installs no " + loaderManifestName +
                                L"; the bootstrapper will find no add-in loader to configure");
    if (!isLanguageId(package.productLanguage)) {
        problem = packageWhat + L"ProductLanguage '" + package.productLanguage +
                  L"' is not one decimal language identifier, which the bootstrapper's language setting must equal";
        return false;
    }
    plan.entry.language = package.productLanguage;
    plan.entry.version = request.versionText.empty() ? package.productVersion : request.versionText;
    plan.packageVersion = package.productVersion;
    const std::wstring versionProblem = sitePathPartProblem(plan.entry.version);
    if (!versionProblem.empty()) {
        problem = L"version text '" + plan.entry.version + L"' cannot name the release's folder: " + versionProblem;
        return false;
    }
    plan.entry.productCode = package.productCode;
    plan.company = package.manufacturer;

    for (const std::wstring& path : paths) {
        const std::wstring name = baseName(path) + (request.deploy ? L".deploy" : L"");
        const std::wstring nameProblem = sitePathPartProblem(name);
        if (!nameProblem.empty()) {
            problem = L"file '" + path + L"': its name cannot be published: " + nameProblem;
            return false;
        }
        for (const SourceFile& earlier : plan.files) {
            if (equalsAsciiNoCase(withoutDeploySuffix(earlier.storedName), withoutDeploySuffix(name))) {
                problem = L"file '" + path + L"': the release already has a file named '" + baseName(path) + L"'";
                return false;
            }
        }
        plan.files.push_back({path, name});
    }
    plan.entry.msi = baseName(request.package);
    if (plan.entry.msi.size() < 4 || !equalsAsciiNoCase(plan.entry.msi.substr(plan.entry.msi.size() - 4), L".msi")) {
        problem = packageWhat + L"the name must end in .msi, or the bootstrapper looks for another file";
        return false;
    }
    if (!request.customActionAssembly.empty()) {
        bool listed = false;
        for (const std::wstring& file : request.files)
            listed = listed || equalsAsciiNoCase(baseName(file), request.customActionAssembly);
        if (!listed) {
            problem = L"--custom-action-assembly '" + request.customActionAssembly + L"' is not one of the --file names";
            return false;
        }
    }
    plan.entry.customActionAssembly = request.customActionAssembly;
    plan.entry.customActionClass = request.customActionClass;
    plan.entry.showInstallUI = request.showInstallUI;
    return true;
}
