#include "publish_add.h"

#include <windows.h>

#include "base/windows_error.h"
#include "console.h"
#include "file_bytes.h"
#include "folder_tree.h"
#include "release_plan.h"
#include "release_preferences.h"
#include "replacement_file.h"
#include "site_description.h"
#include "site_lock.h"
#include "site_names.h"
#include "product/ascii_compare.h"
#include "product/installation_source.h"
#include "product/names.h"
#include "xml/utf8.h"
#include "xml/xml_document.h"

namespace {

bool exists(const std::wstring& path) { return ::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

// How long a run waits for another one's edit of the same site.
const DWORD siteLockWait = 60 * 1000;

enum class Verdict { Publish, AlreadyThere, Refused };

// Whether the site may take the release: a release of the same version and
// language must hold the same bytes, and a product code names one release.
Verdict judge(const SiteDescription& site, const PlannedRelease& plan, const std::wstring& description,
              const std::wstring& releaseFolder, std::wstring& problem) {
    for (const PublishedRelease& release : site.releases) {
        const bool sameRelease =
            equalsAsciiNoCase(release.language, plan.entry.language) && equalsAsciiNoCase(release.version, plan.entry.version);
        if (sameRelease) {
            bool same = release.files.size() == plan.files.size();
            for (size_t i = 0; same && i < plan.files.size(); ++i) {
                same = equalsAsciiNoCase(release.files[i], plan.files[i].storedName) &&
                       sameFileBytes(plan.files[i].path, sitePath(releaseFolder, plan.files[i].storedName));
            }
            const std::wstring what = description + L": version '" + release.version + L"' of language " +
                                      release.language + L" is already published with ";
            if (!same) {
                problem = what + L"other files; publish the change under a new version";
                return Verdict::Refused;
            }
            const std::wstring changes = preferenceChanges(release, plan.entry);
            if (changes.empty()) return Verdict::AlreadyThere;
            problem = what + L"other preferences (" + changes + L"); publish the change under a new version";
            return Verdict::Refused;
        }
        if (equalsAsciiNoCase(release.productCode, plan.entry.productCode)) {
            problem = description + L": product code " + release.productCode + L" already belongs to version '" +
                      release.version + L"' of language " + release.language +
                      L"; the bootstrapper would take both for one release, so give the package a new product code";
            return Verdict::Refused;
        }
    }
    if (exists(releaseFolder)) {
        problem = L"folder '" + releaseFolder + L"' already exists, but " + description + L" lists no such release";
        return Verdict::Refused;
    }
    return Verdict::Publish;
}

// Copies the files into folder under their site names and fills in their digests.
bool copyFiles(const std::wstring& folder, PlannedRelease& plan, std::wstring& problem) {
    for (const SourceFile& file : plan.files) {
        const std::wstring target = sitePath(folder, file.storedName);
        unsigned char digest[Sha256Digest::size];
        WIN32_FILE_ATTRIBUTE_DATA data = {};
        if (!::CopyFileW(file.path.c_str(), target.c_str(), TRUE) || !fileDigest(target, digest) ||
            !::GetFileAttributesExW(target.c_str(), GetFileExInfoStandard, &data)) {
            problem = L"file '" + file.path + L"': cannot be copied to the site: " + systemReason(::GetLastError());
            return false;
        }
        ::SetFileAttributesW(target.c_str(), FILE_ATTRIBUTE_NORMAL);  // best effort: a read-only source stays copyable
        const long long size = (static_cast<long long>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
        plan.entry.files.push_back({file.storedName, sha256Text(digest), size});
    }
    return true;
}

}  // namespace

bool publishRelease(const AddRequest& request, std::wstring& report, std::wstring& problem) {
    PlannedRelease plan;
    if (!planRelease(request, plan, problem)) return false;

    // The lock lives in the site's folder; a new site's folder goes again if nothing is published.
    NewFolders siteFolder;
    if (!siteFolder.create(request.site)) {
        problem = L"folder '" + request.site + L"': cannot be created: " + systemReason(::GetLastError());
        return false;
    }
    // Held from the read of the description to its replacement, and released
    // before siteFolder's end.
    SiteLock lock;
    if (!lock.take(request.site, siteLockWait, problem)) return false;

    const std::wstring descriptionPath = sitePath(request.site, versionFileName);
    XmlDocument document;
    if (isFile(descriptionPath)) {
        std::wstring text, result;
        if (!XmlDocument::readTextFile(descriptionPath, text, result)) {
            problem = descriptionPath + L": cannot be read as UTF-8 text (" + result + L")";
            return false;
        }
        if (!document.parseText(std::move(text))) {
            problem = descriptionPath + L": is not well-formed XML (" + document.resultText() + L")";
            return false;
        }
    } else {
        if (!isPlainFolderNamePart(plan.company)) {
            problem = L"package '" + request.package + L"': Manufacturer '" + plan.company +
                      L"' cannot be the company name of a new " + versionFileName +
                      L" (it must be a plain folder-name part)";
            return false;
        }
        document.parseText(emptySiteText(plan.company));
    }
    SiteDescription site;
    std::wstring error;
    if (!readSiteDescription(document, site, error)) {
        problem = descriptionPath + L": " + error;
        return false;
    }
    const std::wstring languageFolder = sitePath(request.site, plan.entry.language);
    const std::wstring releaseFolder = sitePath(languageFolder, plan.entry.version);
    switch (judge(site, plan, descriptionPath, releaseFolder, problem)) {
        case Verdict::Refused: return false;
        case Verdict::AlreadyThere:
            report = L"version '" + plan.entry.version + L"' of language " + plan.entry.language +
                     L" is already published with these files; nothing changed";
            return true;
        case Verdict::Publish: break;
    }

    // Built beside its place and moved there whole: a reader of the site sees
    // the old state or the new one, never a half-copied release.
    NewFolders newFolders;  // the site's and the language's, when this release is their first
    if (!newFolders.create(languageFolder)) {
        problem = L"folder '" + languageFolder + L"': cannot be created: " + systemReason(::GetLastError());
        return false;
    }
    // CreateDirectoryW fails on any existing name, a planted link's included.
    ScratchFolder staging(randomScratchName(releaseFolder));
    if (staging.path().empty() || !::CreateDirectoryW(staging.path().c_str(), nullptr)) {
        problem = L"folder '" + staging.path() + L"': cannot be created: " + systemReason(::GetLastError());
        return false;
    }
    if (!copyFiles(staging.path(), plan, problem)) return false;
    if (!addRelease(document, plan.entry, error)) {
        problem = descriptionPath + L": " + error;
        return false;
    }
    ReplacementFile newDescription(descriptionPath);
    if (!newDescription.write(xml::wideToUtf8(document.documentText()), problem)) return false;
    if (!::MoveFileW(staging.path().c_str(), releaseFolder.c_str())) {
        problem = L"folder '" + releaseFolder + L"': cannot be put in place: " + systemReason(::GetLastError());
        return false;
    }
    ScratchFolder placed(releaseFolder);  // taken back out if the description cannot follow
    staging.keep();
    if (!newDescription.replaceTarget(problem)) return false;
    placed.keep();
    newFolders.keep();
    siteFolder.keep();
    report = L"published version '" + plan.entry.version + L"' of language " + plan.entry.language + L" (" +
             counted(plan.files.size(), L"file", L"files") + L") in " + releaseFolder;
    return true;
}
