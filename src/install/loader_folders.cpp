#include "install/loader_folders.h"

#include "install/install_location.h"
#include "install/split_list.h"

bool UpdateLoaderManifests(const std::wstring& componentCodes, const LoaderManifestValues& values,
                           std::wstring& manifestFolder, std::wstring& errorText) {
    bool updated = false;
    for (const std::wstring& code : splitList(componentCodes, L';')) {
        const std::wstring folder = LocateManifestFolder(code);
        if (folder.empty()) continue;
        if (updateLoaderManifest(values, folder, errorText)) {
            manifestFolder = folder;
            updated = true;
        }
    }
    return updated;
}
