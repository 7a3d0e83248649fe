#pragma once
// Release files held open from the moment they are stored until the
// installation has ended, so that another process cannot swap the package
// that this (possibly elevated) run is about to install.
//
// A file is held with read access and read sharing only: msiexec and the
// Windows Installer, which open packages for reading and deny writers, can
// still read it, but no process can open it to write, replace, rename or
// delete it. The folders from the download folder down to the file are held
// too, without delete sharing, so that none of them can be renamed away and
// refilled under the same name.
//
// A file is held from the instant after its writer closed it (the installer
// cannot open a file that anyone may still write). A change made within that
// instant is not seen here; the SHA-256 check, which reads through the held
// handle, catches it for every file that names a digest.
//
// Threads: the worker holds and releases; the main thread may release all at
// exit when the worker did not end in time. A critical section guards the lists.
#include <windows.h>

#include <string>
#include <vector>

#include "base/unique_any.h"

class PayloadLocks {
public:
    PayloadLocks();
    ~PayloadLocks();
    PayloadLocks(const PayloadLocks&) = delete;
    PayloadLocks& operator=(const PayloadLocks&) = delete;

    // Opens a stored file for reading with read sharing only. Fails (invalid,
    // GetLastError() set) when the file is gone or another process has it open
    // with write or delete access, that is when it cannot be secured.
    static base::unique_file openLocked(const std::wstring& path);

    // Keeps file (opened by openLocked) until released, and holds every folder
    // between root and the file, root included. False with GetLastError() set
    // when a folder cannot be held; the file is then not kept either.
    bool hold(base::unique_file file, const std::wstring& path, const std::wstring& root);

    // Lets go of a held file that is the same file as path, however it is
    // spelled, so that a later release file of the same name can replace it.
    void releaseSameFile(const std::wstring& path);

    // Lets go of every file and folder.
    void releaseAll() noexcept;

    size_t heldFileCount() const;

private:
    struct Identity {
        DWORD volume = 0;
        DWORD indexHigh = 0;
        DWORD indexLow = 0;
        bool operator==(const Identity& other) const {
            return volume == other.volume && indexHigh == other.indexHigh && indexLow == other.indexLow;
        }
    };
    struct HeldFile {
        base::unique_file handle;
        Identity identity;
    };
    struct HeldFolder {
        base::unique_file handle;
        std::wstring path;
    };

    static bool identityOf(HANDLE file, Identity& identity);
    bool holdFolder(const std::wstring& folder, std::vector<HeldFolder>& added);

    mutable CRITICAL_SECTION guard_;
    std::vector<HeldFile> files_;
    std::vector<HeldFolder> folders_;
};
