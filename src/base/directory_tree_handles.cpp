#include "base/directory_tree_walks.h"

#include <vector>

#include "base/file_info_calls.h"

namespace base {
namespace tree {
namespace {

bool isLink(DWORD attributes) { return (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0; }
bool isFolder(DWORD attributes) { return (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0; }

// The first failure of a walk that carries on past it.
class FirstError {
public:
    void note() {
        if (error_ == ERROR_SUCCESS) error_ = ::GetLastError();
    }
    bool result() const {
        if (error_ == ERROR_SUCCESS) return true;
        ::SetLastError(error_);
        return false;
    }

private:
    DWORD error_ = ERROR_SUCCESS;
};

// Only these can be set through FileBasicInfo; the rest describe the entry.
DWORD writableAttributes(DWORD attributes) {
    const DWORD settable = FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_NOT_CONTENT_INDEXED |
                           FILE_ATTRIBUTE_OFFLINE | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_TEMPORARY;
    const DWORD kept = attributes & settable;
    return kept != 0 ? kept : FILE_ATTRIBUTE_NORMAL;
}

bool deleteOpenEntry(const FileInfoCalls& calls, const std::wstring& path, HANDLE entry, DWORD namedAttributes);

// Deletes what the folder held open at `folder` contains. Its handle and those of
// every folder above it stay open meanwhile, so path names below them lead
// where the listing saw them.
bool emptyFolder(const FileInfoCalls& calls, const std::wstring& path, HANDLE folder) {
    std::vector<FolderEntry> entries;
    if (!calls.listFolder(folder, &entries)) return false;
    FirstError failure;
    for (const FolderEntry& listed : entries) {
        const std::wstring child = path + L"\\" + listed.name;
        unique_file entry = openEntry(child, isFolder(listed.attributes) && !isLink(listed.attributes));
        if (!entry) {
            if (::GetLastError() != ERROR_FILE_NOT_FOUND) failure.note();  // one gone already is fine
            continue;
        }
        if (!deleteOpenEntry(calls, child, entry.get(), listed.attributes)) failure.note();
    }
    return failure.result();
}

// namedAttributes are those the entry's name reported (listing or path). Where
// the name says link and the handle does not, the handle is not the link itself
// (Wine opens a host symbolic link as its target even with
// FILE_FLAG_OPEN_REPARSE_POINT), so nothing is done through it.
bool deleteOpenEntry(const FileInfoCalls& calls, const std::wstring& path, HANDLE entry, DWORD namedAttributes) {
    BY_HANDLE_FILE_INFORMATION info;
    if (!::GetFileInformationByHandle(entry, &info)) return false;
    const DWORD attributes = info.dwFileAttributes;
    if (isLink(namedAttributes) && !isLink(attributes)) {
        ::SetLastError(ERROR_NOT_A_REPARSE_POINT);
        return false;
    }
    // Read-only entries cannot be deleted; clearing the bit first is what a user expects.
    if ((attributes & FILE_ATTRIBUTE_READONLY) && !calls.setAttributes(entry, writableAttributes(attributes)))
        return false;
    FirstError failure;
    if (isFolder(attributes) && !isLink(attributes) && !emptyFolder(calls, path, entry))
        failure.note();  // the folder's own delete fails too, with a less telling error
    if (!calls.markForDeletion(entry)) failure.note();
    return failure.result();
}

}  // namespace

unique_file openEntry(const std::wstring& path, bool folder) {
    // Backup semantics for every entry: a listed file may be a folder by now, and a
    // link to a folder is one too.
    const DWORD access =
        DELETE | FILE_READ_ATTRIBUTES | FILE_WRITE_ATTRIBUTES | SYNCHRONIZE | (folder ? FILE_LIST_DIRECTORY : 0);
    return unique_file(::CreateFileW(path.c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                     FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
}

bool deleteByHandles(const std::wstring& path) {
    const FileInfoCalls* calls = FileInfoCalls::get();
    if (calls == nullptr) {
        ::SetLastError(ERROR_PROC_NOT_FOUND);
        return false;
    }
    unique_file root = openEntry(path, true);
    if (!root) return false;
    // Read while the root is held, so the name cannot be swapped in between.
    DWORD named = ::GetFileAttributesW(path.c_str());
    if (named == INVALID_FILE_ATTRIBUTES) named = 0;
    BY_HANDLE_FILE_INFORMATION info;
    if (!::GetFileInformationByHandle(root.get(), &info)) return false;
    if (!isFolder(info.dwFileAttributes) && !isLink(info.dwFileAttributes | named)) {
        ::SetLastError(ERROR_DIRECTORY);
        return false;
    }
    return deleteOpenEntry(*calls, path, root.get(), named);
}

}  // namespace tree
}  // namespace base
