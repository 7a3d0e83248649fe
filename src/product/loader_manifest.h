#pragma once
// The add-in loader's settings file, "kvlloader.dll.manifest", in each folder of
// the installed loader: after an installation its msi section is made to name
// where the add-in was installed from and which release it is. Worker thread.
#include <string>

struct LoaderManifestValues {
    std::wstring installationUrl;
    std::wstring language;
    std::wstring version;
    std::wstring productCode;
    bool perUser = false;  // where the product's uninstall key lives
};

extern const wchar_t loaderManifestName[];  // "kvlloader.dll.manifest"

// Brings the msi section of the manifest in folder up to date (creating the
// section or its elements when missing) and saves the file; then records folder
// as the product's install location when none is recorded. False with errorText
// set when the manifest is missing, unreadable, lacks its configuration element
// or cannot be saved; the file is then left as it was.
bool updateLoaderManifest(const LoaderManifestValues& values, const std::wstring& folder, std::wstring& errorText);

// Writes folder as "InstallLocation" of the product's existing uninstall key
// (HKEY_CURRENT_USER when perUser, else HKEY_LOCAL_MACHINE; in whichever registry
// view holds it) unless a non-empty location is there already; never creates the key. True when the key then
// names folder, or already named a location.
bool recordInstallLocation(const std::wstring& productCode, bool perUser, const std::wstring& folder);

// The text as element content: "&", "<" and ">" written as references, so an
// XML reader gives back exactly the text.
std::wstring escapeElementText(const std::wstring& text);
