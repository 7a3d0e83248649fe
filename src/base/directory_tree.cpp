#include "base/directory_tree.h"

#include "base/directory_tree_walks.h"
#include "base/file_info_calls.h"

bool DeleteDirectoryTree(const std::wstring& path) {
    // Only handles keep a folder from being swapped for a link mid-walk; systems
    // before Vista lack the calls and get the walk by path names.
    if (base::FileInfoCalls::get() != nullptr) return base::tree::deleteByHandles(path);
    return base::tree::deleteByPaths(path);
}
