#include "machine/tree_listing.h"

#include <algorithm>
#include <deque>

#include "platform/path_forms.h"

namespace swiftsetup {

namespace {

constexpr uint32_t kFileNotFound = 2;
constexpr uint32_t kPathNotFound = 3;

}  // namespace

bool isLinkEntry(const DirectoryEntry& entry) {
    return (entry.attributes & kAttributeReparsePoint) != 0 && isLinkTag(entry.reparseTag);
}

bool isGoneEntry(uint32_t error, bool listed) {
    return error == kFileNotFound || (!listed && error == kPathNotFound);
}

TreeListing listTree(const std::string& root, bool rootIsLink, const FolderLister& listFolder) {
    struct Pending {
        std::string path;
        bool listed;  // false for links: they are removed, never entered
    };
    TreeListing listing;
    std::deque<Pending> pending{{root, !rootIsLink}};
    while (!pending.empty()) {
        Pending folder = std::move(pending.front());
        pending.pop_front();
        if (folder.listed) {
            const FolderListing found = listFolder(folder.path);
            // The root may be missing altogether; a folder found in a listing must be listable.
            const bool isRoot = listing.folders.empty();
            if (found.error != 0 && !isGoneEntry(found.error, !isRoot)) listing.unlisted.push_back({folder.path, found.error});
            for (const DirectoryEntry& entry : found.entries) {
                if (entry.name == "." || entry.name == "..") continue;
                std::string path = folder.path + "\\" + entry.name;
                if ((entry.attributes & kAttributeDirectory) != 0) {
                    pending.push_back({std::move(path), !isLinkEntry(entry)});
                } else {
                    listing.files.push_back(std::move(path));
                }
            }
        }
        // A folder joins the list after everything found in it, so the reversed list removes
        // it only after its contents; a link joins it at the place a folder would.
        listing.folders.push_back(std::move(folder.path));
    }
    std::reverse(listing.files.begin(), listing.files.end());
    std::reverse(listing.folders.begin(), listing.folders.end());
    return listing;
}

}  // namespace swiftsetup
