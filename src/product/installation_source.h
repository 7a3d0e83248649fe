#pragma once
// Classification of the installation URL setting: where version_info.xml and the
// release files come from.
#include <windows.h>

#include <string>

enum SourceKind : LONG {
    Unrecognized = 0,
    LocalFolder = 1,   // a relative path, or an absolute path of an existing folder
    WebAddress = 2,    // a URL other than FTP
    FtpAddress = 3,    // "ftp:" or "sftp:" (rejected)
    NetworkShare = 4,  // a UNC path
};

extern const wchar_t* const versionFileName;  // "version_info.xml"

struct InstallationSource {
    SourceKind kind = Unrecognized;
    std::wstring versionInfoLocation;  // empty for Unrecognized and FtpAddress
};

// Pure apart from the existence test of an absolute folder. exeDirectory ends with
// a backslash; a relative folder is taken beside the program.
InstallationSource classifyInstallationUrl(const std::wstring& url, const std::wstring& exeDirectory);
