#include "machine/tree_claim.h"

#include <algorithm>

#include "machine/installation_folder/location_guard.h"
#include "platform/clock.h"
#include "platform/file_facts.h"
#include "platform/folder_listing.h"
#include "platform/system_errors.h"
#include "text/ascii_case.h"

namespace swiftsetup {
namespace {

// One attempt. A file is claimed once it is held exclusively with write access, which the system
// refuses for a program or library that some process runs, as it refuses to delete one: nothing
// is marked, so a run ended at any moment leaves every file as it was. Only a file this user may
// delete but not write is proved by marking it for deletion and taking the mark back at once. A
// folder cannot be marked while it has contents: holding it is the proof.
bool tryClaim(DeletionHandle& handle, const std::string& path, DeletionHandle::Kind kind, uint32_t& error) {
    DeletionHandle opened(path, kind);
    if (!opened.valid()) {
        error = opened.error();
        return false;
    }
    if (kind == DeletionHandle::Kind::File && !opened.provedWritable() &&
        !(opened.markForDeletion(true) && opened.markForDeletion(false))) {
        error = opened.error();
        return false;
    }
    handle = std::move(opened);
    return true;
}

std::string fileName(const std::string& path) { return path.substr(path.find_last_of('\\') + 1); }

// Takes the spared file and the folders that hold it out of the listing.
void leaveOut(TreeListing& listing, const std::string& spared) {
    if (spared.empty()) return;
    const std::string name = fileName(spared);
    for (auto file = listing.files.begin(); file != listing.files.end(); ++file) {
        if (!equalsIgnoringAsciiCase(fileName(*file), name) || !isSameFile(*file, spared)) continue;
        const std::string found = *file;
        listing.files.erase(file);
        std::erase_if(listing.folders, [&](const std::string& folder) { return isSameOrBelow(found, folder); });
        return;
    }
}

}  // namespace

TreeClaim::TreeClaim(const std::vector<std::string>& files, const std::vector<std::string>& folders, uint64_t deadline,
                     bool listed) {
    for (const std::string& file : files) entries_.push_back({file, DeletionHandle::Kind::File, {}});
    for (const std::string& folder : folders) entries_.push_back({folder, DeletionHandle::Kind::Folder, {}});
    // Every entry is tried at least once, however long that takes (a big tree on a network drive);
    // an entry held by another program is waited for until the deadline, which is looked at after
    // every such entry, so that no pass runs past it by more than one entry's time.
    for (;;) {
        bool waiting = false;
        for (Entry& entry : entries_) {
            if (entry.gone || entry.handle.valid()) continue;
            if (tryClaim(entry.handle, entry.path, entry.kind, entry.error)) continue;
            if (isGoneEntry(entry.error, listed)) {
                entry.gone = true;
                continue;
            }
            waiting = true;
            if (tickCount() >= deadline) {
                giveUp(entry);
                return;
            }
        }
        if (!waiting) break;
        const uint64_t now = tickCount();
        if (now >= deadline) continue;  // one more pass, which gives up at its first held entry
        pauseFor(static_cast<uint32_t>(std::min<uint64_t>(kRetryIntervalMs, deadline - now)));
    }
    for (const Entry& entry : entries_) claimed_ += entry.handle.valid() ? 1 : 0;
}

void TreeClaim::giveUp(const Entry& held) {
    held_ = RemovalFailure{held.path, held.error};
    entries_.clear();  // every claimed entry is given back as it was
}

std::vector<RemovalFailure> TreeClaim::removeAll(const std::function<void()>& step,
                                                 const std::function<std::string()>& moveAsideTo) {
    std::vector<RemovalFailure> failures;
    for (Entry& entry : entries_) {
        if (!entry.handle.valid()) continue;
        DeletionHandle& handle = entry.handle;
        if (!handle.markForDeletion(true)) {
            failures.push_back({entry.path, handle.error()});
        } else if (!handle.nameGoesAtClose() && moveAsideTo) {
            // Out of the tree first, then deleted where it lands; where it cannot be moved, it is
            // deleted in place.
            const std::string aside = moveAsideTo();
            if (!aside.empty() && handle.markForDeletion(false)) {
                (void)handle.moveTo(aside);
                if (!handle.markForDeletion(true)) failures.push_back({entry.path, handle.error()});
            }
        }
        handle.close();
        step();
    }
    entries_.clear();
    claimed_ = 0;
    return failures;
}

TreeClaim claimTree(const std::string& root, const std::string& spared, uint64_t deadline, const std::string& last) {
    TreeListing listing = listTreeOnDisk(root);
    // A folder that could not be listed may hold anything: the tree is not known whole, and what
    // is not known cannot be proved removable.
    if (!listing.unlisted.empty()) return TreeClaim(listing.unlisted.front());
    leaveOut(listing, spared);
    const auto lastFile = std::find(listing.files.begin(), listing.files.end(), last);
    if (!last.empty() && lastFile != listing.files.end()) std::rotate(lastFile, lastFile + 1, listing.files.end());
    return TreeClaim(listing.files, listing.folders, deadline);
}

TreeListing listTreeOnDisk(const std::string& root) { return listTree(root, isLink(root), &listFolder); }

std::vector<RemovalFailure> removeTreeAsFarAsPossible(const std::string& root) {
    const TreeListing listing = listTreeOnDisk(root);
    std::vector<RemovalFailure> failures;
    auto remove = [&](const std::string& path, DeletionHandle::Kind kind) {
        DeletionHandle handle(path, kind);
        if (handle.valid() && handle.markForDeletion(true)) {
            handle.close();
        } else if (!isGoneEntry(handle.error(), true)) {
            failures.push_back({path, handle.error()});
        }
    };
    for (const std::string& file : listing.files) remove(file, DeletionHandle::Kind::File);
    for (const std::string& folder : listing.folders) remove(folder, DeletionHandle::Kind::Folder);
    return failures;
}

}  // namespace swiftsetup
