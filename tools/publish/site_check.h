#pragma once
// publish check: what a user's bootstrapper would meet on the site, up to the
// installation step, through the bootstrapper's own classification, fetches,
// reader and digest check.
#include <string>
#include <vector>

struct CheckRequest {
    std::wstring installationUrl;
    std::wstring company;
    std::wstring language;
    std::wstring versionText;
    std::wstring releaseDigest;  // the program's pin, or empty
    // Who gives the values above, for the details: "the program is stamped for",
    // "the settings file gives", "the options give".
    std::wstring givenBy = L"the options give";
    // Where a relative installation URL is taken from, with its trailing
    // backslash: the stamped program's folder; empty for the current folder.
    std::wstring programFolder;
};

struct CheckOutcome {
    std::vector<std::wstring> problems;  // one line each, in the order a run meets them
    std::wstring boxText;                // what the bootstrapper would show; empty when it installs
    std::vector<std::wstring> details;   // both sides of each mismatch behind the box, one line each
    size_t files = 0;                    // release files fetched and stored
    long long bytes = 0;
};

// Fetches into a temporary folder that is deleted before this returns. A run
// stops at its first failure; the check goes on through the remaining release
// files so that one pass names every file at fault.
CheckOutcome checkSite(const CheckRequest& request);
