#pragma once
// The publisher's view of a package: the five properties a release needs.
#include <string>

#include "product/package_properties.h"

// Opens the package read-only. False with error (one line naming the package)
// when it cannot be opened as a package or lacks one of the five properties.
bool readPackageProperties(const std::wstring& path, PackageProperties& properties, std::wstring& error);
