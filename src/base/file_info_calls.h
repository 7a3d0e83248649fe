#pragma once
// The handle-based file information calls of Vista and later
// (GetFileInformationByHandleEx, SetFileInformationByHandle). They are looked
// up at run time: the program still has to start on Windows 2000 and XP.
// Callable from any thread.
#include <windows.h>

#include <string>
#include <vector>

namespace base {

struct FolderEntry {
    std::wstring name;
    DWORD attributes;  // as the listing reports them
};

class FileInfoCalls {
public:
    // Null where the system lacks either call.
    static const FileInfoCalls* get();

    // Every entry of a folder opened with FILE_LIST_DIRECTORY, "." and ".." left
    // out. entries is only replaced on success.
    bool listFolder(HANDLE folder, std::vector<FolderEntry>* entries) const;
    // Replaces the attributes and leaves the times alone.
    bool setAttributes(HANDLE file, DWORD attributes) const;
    // The entry goes when its last handle closes; a folder must be empty.
    bool markForDeletion(HANDLE file) const;

private:
    using GetInfoFunction = BOOL(WINAPI*)(HANDLE, FILE_INFO_BY_HANDLE_CLASS, LPVOID, DWORD);
    using SetInfoFunction = BOOL(WINAPI*)(HANDLE, FILE_INFO_BY_HANDLE_CLASS, LPVOID, DWORD);

    GetInfoFunction getInfo_ = nullptr;
    SetInfoFunction setInfo_ = nullptr;
};

}  // namespace base
