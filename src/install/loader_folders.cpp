#include "install/loader_folders.h"

#include "diagnostics/diagnostic_log.h"
#include "product/install_location.h"
#include "product/split_list.h"

LoaderUpdate UpdateLoaderManifests(const std::wstring& componentCodes, const LoaderManifestValues& values,
                                   std::wstring& manifestFolder, std::wstring& errorText) {
    std::wstring updatedFolder;
    std::wstring failure;
    bool found = false;
    for (const std::wstring& code : splitList(componentCodes, L';')) {
        const std::wstring folder = LocateManifestFolder(code);
        if (folder.empty()) {
            diagnostics::log(L"loader component " + code + L": not installed here");
            continue;
        }
        found = true;
        std::wstring text;
        if (updateLoaderManifest(values, folder, text)) {
            diagnostics::log(L"loader component " + code + L": manifest updated in " + folder);
            updatedFolder = folder;
        } else {
            diagnostics::log(L"loader component " + code + L": manifest in " + folder + L" not updated: " + text);
            failure = text;
        }
    }
    // One updated manifest is a success: the failures of the others must not
    // reach the user as if the run had failed.
    if (!found) return LoaderUpdate::NotFound;
    if (updatedFolder.empty()) {
        errorText = failure;
        return LoaderUpdate::Failed;
    }
    manifestFolder = updatedFolder;
    return LoaderUpdate::Updated;
}
