#include "site_check.h"

#include <windows.h>
#include <shlwapi.h>

#include <algorithm>
#include <vector>
#include <memory>

#include "base/unique_any.h"
#include "file_bytes.h"
#include "site_description.h"
#include "xml_position.h"
#include "folder_tree.h"
#include "product/ascii_compare.h"
#include "product/combine.h"
#include "product/installation_source.h"
#include "product/names.h"
#include "product/product_description.h"
#include "product/release_pin.h"
#include "base/sha256_hash.h"
#include "product/version_file.h"
#include "web_fetch.h"
#include "xml/xml_document.h"

namespace {

class Check {
public:
    explicit Check(const CheckRequest& request) : request_(request) {}

    CheckOutcome run();

private:
    // A failure as the run meets it; the first one is what the box shows.
    void fail(const wchar_t* task, const std::wstring& text) {
        outcome_.problems.push_back(text);
        if (outcome_.boxText.empty()) outcome_.boxText = text + L" Task name: " + task + L".";
    }
    // A failure before the pipeline starts: the box carries the text alone.
    CheckOutcome failAtStart(const std::wstring& text) {
        outcome_.problems.push_back(text);
        outcome_.boxText = text;
        return outcome_;
    }
    bool pinned() const { return !request_.releaseDigest.empty(); }
    bool fetchVersionInfo();
    bool readVersionInfo(XmlDocument& document);
    bool fetchRelease(const ProductDescription& description);
    void explainSelection(XmlDocument& document);
    void explainPin(const ProductDescription& description);
    std::wstring given(const wchar_t* what, const std::wstring& value) const {
        return request_.givenBy + what + L" '" + value + L"'";
    }
    void fetchFile(const ProductDescription& description, size_t index);

    const CheckRequest& request_;
    CheckOutcome outcome_;
    InstallationSource source_;
    std::wstring folder_;
    std::unique_ptr<ScratchFolder> scratch_;  // goes after web_: no request outlives the folder
    std::unique_ptr<WebFetcher> web_;
};

std::wstring currentFolder() {
    wchar_t buffer[MAX_PATH] = {};
    const DWORD length = ::GetCurrentDirectoryW(MAX_PATH, buffer);
    std::wstring folder = length != 0 && length < MAX_PATH ? std::wstring(buffer, length) : std::wstring();
    if (!folder.empty() && folder.back() != L'\\') folder += L'\\';
    return folder;
}

base::unique_file createTarget(const std::wstring& path) {
    ::SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);  // best effort, as the bootstrapper's write
    return base::unique_file(::CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                                           FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
}

CheckOutcome Check::run() {
    // What the bootstrapper refuses at its start, before it fetches anything.
    if (!isPlainFolderNamePart(request_.company))
        return failAtStart(L"The 'Company Name' parameter is not correctly formed.");
    const std::wstring base = request_.programFolder.empty() ? currentFolder() : request_.programFolder;
    source_ = classifyInstallationUrl(request_.installationUrl, base);
    if (source_.kind == Unrecognized || source_.kind == FtpAddress)
        return failAtStart(L"The 'Installation Url' parameter is not correctly formed.");
    scratch_.reset(new ScratchFolder(makeTemporaryFolder(L"publish-check-")));
    folder_ = scratch_->path();
    if (folder_.empty()) return failAtStart(textWithCode(L"Failed to create the temporary folder", ::GetLastError()));
    if (source_.kind == WebAddress) web_.reset(new WebFetcher);
    XmlDocument document;
    if (!fetchVersionInfo()) {
        outcome_.details.push_back(given(L" the installation URL", request_.installationUrl) +
                                   L"; version_info.xml is fetched from " + source_.versionInfoLocation);
        return outcome_;
    }
    if (!readVersionInfo(document)) return outcome_;

    ProductDescription description;
    DescriptionInputs inputs;
    inputs.companyName = request_.company;
    inputs.language = request_.language;
    inputs.version = request_.versionText;
    inputs.installationUrl = request_.installationUrl;
    // A relative folder is taken from the program's folder, or the current one without a program.
    if (source_.kind == LocalFolder && ::PathIsRelativeW(request_.installationUrl.c_str()))
        inputs.installationUrl = combinePath(base, request_.installationUrl);
    inputs.downloadFolder = folder_;
    inputs.webSource = source_.kind == WebAddress;
    std::wstring errorText;
    if (!readProductDescription(document, inputs, description, errorText)) {
        fail(L"ParseXML", errorText);
        explainSelection(document);
        return outcome_;
    }
    if (description.products.empty()) {
        fail(L"ParseXML", L"No products found in 'version_info.xml'. Source url: " + source_.versionInfoLocation);
        return outcome_;
    }
    if (pinned() && !description.sourceFiles.empty() && !releaseMatchesPin(description, request_.releaseDigest)) {
        fail(L"ParseXML", pinnedListingMismatchText());
        explainPin(description);
        return outcome_;
    }
    if (description.sourceFiles.empty()) explainSelection(document);
    if (!fetchRelease(description)) return outcome_;
    if (description.msiFileName.empty())
        fail(L"RunMSI", L"The 'msi' attribute is not defined in the 'version_info.xml' file.");
    return outcome_;
}

std::wstring storedVersionFile(const std::wstring& folder) { return folder + L"\\" + versionFileName; }

bool Check::fetchVersionInfo() {
    const std::wstring target = storedVersionFile(folder_);
    if (!web_) {
        if (!::CopyFileExW(source_.versionInfoLocation.c_str(), target.c_str(), nullptr, nullptr, nullptr, 0)) {
            fail(L"DownloadVersionInfo", textWithCode(L"Failed to copy 'version_info.xml' file", ::GetLastError()));
            return false;
        }
        return true;
    }
    base::unique_file file = createTarget(target);
    if (!file) {
        fail(L"DownloadVersionInfo", textWithCode(L"Failed to create 'version_info.xml' file", ::GetLastError()));
        return false;
    }
    std::wstring failure;
    DWORD storeError = 0;
    long long bytes = 0;
    switch (web_->fetch(source_.versionInfoLocation, file.get(), nullptr, maxVersionFileBytes, failure, storeError,
                        bytes)) {
        case WebFetcher::Result::Stored: return true;
        case WebFetcher::Result::RequestFailed: fail(L"DownloadVersionInfo", failure); return false;
        case WebFetcher::Result::TooLarge: fail(L"DownloadVersionInfo", versionFileTooLargeText()); return false;
        case WebFetcher::Result::StoreFailed:
            fail(L"DownloadVersionInfo", textWithCode(L"Failed to create 'version_info.xml' file", storeError));
            return false;
    }
    return false;
}

bool Check::readVersionInfo(XmlDocument& document) {
    std::wstring failure;
    if (loadVersionFile(storedVersionFile(folder_), document, failure)) return true;
    fail(L"ReadXML", failure);
    // The box names the download folder's copy; the publisher needs the place in the site's file.
    if (!document.resultText().empty())
        outcome_.details.push_back(source_.versionInfoLocation + L": " +
                                   parseErrorPlace(document));
    return false;
}

// Which of company, language and version the site does not have, with what it has.
void Check::explainSelection(XmlDocument& document) {
    SiteDescription site;
    std::wstring error;
    if (!readSiteDescription(document, site, error)) return;
    if (!equalsAsciiNoCase(site.applicationName, request_.company)) {
        outcome_.details.push_back(L"version_info.xml names the company '" + site.applicationName + L"'; " +
                                   given(L"", request_.company));
        return;
    }
    std::vector<std::wstring> languages, versions;
    for (const PublishedRelease& release : site.releases) {
        if (std::find(languages.begin(), languages.end(), release.language) == languages.end())
            languages.push_back(release.language);
        if (equalsAsciiNoCase(release.language, request_.language)) versions.push_back(release.version);
    }
    const auto joined = [](const std::vector<std::wstring>& names) {
        std::wstring text;
        for (const std::wstring& name : names) text += (text.empty() ? L"'" : L", '") + name + L"'";
        return text.empty() ? std::wstring(L"none") : text;
    };
    if (versions.empty()) {
        outcome_.details.push_back(L"version_info.xml lists the languages " + joined(languages) + L"; " +
                                   given(L" language", request_.language));
        return;
    }
    for (const std::wstring& version : versions)
        if (equalsAsciiNoCase(version, request_.versionText)) return;
    outcome_.details.push_back(L"version_info.xml lists the versions " + joined(versions) + L" for language " +
                               request_.language + L"; " + given(L" version", request_.versionText));
}

void Check::explainPin(const ProductDescription& description) {
    std::wstring sitePin;
    if (!releasePinText(description, sitePin)) sitePin = L"none (it lacks a size or a digest)";
    outcome_.details.push_back(L"version_info.xml's release gives the pin " + sitePin + L"; " +
                               given(L" the pin", request_.releaseDigest));
}

bool Check::fetchRelease(const ProductDescription& description) {
    if (description.sourceFiles.empty()) {
        if (description.msiFileName.empty())
            outcome_.problems.push_back(L"version_info.xml lists no release of version '" + request_.versionText +
                                        L"' for language " + request_.language + L".");
        fail(L"DownloadFile", L"The 'files' section of 'version_info.xml' has no files. Source url: " +
                                  source_.versionInfoLocation + L".");
        return false;
    }
    const size_t failures = outcome_.problems.size();
    const size_t count = std::min(description.sourceFiles.size(), description.localFiles.size());
    for (size_t i = 0; i < count; ++i) fetchFile(description, i);
    return outcome_.problems.size() == failures;
}

void Check::fetchFile(const ProductDescription& description, size_t index) {
    std::wstring target = description.localFiles[index];
    const std::wstring folder = folderOfTarget(target);
    if (!createFolderChain(folder)) {
        fail(L"DownloadFile", textWithCode(L"Failed to create directory (" + folder + L")", ::GetLastError()));
        return;
    }
    target = withoutDeploySuffix(target);
    const std::wstring name = baseName(target);
    const bool checked = index < description.fileDigests.size() && description.fileDigests[index].present;
    unsigned char digest[Sha256Digest::size] = {};
    long long bytes = 0;
    if (web_) {
        base::unique_file file = createTarget(target);
        Sha256Hash hash;
        if (!file || (checked && !hash.begin())) {
            fail(L"DownloadFile", textWithCode(L"Failed to create '" + name + L"' file", ::GetLastError()));
            return;
        }
        std::wstring failure;
        DWORD storeError = 0;
        const long long maxBytes = pinned() && index < description.fileSizes.size() ? description.fileSizes[index] : -1;
        switch (web_->fetch(description.sourceFiles[index], file.get(), checked ? &hash : nullptr, maxBytes, failure,
                            storeError, bytes)) {
            case WebFetcher::Result::Stored: break;
            case WebFetcher::Result::RequestFailed: fail(L"DownloadFile", failure); return;
            case WebFetcher::Result::TooLarge: fail(L"DownloadFile", pinnedFileTooLargeText(name)); return;
            case WebFetcher::Result::StoreFailed:
                fail(L"DownloadFile", textWithCode(L"Failed to create '" + name + L"' file", storeError));
                return;
        }
        if (checked && !hash.finish(digest)) {
            fail(L"DownloadFile", textWithCode(L"Failed to compute the SHA-256 digest of the file '" + name + L"'",
                                               ::GetLastError()));
            return;
        }
    } else {
        if (!::CopyFileExW(description.sourceFiles[index].c_str(), target.c_str(), nullptr, nullptr, nullptr, 0)) {
            fail(L"DownloadFile", textWithCode(L"Failed to copy '" + name + L"' file", ::GetLastError()));
            return;
        }
        if (checked && !fileDigest(target, digest)) {
            fail(L"DownloadFile", textWithCode(L"Failed to compute the SHA-256 digest of the file '" + name + L"'",
                                               ::GetLastError()));
            return;
        }
        WIN32_FILE_ATTRIBUTE_DATA data = {};
        if (::GetFileAttributesExW(target.c_str(), GetFileExInfoStandard, &data))
            bytes = (static_cast<long long>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
    }
    if (checked && !sameDigest(description.fileDigests[index], digest)) {
        fail(L"DownloadFile", pinned() ? pinnedFileMismatchText(name)
                                       : L"The file '" + name + L"' does not match its SHA-256 digest.");
        return;
    }
    ++outcome_.files;
    outcome_.bytes += bytes;
}

}  // namespace

CheckOutcome checkSite(const CheckRequest& request) { return Check(request).run(); }
