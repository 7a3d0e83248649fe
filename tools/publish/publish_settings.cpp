#include "publish_settings.h"

#include <windows.h>

#include <map>

#include "base/unique_any.h"
#include "package_properties.h"
#include "replacement_file.h"
#include "settings_check.h"
#include "settings_file.h"
#include "site_description.h"
#include "site_names.h"
#include "product/ascii_compare.h"
#include "product/installation_source.h"
#include "product/names.h"
#include "product/product_description.h"
#include "product/release_pin.h"
#include "product/version_file.h"
#include "xml/utf8.h"
#include "xml/xml_document.h"

namespace {

// The release of that version, in the given language or the only one it has.
const PublishedRelease* chooseRelease(const SiteDescription& site, const SettingsRequest& request,
                                      const std::wstring& descriptionPath, std::vector<std::wstring>& problems) {
    std::vector<const PublishedRelease*> found;
    for (const PublishedRelease& release : site.releases) {
        if (equalsAsciiNoCase(release.version, request.versionText) &&
            (request.language.empty() || equalsAsciiNoCase(release.language, request.language)))
            found.push_back(&release);
    }
    if (found.size() == 1) return found.front();
    if (found.empty()) {
        problems.push_back(descriptionPath + L": no release of version '" + request.versionText + L"'" +
                           (request.language.empty() ? L"" : L" in language " + request.language));
    } else {
        std::wstring languages;
        for (const PublishedRelease* release : found) languages += L" " + release->language;
        problems.push_back(descriptionPath + L": version '" + request.versionText + L"' is published in languages" +
                           languages + L"; choose one with --language");
    }
    return nullptr;
}

// The release's package on the site: the file that the msi attribute names.
std::wstring packagePath(const std::wstring& site, const PublishedRelease& release) {
    std::wstring msi = release.msi;
    if (msi.size() < 4 || !equalsAsciiNoCase(msi.substr(msi.size() - 4), L".msi")) msi += L".msi";
    for (const std::wstring& file : release.files) {
        if (equalsAsciiNoCase(withoutDeploySuffix(baseName(file)), msi)) {
            std::wstring path = sitePath(sitePath(sitePath(site, release.language), release.version), file);
            for (wchar_t& c : path)
                if (c == L'/') c = L'\\';
            return path;
        }
    }
    return std::wstring();
}

// The pin of the release, as the program computes it from the description it
// reads: through the program's own reader, so both sides list the same release.
bool releasePin(const std::wstring& descriptionPath, const std::wstring& company, const PublishedRelease& release,
                const std::wstring& installationUrl, std::wstring& pin, std::vector<std::wstring>& problems) {
    XmlDocument document;
    std::wstring error;
    if (!loadVersionFile(descriptionPath, document, error)) {
        problems.push_back(descriptionPath + L": " + error);
        return false;
    }
    DescriptionInputs inputs;
    inputs.companyName = company;
    inputs.language = release.language;
    inputs.version = release.version;
    inputs.productCode = release.productCode;
    inputs.installationUrl = installationUrl;
    inputs.downloadFolder = L"C:\\download";  // only the names count here
    ProductDescription description;
    if (!readProductDescription(document, inputs, description, error)) {
        problems.push_back(descriptionPath + L": " + error);
        return false;
    }
    if (!releasePinText(description, pin)) {
        problems.push_back(descriptionPath + L": version '" + release.version +
                           L"' gives no size or no sha256 for some of its files, so it cannot be pinned; "
                           L"publish add records both for a new version");
        return false;
    }
    return true;
}

const wchar_t* const writtenKeys[] = {L"companyName", L"productName", L"windowTitle",     L"productCode",
                                      L"language",    L"version",     L"installationUrl", L"releaseDigest",
                                      L"downloadRetries"};

// A value goes on one line, and the stamping tool drops blanks around it.
bool fitsOneLine(const std::wstring& value) {
    if (value.find_first_of(L"\r\n") != std::wstring::npos) return false;
    return value.empty() || (value.front() != L' ' && value.front() != L'\t' && value.back() != L' ' &&
                             value.back() != L'\t');
}

bool writeAtomically(const std::wstring& path, const std::string& bytes, std::wstring& problem) {
    ReplacementFile file(path);
    return file.write(bytes, problem) && file.replaceTarget(problem);
}

}  // namespace

bool writeStampSettings(const SettingsRequest& request, std::wstring& report, std::vector<std::wstring>& problems) {
    const std::wstring descriptionPath = sitePath(request.site, versionFileName);
    XmlDocument document;
    if (!document.loadFile(descriptionPath)) {
        problems.push_back(descriptionPath + L": cannot be read as well-formed XML (" + document.resultText() + L")");
        return false;
    }
    SiteDescription site;
    std::wstring error;
    if (!readSiteDescription(document, site, error)) {
        problems.push_back(descriptionPath + L": " + error);
        return false;
    }
    const PublishedRelease* release = chooseRelease(site, request, descriptionPath, problems);
    if (release == nullptr) return false;
    const std::wstring package = packagePath(request.site, *release);
    if (package.empty()) {
        problems.push_back(descriptionPath + L": version '" + release->version + L"' has no file named by its msi attribute '" +
                           release->msi + L"'");
        return false;
    }
    PackageProperties properties;
    if (!readPackageProperties(package, properties, error)) {
        problems.push_back(error);
        return false;
    }
    if (!equalsAsciiNoCase(properties.productCode, release->productCode)) {
        problems.push_back(descriptionPath + L": version '" + release->version + L"' names product code '" +
                           release->productCode + L"', but its package has " + properties.productCode);
        return false;
    }

    std::wstring pin;
    if (!releasePin(descriptionPath, site.applicationName, *release, request.installationUrl, pin, problems))
        return false;
    // The texts exactly as the bootstrapper compares them with the site.
    const std::wstring values[] = {site.applicationName, properties.productName, properties.productName,
                                   release->productCode, release->language,     release->version,
                                   request.installationUrl, pin,                  L"3"};
    std::map<UINT, std::wstring> table;
    std::wstring text = L"# Stamp settings for version " + release->version + L" (language " + release->language +
                        L") of " + descriptionPath + L", written by publish settings.\r\n";
    for (size_t i = 0; i < sizeof(writtenKeys) / sizeof(writtenKeys[0]); ++i) {
        if (!fitsOneLine(values[i]))
            problems.push_back(std::wstring(writtenKeys[i]) + L": '" + values[i] +
                               L"' has a line break or blanks around it, which a settings file cannot carry");
        table[settingStringId(writtenKeys[i])] = values[i];
        text += std::wstring(writtenKeys[i]) + L"=" + values[i] + L"\r\n";
    }
    // The stamping tool's own checks, for the keys written here (the others
    // keep the program's shipped values).
    wchar_t folder[MAX_PATH] = {};
    ::GetCurrentDirectoryW(MAX_PATH, folder);
    for (const std::wstring& problem : settingProblems(table, std::wstring(folder) + L"\\")) {
        for (const wchar_t* key : writtenKeys)
            if (problem.compare(0, wcslen(key) + 1, std::wstring(key) + L":") == 0) problems.push_back(problem);
    }
    if (!problems.empty()) return false;
    std::wstring problem;
    if (!writeAtomically(request.out, xml::wideToUtf8(text), problem)) {
        problems.push_back(problem);
        return false;
    }
    report = L"wrote " + request.out + L" for version '" + release->version + L"' of language " + release->language;
    return true;
}
