#pragma once
// publish settings: the stamping tool's settings file for one published
// release, taken from the site itself so that the stamped program and the
// site cannot disagree.
#include <string>
#include <vector>

struct SettingsRequest {
    std::wstring site;
    std::wstring versionText;
    std::wstring installationUrl;
    std::wstring language;  // empty: the one language the version is published in
    std::wstring host;      // the hostApplication setting; must be one the program knows
    std::wstring out;
};

// Writes the file with every setting (whole or not at all). False with one
// line per problem.
bool writeStampSettings(const SettingsRequest& request, std::wstring& report, std::vector<std::wstring>& problems);
