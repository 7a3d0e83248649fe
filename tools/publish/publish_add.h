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
    bool repair = false;          // restore the site's copies of a published release from these files
};

// Publishes the release: its files below <site>\<language>\<version>\ and its
// entry in <site>\version_info.xml. False with one line in problem, and the
// site untouched, when the release is refused or cannot be written. With
// repair, only puts back the site's copies of an already published release
// whose given files match the digests version_info.xml records. warnings gets
// one line for each thing the package lacks that the bootstrapper needs.
bool publishRelease(const AddRequest& request, std::wstring& report, std::vector<std::wstring>& warnings,
                    std::wstring& problem);
