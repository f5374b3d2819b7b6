#pragma once
// Proof, before anything is deleted, that a whole tree can go: every file and folder of it opened
// for deletion and held (platform/deletion_handle.h), so that no program can take hold of one
// between the proof and the deletion. A program that holds an entry for a moment (a virus
// scanner or an indexer reading a fresh file, a backup) is waited for; one that keeps holding it
// makes the claim fail, and then nothing has changed.

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "platform/deletion_handle.h"
#include "machine/tree_listing.h"

namespace swiftsetup {

// How long a claim waits, in all and not per entry, for entries that others hold for a moment.
inline constexpr uint32_t kHoldWaitMs = 5000;

class TreeClaim {
public:
    TreeClaim() = default;
    // Claims the entries, in the order given: files, then folders deepest first, as they are to
    // be deleted. Each is tried at least once; one still held by another program once the tick
    // count (platform/clock.h) passes deadline ends the claim. An entry that is not there is no
    // obstacle: listed says whether the entries were found by listing their folders, which
    // decides what "not there" is (tree_listing.h, isGoneEntry).
    TreeClaim(const std::vector<std::string>& files, const std::vector<std::string>& folders, uint64_t deadline,
              bool listed = true);
    // A claim that failed before it began: this entry could not be looked at.
    explicit TreeClaim(RemovalFailure unknown) : held_(std::move(unknown)) {}
    TreeClaim(TreeClaim&&) noexcept = default;
    TreeClaim& operator=(TreeClaim&&) noexcept = default;

    // The first entry still held when the time ran out, with the system's reason; nothing when
    // the whole claim holds. A claim that failed holds nothing: every entry is as it was.
    [[nodiscard]] const std::optional<RemovalFailure>& held() const { return held_; }

    // The entries claimed, to be deleted.
    [[nodiscard]] uint64_t entryCount() const { return claimed_; }

    // Deletes every claimed entry in order, calling step after each. What could not be deleted
    // after all (a program wrote a new file into a claimed folder meanwhile).
    //
    // Where the system cannot make a name go the moment it is deleted (before Windows 10), a
    // program that has an entry open for its attributes alone keeps the name in place until it
    // lets go, and with it the folder above. Given moveAsideTo (a new path on the same drive for
    // each entry, or empty), each entry is then first moved there, out of the tree, and deleted
    // where it lands.
    [[nodiscard]] std::vector<RemovalFailure> removeAll(const std::function<void()>& step,
                                          const std::function<std::string()>& moveAsideTo = {});

private:
    struct Entry {
        std::string path;
        DeletionHandle::Kind kind;
        DeletionHandle handle;
        uint32_t error = 0;  // why it is not claimed yet
        bool gone = false;
    };
    void giveUp(const Entry& held);

    std::vector<Entry> entries_;
    std::optional<RemovalFailure> held_;
    uint64_t claimed_ = 0;
};

// Claims the tree below root and root itself, listed as listTree lists it (links removed, never
// entered); a folder of it that cannot be listed fails the claim at once. The running program's own file (spared), when it lies in the tree, cannot go while
// it runs: it and the folders that hold it are left out. A file named last (may be empty) goes
// after every other file: the uninstaller, so that an uninstall cut off half way can be run again.
[[nodiscard]] TreeClaim claimTree(const std::string& root, const std::string& spared, uint64_t deadline,
                    const std::string& last = {});

// The tree below root as the claim lists it: breadth first, links listed as entries and never
// entered, in the order of deletion.
[[nodiscard]] TreeListing listTreeOnDisk(const std::string& root);

// Deletes the tree below root, and root, as far as it can at once: what another program holds
// stays, and so do the folders above it. For folders of ours that nothing needs any more.
[[nodiscard]] std::vector<RemovalFailure> removeTreeAsFarAsPossible(const std::string& root);

}  // namespace swiftsetup
