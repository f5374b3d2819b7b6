#pragma once
// The two shortcuts in the user's Start menu, in the folder "Kelvora": made by the install,
// claimed and deleted, with their folder when it is empty, by the uninstall.

#include <cstdint>
#include <string>
#include <vector>

#include "machine/notes.h"
#include "machine/tree_claim.h"

namespace swiftsetup {

// The Start menu's "Kelvora" folder; empty without a Start menu (the names alone would point below
// a drive root).
[[nodiscard]] std::string shortcutFolder();

// Makes both shortcuts to the programs of the installation folder, telling note each one made or
// not. Needs COM on the calling thread (platform/shell_link.h). Without a Start menu, none.
void makeShortcuts(const std::string& installFolder, const Note& note);

// Both shortcuts, claimed like a tree (tree_claim.h); nothing to claim without a Start menu.
[[nodiscard]] TreeClaim claimShortcuts(uint64_t deadline);

// Deletes the claimed shortcuts, then their folder when nothing else is in it. What stayed.
[[nodiscard]] std::vector<RemovalFailure> removeShortcuts(TreeClaim& claim, const Note& note);

}  // namespace swiftsetup
