#pragma once
// Folders the tool builds and throws away.
#include <string>
#include <vector>

#include "base/directory_tree.h"

// Creates the folder and its missing parents; true when it exists afterwards.
// created, when given, receives each folder made, parents first.
bool createFolderChain(const std::wstring& path, std::vector<std::wstring>* created = nullptr);

// A folder that is deleted with its contents when its owner ends, unless kept.
class ScratchFolder {
public:
    ScratchFolder() = default;
    explicit ScratchFolder(std::wstring path) : path_(std::move(path)) {}
    ~ScratchFolder() {
        if (!path_.empty()) DeleteDirectoryTree(path_);  // best effort: a leftover only costs space
    }
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;

    const std::wstring& path() const { return path_; }
    // The folder is no longer deleted by this owner (it was moved into place).
    void keep() { path_.clear(); }

private:
    std::wstring path_;
};

// Folders made for a step that may yet fail: removed again, when still empty,
// unless kept.
class NewFolders {
public:
    NewFolders() = default;
    ~NewFolders() {
        for (auto folder = made_.rbegin(); folder != made_.rend(); ++folder) removeEmptyFolder(*folder);
    }
    NewFolders(const NewFolders&) = delete;
    NewFolders& operator=(const NewFolders&) = delete;

    bool create(const std::wstring& path) { return createFolderChain(path, &made_); }
    void keep() { made_.clear(); }

private:
    static void removeEmptyFolder(const std::wstring& path);
    std::vector<std::wstring> made_;
};

// A fresh, empty folder below the user's temporary folder; empty when none
// could be made.
std::wstring makeTemporaryFolder(const std::wstring& prefix);
