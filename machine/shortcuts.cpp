#include "machine/shortcuts.h"

#include <utility>

#include "machine/product.h"
#include "platform/file_moves.h"
#include "platform/paths.h"
#include "platform/shell_link.h"

namespace swiftsetup {

std::string shortcutFolder() {
    const std::string startMenu = startMenuFolder();
    return startMenu.empty() ? std::string() : startMenu + product::kStartMenuFolder;
}

void makeShortcuts(const std::string& installFolder, const Note& note) {
    const std::string folder = shortcutFolder();
    for (const auto& [program, name] : {std::pair{product::kProgramFile, product::kProgramShortcut},
                                        std::pair{product::kChatProgramFile, product::kChatShortcut}}) {
        const std::string path = folder + name;
        // An existing folder is fine; one that cannot be made fails the save below.
        const bool made = !folder.empty() && ensureFolder(folder) == 0 && saveShellLink(installFolder + program, path);
        note(made ? "shortcut: " + path : std::string("shortcut could not be made: ") + (name + 1));
    }
}

TreeClaim claimShortcuts(uint64_t deadline) {
    const std::string folder = shortcutFolder();
    if (folder.empty()) return {};
    // Named, not listed: a Start menu without the folder has no shortcuts to claim.
    return TreeClaim({folder + product::kProgramShortcut, folder + product::kChatShortcut}, {}, deadline, false);
}

std::vector<RemovalFailure> removeShortcuts(TreeClaim& claim, const Note& note) {
    std::vector<RemovalFailure> stayed = claim.removeAll([] {});
    const std::string folder = shortcutFolder();
    if (folder.empty()) return stayed;
    // The folder stays when it holds files of others.
    if (removeEmptyFolder(folder) != 0) note("the shortcuts' folder stays: " + folder);
    note("shortcuts deleted: " + folder + product::kProgramShortcut + ", " + (product::kChatShortcut + 1));
    return stayed;
}

}  // namespace swiftsetup
