#pragma once
// publish add: one release onto a site, all or nothing.
#include <string>
#include <vector>

struct AddRequest {
    std::wstring site;     // the site's folder
    std::wstring package;  // the .msi
    std::vector<std::wstring> files;
    std::wstring customActionAssembly;
    std::wstring customActionClass;
    bool deploy = false;          // store every file with ".deploy" appended
    std::wstring showInstallUI;   // "true", "false" or empty
    std::wstring versionText;     // empty: the package's ProductVersion
};

// Publishes the release: its files below <site>\<language>\<version>\ and its
// entry in <site>\version_info.xml. False with one line in problem, and the
// site untouched, when the release is refused or cannot be written.
bool publishRelease(const AddRequest& request, std::wstring& report, std::wstring& problem);
