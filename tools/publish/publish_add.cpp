#include "publish_add.h"

#include <windows.h>

#include <memory>

#include "base/file_io.h"
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

enum class Verdict { Publish, AlreadyThere, Repair, Refused };

// Whether the given file holds what version_info.xml records for it.
bool matchesRecord(const std::wstring& path, const std::wstring& recorded) {
    unsigned char digest[Sha256Digest::size];
    return !recorded.empty() && fileDigest(path, digest) && equalsAsciiNoCase(sha256Text(digest), recorded);
}

// The release's files whose site copy is missing or differs from the given file.
std::vector<size_t> damagedCopies(const PlannedRelease& plan, const std::wstring& releaseFolder) {
    std::vector<size_t> damaged;
    for (size_t i = 0; i < plan.files.size(); ++i)
        if (!sameFileBytes(plan.files[i].path, sitePath(releaseFolder, plan.files[i].storedName))) damaged.push_back(i);
    return damaged;
}

// The same release again: nothing to do, a repair of the site's copies, or a change.
Verdict judgeSameRelease(const PublishedRelease& release, const PlannedRelease& plan, const AddRequest& request,
                         const std::wstring& what, const std::wstring& releaseFolder, std::vector<size_t>& damaged,
                         std::wstring& problem) {
    bool sameNames = release.files.size() == plan.files.size();
    for (size_t i = 0; sameNames && i < plan.files.size(); ++i)
        sameNames = equalsAsciiNoCase(release.files[i], plan.files[i].storedName);
    damaged = sameNames ? damagedCopies(plan, releaseFolder) : std::vector<size_t>();
    bool recorded = sameNames;
    for (size_t i : damaged) recorded = recorded && i < release.fileDigests.size() &&
                                        matchesRecord(plan.files[i].path, release.fileDigests[i]);
    if (!sameNames || !recorded) {
        problem = what + L"other files; publish the change under a new version";
        if (request.repair)
            problem = what + L"other files: the given files do not match the digests recorded in version_info.xml "
                             L"(or it records none), so they cannot repair it; nothing changed";
        return Verdict::Refused;
    }
    const std::wstring changes = preferenceChanges(release, plan.entry);
    if (!changes.empty()) {
        problem = what + L"other preferences (" + changes + L"); publish the change under a new version";
        return Verdict::Refused;
    }
    if (damaged.empty()) return Verdict::AlreadyThere;
    if (request.repair) return Verdict::Repair;
    std::wstring names;
    for (size_t i : damaged) {
        const std::wstring copy = sitePath(releaseFolder, plan.files[i].storedName);
        names += (names.empty() ? L"" : L", ") + std::wstring(L"'") + plan.files[i].storedName + L"' " +
                 (isFile(copy) ? L"differs" : L"is missing");
    }
    problem = what + L"these files (they match the recorded digests), but the site's copy of " + names +
              L"; publish add --repair restores it";
    return Verdict::Refused;
}

// Whether the site may take the release: a release of the same version and
// language must hold the same bytes, and a product code names one release.
Verdict judge(const SiteDescription& site, const PlannedRelease& plan, const AddRequest& request,
              const std::wstring& description, const std::wstring& releaseFolder, std::vector<size_t>& damaged,
              std::wstring& problem) {
    for (const PublishedRelease& release : site.releases) {
        const bool sameRelease =
            equalsAsciiNoCase(release.language, plan.entry.language) && equalsAsciiNoCase(release.version, plan.entry.version);
        if (sameRelease) {
            const std::wstring what = description + L": version '" + release.version + L"' of language " +
                                      release.language + L" is already published with ";
            return judgeSameRelease(release, plan, request, what, releaseFolder, damaged, problem);
        }
        if (equalsAsciiNoCase(release.productCode, plan.entry.productCode)) {
            problem = description + L": product code " + release.productCode + L" already belongs to version '" +
                      release.version + L"' of language " + release.language +
                      L"; the bootstrapper would take both for one release, so give the package a new product code";
            return Verdict::Refused;
        }
    }
    if (request.repair) {
        problem = description + L": version '" + plan.entry.version + L"' of language " + plan.entry.language +
                  L" is not published, so there is nothing to repair; nothing changed";
        return Verdict::Refused;
    }
    if (exists(releaseFolder)) {
        problem = L"folder '" + releaseFolder + L"' already exists, but " + description + L" lists no such release";
        return Verdict::Refused;
    }
    return Verdict::Publish;
}

// Puts back the damaged site copies: every new copy is written and checked
// beside its place first, then each is moved over its place whole.
bool repairCopies(const PlannedRelease& plan, const std::vector<size_t>& damaged, const std::wstring& releaseFolder,
                  std::wstring& problem) {
    if (!exists(releaseFolder) && !::CreateDirectoryW(releaseFolder.c_str(), nullptr)) {
        problem = L"folder '" + releaseFolder + L"': cannot be created: " + systemReason(::GetLastError());
        return false;
    }
    std::vector<std::unique_ptr<ReplacementFile>> copies;
    for (size_t i : damaged) {
        std::string bytes;
        if (!ReadWholeFile(plan.files[i].path, bytes)) {
            problem = L"file '" + plan.files[i].path + L"': cannot be read: " + systemReason(::GetLastError());
            return false;
        }
        copies.emplace_back(new ReplacementFile(sitePath(releaseFolder, plan.files[i].storedName)));
        if (!copies.back()->write(bytes, problem)) return false;
        if (!sameFileBytes(plan.files[i].path, copies.back()->scratchPath())) {
            problem = L"file '" + plan.files[i].path + L"': changed while it was copied; nothing repaired";
            return false;
        }
    }
    for (const auto& copy : copies)
        if (!copy->replaceTarget(problem)) return false;
    return true;
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

bool publishRelease(const AddRequest& request, std::wstring& report, std::vector<std::wstring>& warnings,
                    std::wstring& problem) {
    PlannedRelease plan;
    if (!planRelease(request, plan, problem)) return false;
    warnings = plan.warnings;

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
    std::vector<size_t> damaged;
    switch (judge(site, plan, request, descriptionPath, releaseFolder, damaged, problem)) {
        case Verdict::Refused: return false;
        case Verdict::AlreadyThere:
            report = L"version '" + plan.entry.version + L"' of language " + plan.entry.language +
                     L" is already published with these files" +
                     (request.repair ? L", and the site's copies are intact; nothing to repair" : L"; nothing changed");
            return true;
        case Verdict::Repair:
            if (!repairCopies(plan, damaged, releaseFolder, problem)) return false;
            report = L"repaired version '" + plan.entry.version + L"' of language " + plan.entry.language + L": " +
                     counted(damaged.size(), L"site copy", L"site copies") + L" restored in " + releaseFolder;
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
    // The program compares version texts, not numbers: say which text it must be stamped with.
    if (plan.entry.version != plan.packageVersion)
        report += L"; the package's ProductVersion is " + plan.packageVersion + L", and the program must be stamped "
                  L"with version '" + plan.entry.version + L"' (publish settings does so)";
    return true;
}
