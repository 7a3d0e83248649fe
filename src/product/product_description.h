#pragma once
// What version_info.xml says about the releases of the product: the files of the
// release this program installs, its package and custom-action module, three
// user-interface preferences and the product code of every release.
#include <string>
#include <vector>

#include "product/ascii_compare.h"
#include "base/sha256_digest.h"

class XmlDocument;

struct ProductEntry {
    std::wstring productCode;
    std::wstring version;
    std::wstring language;
    bool showInstallUI = true;
    bool showUninstallUI = false;
};

// The defaults are set once, when the owner is created; a read does not reset them.
struct ProductDescription {
    bool showInstallUI = true;
    bool showUninstallUI = false;
    bool showRunningApplicationsWarning = true;
    std::wstring msiFileName;
    std::wstring customActionAssembly;
    std::wstring customActionClass;
    std::vector<ProductEntry> products;      // no two codes equal without regard to case
    std::vector<std::wstring> sourceFiles;   // where to fetch each release file
    std::vector<std::wstring> localFiles;    // where to store it, same order and length
    std::vector<Sha256Digest> fileDigests;   // what it must hash to (when present), same order and length
    std::vector<std::wstring> fileNames;     // the file's name as the description gives it, same order
    std::vector<long long> fileSizes;        // its size in bytes, or -1 when not given, same order
};

// The settings and run state the reader selects by.
struct DescriptionInputs {
    std::wstring companyName;      // must equal the root element's name attribute
    std::wstring language;         // selects a product element
    std::wstring version;          // selects the release within it
    std::wstring productCode;      // listed for the current release
    std::wstring installationUrl;  // base of the release folders
    std::wstring downloadFolder;   // base of localFiles
    bool webSource = false;        // join with combineUrl instead of combinePath
};

// Reads the parsed document from its start into description. False with
// errorText set when the file is not usable: no application element, another
// company's file, a current release without files, an empty file name or one
// that would leave the download folder, a malformed sha256 or size attribute,
// or a package that is not among the release's files.
bool readProductDescription(XmlDocument& document, const DescriptionInputs& inputs, ProductDescription& description,
                            std::wstring& errorText);

// With the cursor on a version element: reads its preferences and appends an entry.
bool readProductEntry(XmlDocument& document, const std::wstring& productCode, const std::wstring& version,
                      const std::wstring& language, ProductDescription& description);

// True when products has an entry whose code equals productCode without regard to ASCII case.
bool holdsProduct(const std::vector<ProductEntry>& products, const std::wstring& productCode);
