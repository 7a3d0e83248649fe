#include "product/installation_source.h"

#include <shlwapi.h>

const wchar_t* const versionFileName = L"version_info.xml";

namespace {

bool startsWithNoCase(const std::wstring& text, const wchar_t* prefix) {
    const size_t length = wcslen(prefix);
    return text.size() >= length && ::StrCmpNIW(text.c_str(), prefix, static_cast<int>(length)) == 0;
}

std::wstring withTrailing(std::wstring text, wchar_t separator) {
    if (text.empty() || text.back() != separator) text += separator;
    return text;
}

}  // namespace

InstallationSource classifyInstallationUrl(const std::wstring& url, const std::wstring& exeDirectory) {
    InstallationSource source;
    if (::PathIsURLW(url.c_str())) {
        if (startsWithNoCase(url, L"ftp:") || startsWithNoCase(url, L"sftp:")) {
            source.kind = FtpAddress;
        } else {
            source.kind = WebAddress;
            source.versionInfoLocation = withTrailing(url, L'/') + versionFileName;
        }
    } else if (::PathIsUNCW(url.c_str())) {
        source.kind = NetworkShare;
        source.versionInfoLocation = withTrailing(url, L'\\') + versionFileName;
    } else if (::PathIsRelativeW(url.c_str())) {
        wchar_t folder[MAX_PATH] = {};
        wchar_t location[MAX_PATH] = {};
        if (::PathCombineW(folder, exeDirectory.c_str(), url.c_str()) &&
            ::PathCombineW(location, folder, versionFileName)) {
            source.kind = LocalFolder;
            source.versionInfoLocation = location;
        }
        // A join longer than MAX_PATH leaves the kind Unrecognized: the setting is then
        // reported as malformed instead of fetching from a cut-off path.
    } else if (::PathIsDirectoryW(url.c_str())) {
        source.kind = LocalFolder;
        source.versionInfoLocation = withTrailing(url, L'\\') + versionFileName;
    }
    return source;
}
