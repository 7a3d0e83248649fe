#include "site_lock.h"

#include "base/windows_error.h"
#include "folder_tree.h"
#include "lock_owner.h"
#include "site_names.h"
#include "product/installation_source.h"

namespace {

const DWORD retryMilliseconds = 100;

// The owner the lock names; false while it names none (it may be new, not yet written).
bool readOwner(const std::wstring& path, LockOwner& owner) {
    // Shared for delete too, so that reading never keeps the owner's lock alive.
    base::unique_file file(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                         nullptr, OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    if (!file) return false;
    char buffer[1024];
    DWORD read = 0;
    if (!::ReadFile(file.get(), buffer, sizeof buffer, &read, nullptr)) return false;
    return parseLockText(std::string(buffer, read), owner);
}

// A lock another run holds or is letting go of: worth waiting for.
bool busy(DWORD error) {
    return error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS || error == ERROR_ACCESS_DENIED ||
           error == ERROR_SHARING_VIOLATION;
}

}  // namespace

std::wstring siteLockPath(const std::wstring& siteFolder) {
    return sitePath(siteFolder, std::wstring(versionFileName) + L".lock");
}

bool SiteLock::take(const std::wstring& siteFolder, DWORD waitMilliseconds, std::wstring& problem) {
    const std::wstring path = siteLockPath(siteFolder);
    const LockOwner self = currentLockOwner();
    const std::string text = lockText(self);
    const DWORD start = ::GetTickCount();
    LockOwner owner;
    bool named = false;
    DWORD error = 0;
    for (;;) {
        // Deleted when the handle closes, so a killed run leaves no lock behind.
        base::unique_file file(::CreateFileW(path.c_str(), GENERIC_WRITE | DELETE, FILE_SHARE_READ | FILE_SHARE_DELETE,
                                             nullptr, CREATE_NEW,
                                             FILE_ATTRIBUTE_NORMAL | FILE_FLAG_DELETE_ON_CLOSE | FILE_FLAG_OPEN_REPARSE_POINT,
                                             nullptr));
        if (file) {
            DWORD written = 0;
            if (!::WriteFile(file.get(), text.data(), static_cast<DWORD>(text.size()), &written, nullptr) ||
                written != text.size() || !::FlushFileBuffers(file.get())) {
                problem = path + L": cannot be written: " + systemReason(::GetLastError());
                return false;
            }
            file_ = std::move(file);
            return true;
        }
        error = ::GetLastError();
        // Another run's refusal may have just removed a new site's empty folder.
        if (error == ERROR_PATH_NOT_FOUND && ::GetTickCount() - start < waitMilliseconds &&
            createFolderChain(siteFolder))
            continue;
        if (!busy(error)) break;
        named = readOwner(path, owner);
        if (named && lockOwnerEnded(owner)) {
            problem = path + L": left by " + describeLockOwner(owner) +
                      L", which has ended; if no publish add is editing the site, delete the lock and run again";
            return false;
        }
        if (::GetTickCount() - start >= waitMilliseconds) break;
        ::Sleep(retryMilliseconds);
    }
    const std::wstring waited = L"; gave up after waiting " + std::to_wstring(waitMilliseconds / 1000) + L" s";
    if (!busy(error)) {
        problem = path + L": cannot be created: " + systemReason(error);
    } else if (named) {
        problem = path + L": " + describeLockOwner(owner) + L" is editing the site" + waited;
    } else if (error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS) {
        problem = path + L": the site is locked by a process the lock does not name" + waited +
                  L" (delete the lock if no publish add is editing the site)";
    } else {
        problem = path + L": cannot be created: " + systemReason(error) + waited;
    }
    return false;
}
