#include "product/product_description.h"

#include <windows.h>

#include "product/combine.h"
#include "xml/xml_document.h"

namespace {

bool endsWithNoCase(const std::wstring& text, const std::wstring& suffix) {
    return text.size() >= suffix.size() && equalsAsciiNoCase(text.substr(text.size() - suffix.size()), suffix);
}

// Finds a child of the current element's parent level after the current one and
// tells whether its text equals value.
bool childTextIs(XmlDocument& document, const wchar_t* name, const wchar_t* value, bool& found) {
    found = document.findElement(name);
    return found && equalsAsciiNoCase(document.getElementText(), value);
}

// The joined local path, unless the name (or what Windows makes of the joined
// path) leaves the download folder.
bool localPathInside(const std::wstring& downloadFolder, const std::wstring& name, std::wstring& local) {
    if (!staysInsideFolder(name)) return false;
    local = combinePath(downloadFolder, name);
    if (local.empty()) return true;  // a join that fails stays empty, as the system gave it
    wchar_t full[MAX_PATH];
    const DWORD length = ::GetFullPathNameW(local.c_str(), MAX_PATH, full, nullptr);
    if (length == 0 || length >= MAX_PATH) return true;
    std::wstring folder = downloadFolder;
    if (folder.empty() || folder.back() != L'\\') folder += L'\\';
    wchar_t fullFolder[MAX_PATH];
    const DWORD folderLength = ::GetFullPathNameW(folder.c_str(), MAX_PATH, fullFolder, nullptr);
    if (folderLength == 0 || folderLength >= MAX_PATH) return true;
    const std::wstring canonical(full, length);
    const std::wstring canonicalFolder(fullFolder, folderLength);
    return canonical.size() > canonicalFolder.size() &&
           equalsAsciiNoCase(canonical.substr(0, canonicalFolder.size()), canonicalFolder);
}

// The name a release file is stored under: the download step drops a ".deploy"
// suffix (any case) from a name longer than the suffix.
std::wstring storedPath(const std::wstring& local) {
    const std::wstring suffix = L".deploy";
    if (local.size() > suffix.size() && endsWithNoCase(local, suffix))
        return local.substr(0, local.size() - suffix.size());
    return local;
}

// Whether the package is one of the release's files, so the installer is never
// started on a file that was not fetched. Compared as full paths, the way the
// installation joins the download folder and the package name.
bool packageAmongFiles(const ProductDescription& description, const std::wstring& downloadFolder) {
    const std::wstring package = combinePath(downloadFolder, description.msiFileName);
    if (package.empty()) return false;
    for (const std::wstring& local : description.localFiles) {
        if (equalsAsciiNoCase(storedPath(local), package)) return true;
    }
    return false;
}

// Decimal digits only, at most 18 of them, so the value always fits.
bool parseFileSize(const std::wstring& text, long long& size) {
    if (text.empty() || text.size() > 18) return false;
    long long value = 0;
    for (wchar_t c : text) {
        if (c < L'0' || c > L'9') return false;
        value = value * 10 + (c - L'0');
    }
    size = value;
    return true;
}

void appendEntry(ProductDescription& description, const std::wstring& code, const std::wstring& version,
                 const std::wstring& language, bool installUI, bool uninstallUI) {
    ProductEntry entry;
    entry.productCode = code;
    entry.version = version;
    entry.language = language;
    entry.showInstallUI = installUI;
    entry.showUninstallUI = uninstallUI;
    description.products.push_back(entry);
}

// Cursor on the current release's version element; leaves it there.
bool readCurrentRelease(XmlDocument& document, const DescriptionInputs& inputs, const std::wstring& language,
                        const std::wstring& version, ProductDescription& description, std::wstring& errorText) {
    const std::wstring warning = document.getAttribute(L"showRunningApplicationsWarning");
    if (!warning.empty() && equalsAsciiNoCase(warning, L"false")) description.showRunningApplicationsWarning = false;

    document.enterElement();
    if (!document.findElement(L"files")) {
        errorText = L"XML error: Can't find the 'files' tag.";
        return false;
    }
    std::wstring msi = document.getAttribute(L"msi");
    if (!endsWithNoCase(msi, L".msi")) msi += L".msi";
    description.msiFileName = msi;
    description.customActionAssembly = document.getAttribute(L"customActionAssembly");
    description.customActionClass = document.getAttribute(L"customActionClass");

    const std::wstring releaseFolder =
        inputs.webSource ? combineUrl(combineUrl(inputs.installationUrl, language), version)
                         : combinePath(combinePath(inputs.installationUrl, language), version);

    // Collect first: a release with one unsafe name contributes no file at all.
    std::vector<std::wstring> sources;
    std::vector<std::wstring> locals;
    std::vector<Sha256Digest> digests;
    std::vector<std::wstring> names;
    std::vector<long long> sizes;
    document.enterElement();
    while (document.findElement(L"file")) {
        const std::wstring name = document.getElementText();
        if (name.empty()) {
            errorText = L"XML error: A 'file' element has no file name.";
            return false;
        }
        std::wstring local;
        if (!localPathInside(inputs.downloadFolder, name, local)) {
            errorText = L"XML error: The file name '" + name + L"' points outside the download folder.";
            return false;
        }
        // An empty value cannot be told from a missing attribute: both mean no check.
        Sha256Digest digest;
        const std::wstring sha256 = document.getAttribute(L"sha256");
        if (!sha256.empty() && !parseSha256Digest(sha256, digest)) {
            errorText = L"XML error: Wrong SHA-256 digest for the file '" + name + L"'.";
            return false;
        }
        long long size = -1;
        const std::wstring sizeText = document.getAttribute(L"size");
        if (!sizeText.empty() && !parseFileSize(sizeText, size)) {
            errorText = L"XML error: Wrong size for the file '" + name + L"'.";
            return false;
        }
        sources.push_back(inputs.webSource ? combineUrl(releaseFolder, name) : combinePath(releaseFolder, name));
        locals.push_back(local);
        digests.push_back(digest);
        names.push_back(name);
        sizes.push_back(size);
    }
    document.leaveElement();
    description.sourceFiles.insert(description.sourceFiles.end(), sources.begin(), sources.end());
    description.localFiles.insert(description.localFiles.end(), locals.begin(), locals.end());
    description.fileDigests.insert(description.fileDigests.end(), digests.begin(), digests.end());
    description.fileNames.insert(description.fileNames.end(), names.begin(), names.end());
    description.fileSizes.insert(description.fileSizes.end(), sizes.begin(), sizes.end());

    // Only a preferences element after files is seen.
    if (document.findElement(L"preferences")) {
        document.enterElement();
        bool found = false;
        if (childTextIs(document, L"showInstallUI", L"false", found)) description.showInstallUI = false;
        if (childTextIs(document, L"showUninstallUI", L"true", found)) description.showUninstallUI = true;
        if (childTextIs(document, L"showRunningApplicationsWarning", L"false", found))
            description.showRunningApplicationsWarning = false;
        document.leaveElement();
    }
    document.leaveElement();

    if (!holdsProduct(description.products, inputs.productCode)) {
        appendEntry(description, inputs.productCode, version, language, description.showInstallUI,
                    description.showUninstallUI);
    }
    return true;
}

}  // namespace

bool holdsProduct(const std::vector<ProductEntry>& products, const std::wstring& productCode) {
    for (const ProductEntry& entry : products) {
        if (equalsAsciiNoCase(entry.productCode, productCode)) return true;
    }
    return false;
}

bool readProductEntry(XmlDocument& document, const std::wstring& productCode, const std::wstring& version,
                      const std::wstring& language, ProductDescription& description) {
    bool installUI = true;
    bool uninstallUI = false;
    document.enterElement();
    if (document.findElement(L"preferences")) {
        document.enterElement();
        bool found = false;
        if (childTextIs(document, L"showInstallUI", L"false", found)) installUI = false;
        if (childTextIs(document, L"showUninstallUI", L"true", found)) uninstallUI = true;
        document.leaveElement();
    }
    document.leaveElement();
    appendEntry(description, productCode, version, language, installUI, uninstallUI);
    return true;
}

bool readProductDescription(XmlDocument& document, const DescriptionInputs& inputs, ProductDescription& description,
                            std::wstring& errorText) {
    if (!document.findElement(L"application")) {
        errorText = L"XML error: Can't find the 'application' tag.";
        return false;
    }
    if (!equalsAsciiNoCase(document.getAttribute(L"name"), inputs.companyName)) {
        errorText = L"XML error: Wrong product name.";
        return false;
    }
    document.enterElement();
    while (document.findElement(L"product")) {
        const std::wstring language = document.getAttribute(L"language");
        const bool ourLanguage = equalsAsciiNoCase(language, inputs.language);
        document.enterElement();
        while (document.findElement(L"version")) {
            const std::wstring version = document.getAttribute(L"name");
            if (ourLanguage && equalsAsciiNoCase(version, inputs.version)) {
                if (!readCurrentRelease(document, inputs, language, version, description, errorText)) return false;
                continue;
            }
            const std::wstring code = document.getAttribute(L"productCode");
            if (code.empty() || (!ourLanguage && version.empty()) || holdsProduct(description.products, code)) continue;
            readProductEntry(document, code, version, language, description);
        }
        document.leaveElement();
    }
    // No release (no package name) and a release without files are reported by
    // the later steps, which say so more precisely.
    if (!description.msiFileName.empty() && !description.localFiles.empty() &&
        !packageAmongFiles(description, inputs.downloadFolder)) {
        errorText = L"XML error: The package '" + description.msiFileName + L"' is not among the release's files.";
        return false;
    }
    return true;
}
