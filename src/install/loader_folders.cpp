#include "install/loader_folders.h"

#include "product/install_location.h"
#include "product/split_list.h"

bool UpdateLoaderManifests(const std::wstring& componentCodes, const LoaderManifestValues& values,
                           std::wstring& manifestFolder, std::wstring& errorText) {
    std::wstring updatedFolder;
    std::wstring failure;
    for (const std::wstring& code : splitList(componentCodes, L';')) {
        const std::wstring folder = LocateManifestFolder(code);
        if (folder.empty()) continue;
        std::wstring text;
        if (updateLoaderManifest(values, folder, text)) {
            updatedFolder = folder;
        } else {
            failure = text;
        }
    }
    // One updated manifest is a success: the failures of the others must not
    // reach the user as if the run had failed.
    if (updatedFolder.empty()) {
        errorText = failure;
        return false;
    }
    manifestFolder = updatedFolder;
    return true;
}
