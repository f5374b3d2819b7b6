#include "machine/tree_listing.h"

#include <algorithm>
#include <deque>

namespace swiftsetup {

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
            for (const DirectoryEntry& entry : listFolder(folder.path)) {
                if (entry.name == "." || entry.name == "..") continue;
                std::string path = folder.path + "\\" + entry.name;
                if ((entry.attributes & kAttributeDirectory) != 0) {
                    const bool isLink = (entry.attributes & kAttributeReparsePoint) != 0;
                    pending.push_back({std::move(path), !isLink});
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
