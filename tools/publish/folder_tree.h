#pragma once
// Folders the tool builds and throws away.
#include <string>

// Creates the folder and its missing parents; true when it exists afterwards.
bool createFolderChain(const std::wstring& path);

// Deletes the folder with everything in it (read-only files too). True when
// it is gone afterwards.
bool deleteFolderTree(const std::wstring& path);

// A folder that is deleted with its contents when its owner ends, unless kept.
class ScratchFolder {
public:
    ScratchFolder() = default;
    explicit ScratchFolder(std::wstring path) : path_(std::move(path)) {}
    ~ScratchFolder() {
        if (!path_.empty()) deleteFolderTree(path_);  // best effort: a leftover only costs space
    }
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;

    const std::wstring& path() const { return path_; }
    // The folder is no longer deleted by this owner (it was moved into place).
    void keep() { path_.clear(); }

private:
    std::wstring path_;
};

// A fresh, empty folder below the user's temporary folder; empty when none
// could be made.
std::wstring makeTemporaryFolder(const std::wstring& prefix);
