#include "bootstrap/release_layout.h"

#include "bootstrap/bootstrapper.h"
#include "bootstrap/folders.h"
#include "bootstrap/program_copy.h"
#include "diagnostics/diagnostic_log.h"
#include "product/combine.h"
#include "product/names.h"
#include "product/settings.h"
#include "product/settings_ids.h"

const wchar_t layoutInstallationUrl[] = L".";

namespace {

class ReleaseLayout {
public:
    ReleaseLayout(CBootstrapper& pipeline, const AppSettings& settings)
        : p_(pipeline), settings_(settings), folder_(settings.layoutFolder) {}

    bool write() {
        if (!copyFile(p_.storedVersionFile(), folder_ + L"\\" + versionFileName)) return false;
        // The settings name the release; only plain names keep it inside the folder.
        if (!isPlainFolderNamePart(settings_.language) || !isPlainFolderNamePart(settings_.version) ||
            settings_.version.find_first_not_of(L'.') == std::wstring::npos)
            return fail(L"The release cannot be laid out: its language or version is no folder name.", 0);
        languageFolder_ = folder_ + L"\\" + settings_.language;
        const std::wstring releaseFolder = languageFolder_ + L"\\" + settings_.version;
        // The local names were checked to stay inside the download folder; below
        // the release folder they keep the listed name (a ".deploy" suffix too).
        const std::wstring downloads = p_.downloadFolder + L"\\";
        for (const std::wstring& local : p_.localFiles) {
            if (local.compare(0, downloads.size(), downloads) != 0)
                return fail(L"The release cannot be laid out: a file is outside the download folder.", 0);
            const std::wstring target = combinePath(releaseFolder, local.substr(downloads.size()));
            const std::wstring targetFolder = folderOfTarget(target);
            if (target.empty() || !CreateDirectoryChain(targetFolder))
                return fail(L"Failed to create the folder '" + targetFolder + L"'.", ::GetLastError());
            if (!copyFile(withoutDeploySuffix(local), target)) return false;
        }
        const std::wstring program = folder_ + L"\\" + settings_.exeFileName;
        programWritten_ = true;
        if (!WriteProgramCopy(settings_.exePath, program, IDS_INSTALLATION_URL, layoutInstallationUrl))
            return fail(L"Failed to write the program '" + program + L"'.", ::GetLastError());
        diagnostics::log(L"layout: the release and " + program + L" are written");
        return true;
    }

    // Removes what this layout wrote: the folder was empty before it.
    void undo() {
        ::DeleteFileW((folder_ + L"\\" + versionFileName).c_str());
        if (!languageFolder_.empty()) DeleteDirectoryTree(languageFolder_);
        if (programWritten_) ::DeleteFileW((folder_ + L"\\" + settings_.exeFileName).c_str());
    }

private:
    bool copyFile(const std::wstring& from, const std::wstring& to) {
        if (::CopyFileW(from.c_str(), to.c_str(), FALSE)) return true;
        return fail(L"Failed to copy '" + baseName(from) + L"' to the layout folder.", ::GetLastError());
    }

    bool fail(const std::wstring& sentence, DWORD code) {
        p_.errorText = textWithCode(sentence.substr(0, sentence.size() - 1), code);
        return false;
    }

    CBootstrapper& p_;
    const AppSettings& settings_;
    const std::wstring folder_;
    std::wstring languageFolder_;
    bool programWritten_ = false;
};

}  // namespace

bool WriteReleaseLayout(CBootstrapper& pipeline) {
    ReleaseLayout layout(pipeline, appSettings());
    if (!layout.write()) {
        layout.undo();  // best effort: no half-made layout is left
        return false;
    }
    ::InterlockedExchange(&pipeline.installationOutcome, LaidOut);
    return true;
}
