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

// An entry that could not be deleted or listed, and the system's reason (0 when none was given).
struct RemovalFailure {
    std::string path;
    uint32_t error = 0;
};

// Everything found below a folder, in the order in which it is to be deleted: all files first,
// then all folders, deepest first, the root last.
struct TreeListing {
    std::vector<std::string> files;
    std::vector<std::string> folders;
    // Folders that could not be listed, for another reason than that they are gone (access
    // denied, a failing drive): what is in them is unknown, so the tree is not known whole.
    std::vector<RemovalFailure> unlisted;
    uint64_t entryCount() const { return files.size() + folders.size(); }
};

// The entries of one folder, "." and ".." among them, or why it could not be listed.
using FolderLister = std::function<FolderListing(const std::string& folder)>;

// A directory entry that leads somewhere else (a reparse point of a link's kind: junction,
// symbolic link, mount point; path_forms.h): it is removed as an entry, never entered.
[[nodiscard]] bool isLinkEntry(const DirectoryEntry& entry);

// Whether an entry that an operation did not find is simply not there any more. For an entry
// found by listing its folder, only "file not found" says so: "path not found" for it means its
// path could not be read (too long, a folder on the way replaced), and that is no proof. An entry
// named without a listing (a shortcut) is also gone when its folder is.
[[nodiscard]] bool isGoneEntry(uint32_t error, bool listed);

// Lists the tree below root breadth first. A link to a folder is removed as an entry but never
// listed, so nothing it points to is ever touched; when rootIsLink, not even the root is listed.
// A root that is not there is taken for empty, as is a folder gone before it could be listed (its
// "file not found"); any other listing failure is recorded in unlisted.
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
