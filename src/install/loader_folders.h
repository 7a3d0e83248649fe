#pragma once
// After an installation: the loader manifest of every installed loader component.
#include <string>

#include "product/loader_manifest.h"

enum class LoaderUpdate {
    Updated,   // at least one manifest was brought up to date
    NotFound,  // no component is installed: there is no loader to tell
    Failed,    // loaders were found, but none of their manifests could be updated
};

// Updates the manifest in the folder of each component of componentCodes
// (";"-separated) that is installed. Updated when at least one was updated;
// manifestFolder is then the folder of the last one and errorText is left
// alone, whatever the others did. Failed sets errorText to the text of the last
// failed update; NotFound leaves both alone.
LoaderUpdate UpdateLoaderManifests(const std::wstring& componentCodes, const LoaderManifestValues& values,
                                   std::wstring& manifestFolder, std::wstring& errorText);
