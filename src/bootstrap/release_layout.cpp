#include "bootstrap/release_layout.h"

#include <shlwapi.h>

#include "bootstrap/bootstrapper.h"
#include "bootstrap/folders.h"
#include "bootstrap/program_copy.h"
#include "product/names.h"
#include "product/settings.h"
#include "product/settings_ids.h"

namespace {

// folder\name, canonical, into target; false when it would not fit.
inline bool join(wchar_t (&target)[MAX_PATH], const wchar_t* folder, const wchar_t* name) {
    return ::PathCombineW(target, folder, name) != nullptr;
}

}  // namespace

bool WriteReleaseLayout(CBootstrapper& p) {
    const AppSettings& settings = appSettings();
    const wchar_t* const folder = settings.layoutFolder.c_str();
    wchar_t release[MAX_PATH];
    wchar_t target[MAX_PATH] = {};
    std::wstring path;
    ::SetLastError(ERROR_INVALID_NAME);  // what a refused name reports
    // The settings name the release folder: only plain names keep it inside the layout.
    bool written = join(target, folder, versionFileName) && isPlainFolderNamePart(settings.language) &&
                   isPlainFolderNamePart(settings.version) &&
                   settings.version.find_first_not_of(L'.') != std::wstring::npos &&
                   join(release, folder, settings.language.c_str()) && join(release, release, settings.version.c_str()) &&
                   ::CopyFileExW(p.storedVersionFile().c_str(), target, nullptr, nullptr, nullptr, 0);
    // The local names are the download folder's joined with the listed names,
    // checked to stay inside it; below the release folder they keep the listed
    // name, a ".deploy" suffix included.
    const size_t prefix = p.downloadFolder.size() + 1;
    for (const std::wstring& local : p.localFiles) {
        written = written && local.size() > prefix && ::PathCombineW(target, release, local.c_str() + prefix) &&
                  CreateDirectoryChain(path.assign(target, ::PathFindFileNameW(target) - target - 1)) &&
                  ::CopyFileExW(withoutDeploySuffix(local).c_str(), target, nullptr, nullptr, nullptr, 0);
    }
    // The copy installs from the folder it sits in.
    written = written && join(target, folder, settings.exeFileName.c_str()) &&
              WriteProgramCopy(settings.exePath.c_str(), target, IDS_INSTALLATION_URL, L".");
    if (!written) {
        const DWORD code = ::GetLastError();
        // best effort: the folder was empty before, and is so again
        DeleteDirectoryTree(settings.layoutFolder);
        ::CreateDirectoryW(folder, nullptr);
        path.assign(L"Failed to write '").append(target).append(L"'");
        p.errorText = textWithCode(path, code);
        return false;
    }
    ::InterlockedExchange(&p.installationOutcome, LaidOut);
    return true;
}
