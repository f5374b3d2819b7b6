#pragma once
// The listing phase of a tree removal: which paths are deleted, and in which order. Portable;
// the directory listing itself is handed in, so the order and the link rule can be tested
// without a file system.

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "platform/folder_listing.h"  // the entry type alone: no Windows here

namespace swiftsetup {

// Everything found below a folder, in the order in which it is to be deleted: all files first,
// then all folders, deepest first, the root last.
struct TreeListing {
    std::vector<std::string> files;
    std::vector<std::string> folders;
    uint64_t entryCount() const { return files.size() + folders.size(); }
};

// An entry that could not be deleted, and the system's reason (0 when none was given).
struct RemovalFailure {
    std::string path;
    uint32_t error = 0;
};

// The entries of one folder; empty when it cannot be listed. "." and ".." may be among them.
using FolderLister = std::function<std::vector<DirectoryEntry>(const std::string& folder)>;

// Lists the tree below root breadth first. A link to a folder (a directory entry that is a
// reparse point: junction, symbolic link, mount point) is removed as an entry but never listed,
// so nothing it points to is ever touched; when rootIsLink, not even the root is listed.
[[nodiscard]] TreeListing listTree(const std::string& root, bool rootIsLink, const FolderLister& listFolder);

// Progress that moves evenly from first to last over a known number of steps, the last step
// landing exactly on last. A range that runs backwards stays at first.
class EvenProgress {
public:
    EvenProgress(uint32_t first, uint32_t last, uint64_t steps)
        : first_(first), range_(last >= first ? last - first : 0), steps_(steps == 0 ? 1 : steps) {}

    // The position after one more step; never beyond last.
    uint32_t advance() {
        if (done_ < steps_) ++done_;
        return first_ + static_cast<uint32_t>(done_ * range_ / steps_);
    }

private:
    uint32_t first_;
    uint64_t range_;
    uint64_t steps_;
    uint64_t done_ = 0;
};

}  // namespace swiftsetup
