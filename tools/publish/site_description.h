#pragma once
// version_info.xml as the publisher sees it: every release it lists, and the
// edit that adds one, made in place so that the rest of the text (comments,
// layout, a byte order mark) stays exactly as the publisher wrote it.
#include <string>
#include <vector>

class XmlDocument;

struct PublishedRelease {
    std::wstring language;     // of its product element, as written
    std::wstring version;      // the version element's name
    std::wstring productCode;
    std::wstring msi;                 // the files element's msi attribute
    std::vector<std::wstring> files;  // file element texts, as written
    std::vector<std::wstring> fileDigests;  // each file element's sha256 attribute; empty when absent
    std::wstring customActionAssembly;  // the files element's, as written
    std::wstring customActionClass;
    std::wstring showInstallUI;  // the text of preferences' showInstallUI; empty when absent
};

struct SiteDescription {
    std::wstring applicationName;
    std::vector<PublishedRelease> releases;  // in document order
};

// Reads a parsed document. False with error when it has no application element.
bool readSiteDescription(XmlDocument& document, SiteDescription& site, std::wstring& error);

struct ReleaseFile {
    std::wstring name;    // as stored on the site (".deploy" included)
    std::wstring sha256;  // 64 hexadecimal digits
    long long size = 0;   // in bytes
};

struct NewRelease {
    std::wstring language;
    std::wstring version;
    std::wstring productCode;
    std::wstring msi;  // the package's name as the bootstrapper stores it
    std::wstring customActionAssembly;
    std::wstring customActionClass;
    std::wstring showInstallUI;  // "true", "false" or empty for the program's default
    std::vector<ReleaseFile> files;
};

// The text of a new version_info.xml that lists no release yet.
std::wstring emptySiteText(const std::wstring& applicationName);

// Appends the release as the last version of the product element of its
// language, or in a new product element at the end of application. Indents
// like the surrounding elements and keeps the file's line ends. False with
// error when the document has no application element or the edit fails.
bool addRelease(XmlDocument& document, const NewRelease& release, std::wstring& error);
