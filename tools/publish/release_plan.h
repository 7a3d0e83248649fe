#pragma once
// What publish add is asked to publish, checked before anything is written:
// the package's own properties, the release's folder and file names on the site.
#include <string>
#include <vector>

#include "publish_add.h"
#include "site_description.h"

// One release file: where it comes from and the name it gets on the site.
struct SourceFile {
    std::wstring path;
    std::wstring storedName;
};

// The release as it will be published, every value checked.
struct PlannedRelease {
    NewRelease entry;
    std::vector<SourceFile> files;  // the package first
    std::wstring company;           // of a new version_info.xml
    std::wstring packageVersion;    // the package's ProductVersion
    std::vector<std::wstring> warnings;  // what the package lacks that a run needs; one line each
};

// Reads the package and checks every name the release will have on the site.
// False with one line in problem naming the file or value at fault.
bool planRelease(const AddRequest& request, PlannedRelease& plan, std::wstring& problem);
