#include "bootstrap/payload_locks.h"

#include <algorithm>

#include "product/ascii_compare.h"
#include "product/names.h"

namespace {

class Guard {
public:
    explicit Guard(CRITICAL_SECTION& section) : section_(section) { ::EnterCriticalSection(&section_); }
    ~Guard() { ::LeaveCriticalSection(&section_); }
    Guard(const Guard&) = delete;
    Guard& operator=(const Guard&) = delete;

private:
    CRITICAL_SECTION& section_;
};

std::wstring withoutTrailingBackslash(std::wstring path) {
    while (!path.empty() && path.back() == L'\\') path.pop_back();
    return path;
}

bool startsWithNoCase(const std::wstring& text, const std::wstring& prefix) {
    return text.size() >= prefix.size() && equalsAsciiNoCase(text.substr(0, prefix.size()), prefix);
}

// root, then each folder below it on the way to path; empty when path is not below root.
std::vector<std::wstring> foldersFromRoot(const std::wstring& path, const std::wstring& root) {
    std::vector<std::wstring> folders;
    if (root.empty() || !startsWithNoCase(path, root + L"\\")) return folders;
    for (std::wstring folder = folderOfTarget(path); folder.size() > root.size(); folder = folderOfTarget(folder)) {
        folders.push_back(folder);
        if (folder.find(L'\\') == std::wstring::npos) break;
    }
    folders.push_back(root);
    std::reverse(folders.begin(), folders.end());
    return folders;
}

}  // namespace

PayloadLocks::PayloadLocks() { ::InitializeCriticalSection(&guard_); }

PayloadLocks::~PayloadLocks() {
    releaseAll();
    ::DeleteCriticalSection(&guard_);
}

base::unique_file PayloadLocks::openLocked(const std::wstring& path) {
    // Read access, read sharing only: writers, renamers and deleters are refused
    // from now on, and the open itself fails while anyone else can still write.
    return base::unique_file(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                           FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
}

bool PayloadLocks::identityOf(HANDLE file, Identity& identity) {
    BY_HANDLE_FILE_INFORMATION information;
    if (!::GetFileInformationByHandle(file, &information)) return false;
    identity.volume = information.dwVolumeSerialNumber;
    identity.indexHigh = information.nFileIndexHigh;
    identity.indexLow = information.nFileIndexLow;
    return true;
}

bool PayloadLocks::holdFolder(const std::wstring& folder, std::vector<HeldFolder>& added) {
    for (const HeldFolder& held : folders_) {
        if (equalsAsciiNoCase(held.path, folder)) return true;
    }
    // Listing access takes part in sharing; others may still list and add files,
    // but none may open the folder to rename or delete it.
    base::unique_file handle(::CreateFileW(folder.c_str(), FILE_LIST_DIRECTORY, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                           nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    if (!handle) return false;
    added.push_back(HeldFolder{std::move(handle), folder});
    return true;
}

bool PayloadLocks::hold(base::unique_file file, const std::wstring& path, const std::wstring& root) {
    HeldFile held;
    if (!identityOf(file.get(), held.identity)) return false;
    held.handle = std::move(file);

    Guard guard(guard_);
    std::vector<HeldFolder> added;
    for (const std::wstring& folder : foldersFromRoot(path, withoutTrailingBackslash(root))) {
        if (!holdFolder(folder, added)) return false;
    }
    folders_.reserve(folders_.size() + added.size());
    files_.reserve(files_.size() + 1);
    for (HeldFolder& folder : added) folders_.push_back(std::move(folder));
    files_.push_back(std::move(held));
    return true;
}

void PayloadLocks::releaseSameFile(const std::wstring& path) {
    // Attribute access takes no part in sharing, so a held file opens this way.
    base::unique_file probe(::CreateFileW(path.c_str(), FILE_READ_ATTRIBUTES,
                                          FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                          OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    Identity identity;
    if (!probe || !identityOf(probe.get(), identity)) return;
    Guard guard(guard_);
    files_.erase(std::remove_if(files_.begin(), files_.end(),
                                [&](const HeldFile& held) { return held.identity == identity; }),
                 files_.end());
}

void PayloadLocks::releaseAll() noexcept {
    Guard guard(guard_);
    files_.clear();
    folders_.clear();
}

size_t PayloadLocks::heldFileCount() const {
    Guard guard(guard_);
    return files_.size();
}
