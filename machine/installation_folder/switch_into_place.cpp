#include "machine/installation_folder/switch_into_place.h"

#include <set>

#include "machine/tree_claim.h"
#include "platform/clock.h"
#include "platform/file_facts.h"
#include "platform/file_moves.h"
#include "platform/system_errors.h"
#include "text/digits.h"

namespace swiftsetup {
namespace {

std::string relativeTo(const std::string& root, const std::string& path) { return path.substr(root.size()); }

// Moves an entry that stands in the way into the aside folder, to be deleted with it; the system's
// error code.
uint32_t moveAside(AsideFolder& aside, const std::string& entry) {
    const std::string to = aside.nextName();
    if (to.empty()) return aside.folder().error() != error::kSuccess ? aside.folder().error() : error::kAccessDenied;
    return moveEntry(entry, to, false);
}

// Moves every staged entry into installFolder, replacing an entry of the same name; what stands
// in the way is moved aside first. The staging folder's own marker stays behind.
std::optional<Failure> mergeInto(const std::string& staged, const std::string& installFolder, AsideFolder& aside,
                                 std::set<std::string>& placed) {
    const TreeListing listing = listTreeOnDisk(staged);
    // A staged folder that cannot be listed whole would be moved in with less than the new version.
    if (!listing.unlisted.empty()) return Failure{Step::Switch, listing.unlisted.front().error, listing.unlisted.front().path};
    const uint64_t deadline = tickCount() + kHoldWaitMs;
    // Folders outermost first, so that each file finds its folder.
    for (auto folder = listing.folders.rbegin(); folder != listing.folders.rend(); ++folder) {
        const std::string target = installFolder + relativeTo(staged, *folder);
        // A link of that name leads somewhere else: files moved in there would land, and replace,
        // wherever it points. It goes aside (the link alone), as does a file of that name; a link
        // that cannot go fails the switch rather than be written through.
        if (target != installFolder && isLink(target)) {
            const uint32_t error = moveAside(aside, target);
            if (error != error::kSuccess) return Failure{Step::Switch, error, target};
        } else if (folderExists(target)) {
            continue;
        }
        uint32_t error = ensureFolder(target);
        if (error != error::kSuccess && moveAside(aside, target) == error::kSuccess) error = ensureFolder(target);
        if (error != error::kSuccess) return Failure{Step::Switch, error, target};
    }
    for (const std::string& file : listing.files) {
        const std::string name = relativeTo(staged, file);
        if (name == kWorkFolderMarker) continue;
        const std::string target = installFolder + name;
        const uint32_t error = retryWhileHeld(deadline, [&] {
            const uint32_t moved = moveEntry(file, target, true);
            // A running program or a folder of that name cannot be replaced, but can be moved.
            if (moved != error::kSuccess && entryExists(target) && moveAside(aside, target) == error::kSuccess) {
                return moveEntry(file, target, true);
            }
            return moved;
        });
        if (error != error::kSuccess) return Failure{Step::Switch, error, target};
        placed.insert(name);
    }
    return std::nullopt;
}

// What is left in a work folder after the switch goes; what cannot go yet stays recorded, for a
// later run.
void removeOrLeave(WorkFolder& folder, const Note& note) {
    if (!folder.remove()) note("left for a later run: " + folder.path());
}

}  // namespace

std::optional<Failure> moveIntoPlace(WorkFolder& staging, const std::string& installFolder, bool remainsAreOld,
                                     const Note& note) {
    // Proved complete when it was made; a staging folder that is gone since is no version at all.
    if (!folderExists(staging.path())) return Failure{Step::Switch, error::kPathNotFound, staging.path()};
    const uint64_t deadline = tickCount() + kHoldWaitMs;
    AsideFolder aside(installFolder);
    // The remains out of the way, in one step; the marker they get on the way proves them ours
    // to the next run, should this one be cut off.
    if (remainsAreOld && folderExists(installFolder)) {
        WorkFolder& remains = aside.folder();
        remains = WorkFolder::reserveFor(installFolder);
        const uint32_t error = remains.valid()
                                   ? retryWhileHeld(deadline, [&] { return moveEntry(installFolder, remains.path(), false); })
                                   : error::kSuccess;
        if (error != error::kSuccess) {
            note("the earlier installation's folder cannot be moved aside: system error " + digitsOf(error));
            remains.abandon(installFolder);
        }
    }
    // The switch: one rename.
    if (!folderExists(installFolder)) {
        const uint32_t error = retryWhileHeld(deadline, [&] { return moveEntry(staging.path(), installFolder, false); });
        if (error == error::kSuccess) {
            staging.becomes(installFolder);
            note("moved into place: " + installFolder);
            removeOrLeave(aside.folder(), note);
            return std::nullopt;
        }
        note("the staging folder cannot be renamed: system error " + digitsOf(error));
    }
    // Entry by entry.
    std::set<std::string> placed;
    if (const std::optional<Failure> failure = mergeInto(staging.path(), installFolder, aside, placed)) return failure;
    note("moved into place entry by entry: " + digitsOf(placed.size()) + " files");
    removeOrLeave(staging, note);
    if (remainsAreOld) {
        // What the earlier uninstaller left and the new version does not have.
        for (const std::string& file : listTreeOnDisk(installFolder).files) {
            if (placed.count(relativeTo(installFolder, file)) == 0 && moveAside(aside, file) != error::kSuccess) {
                note("an earlier version's file stays: " + file);
            }
        }
    }
    removeOrLeave(aside.folder(), note);
    return std::nullopt;
}

}  // namespace swiftsetup
