#include "bootstrap/release_layout.h"

#include "bootstrap/bootstrapper.h"
#include "bootstrap/folders.h"
#include "bootstrap/program_copy.h"
#include "product/combine.h"
#include "product/names.h"
#include "product/settings.h"
#include "product/settings_ids.h"

bool WriteReleaseLayout(CBootstrapper& p) {
    const AppSettings& settings = appSettings();
    const std::wstring& folder = settings.layoutFolder;
    // The settings name the release folder: only plain names keep it inside the layout.
    const std::wstring& version = settings.version;
    std::wstring target = folder + L"\\" + versionFileName;
    ::SetLastError(ERROR_INVALID_NAME);  // what a refused name reports
    bool written = isPlainFolderNamePart(settings.language) && isPlainFolderNamePart(version) &&
                   version.find_first_not_of(L'.') != std::wstring::npos &&
                   ::CopyFileW(p.storedVersionFile().c_str(), target.c_str(), FALSE);
    // The local names were checked to stay inside the download folder; below the
    // release folder they keep the listed name, a ".deploy" suffix included.
    const std::wstring release = folder + L"\\" + settings.language + L"\\" + version;
    const std::wstring downloads = p.downloadFolder + L"\\";
    for (const std::wstring& local : p.localFiles) {
        if (!written) break;
        written = local.compare(0, downloads.size(), downloads) == 0;
        target = written ? combinePath(release, local.substr(downloads.size())) : local;
        written = written && !target.empty() && CreateDirectoryChain(folderOfTarget(target)) &&
                  ::CopyFileW(withoutDeploySuffix(local).c_str(), target.c_str(), FALSE);
    }
    if (written) {
        // Installs from the folder it sits in.
        target = folder + L"\\" + settings.exeFileName;
        written = WriteProgramCopy(settings.exePath, target, IDS_INSTALLATION_URL, L".");
    }
    if (!written) {
        const DWORD code = ::GetLastError();
        // best effort: the folder was empty before, and is so again
        DeleteDirectoryTree(folder);
        ::CreateDirectoryW(folder.c_str(), nullptr);
        p.errorText = textWithCode(L"Failed to write '" + target + L"' into the layout folder", code);
        return false;
    }
    ::InterlockedExchange(&p.installationOutcome, LaidOut);
    return true;
}
