#pragma once
// What a package must contain for the bootstrapper, read from its tables: the
// components that install the add-in loader's manifest (the bootstrapper fills
// in kvlloader.dll.manifest in each such component's folder) and whether it
// installs per user.
#include <string>
#include <vector>

// The file the bootstrapper fills in beside each loader component's key path.
extern const wchar_t* const loaderManifestName;

struct PackageContents {
    std::vector<std::wstring> loaderComponentCodes;  // component codes, in File table order, no repeats
    std::wstring allUsers;                           // the ALLUSERS property, empty when absent
    std::wstring installPerUser;                     // MSIINSTALLPERUSER
    // ALLUSERS absent or empty, or "2" with MSIINSTALLPERUSER "1": the package
    // installs for the current user only.
    bool perUser() const;
};

// Reads the File, Component and Property tables (a table the package lacks
// counts as empty). False with one line naming the package.
bool readPackageContents(const std::wstring& path, PackageContents& contents, std::wstring& problem);

// Opens the package the way msiexec does before it installs (the summary
// information, the platform, the whole database), changing nothing on the
// machine. False with one line naming the package and the installer's error.
bool packageOpensForInstall(const std::wstring& path, std::wstring& problem);
