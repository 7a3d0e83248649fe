#pragma once
// The edit lock of an installation site: <site>\version_info.xml.lock, made with
// CREATE_NEW, so that one publish add at a time reads version_info.xml, changes
// it and puts it back; without it, two runs would each replace the other's
// release. The lock names its owner (see lock_owner.h) and goes when its handle
// closes, also when the process is killed.
#include <windows.h>

#include <string>

#include "base/unique_any.h"

class SiteLock {
public:
    // Takes the lock of the site's folder, which must exist. While another run
    // holds it, waits up to waitMilliseconds. False with one line in problem when
    // it stays held, when its owner has ended without removing it (such a lock
    // is named, never broken), or when it cannot be made.
    bool take(const std::wstring& siteFolder, DWORD waitMilliseconds, std::wstring& problem);

    bool held() const { return file_.valid(); }
    void release() { file_.reset(); }

private:
    base::unique_file file_;
};

// The lock's path for a site folder.
std::wstring siteLockPath(const std::wstring& siteFolder);
