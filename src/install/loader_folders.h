#pragma once
// After an installation: the loader manifest of every installed loader component.
#include <string>

#include "product/loader_manifest.h"

// Updates the manifest in the folder of each component of componentCodes
// (";"-separated) that is installed. True when at least one was updated;
// manifestFolder is then the folder of the last one and errorText is left
// alone, whatever the others did. False otherwise, with errorText the text of
// the last failed update (empty when no component is installed).
bool UpdateLoaderManifests(const std::wstring& componentCodes, const LoaderManifestValues& values,
                           std::wstring& manifestFolder, std::wstring& errorText);
