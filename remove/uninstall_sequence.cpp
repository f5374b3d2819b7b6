// The uninstall sequence: after the user's confirmation, end the running programs, prove that the
// installation folder, the Start-menu shortcuts and the autostart values can all go, then delete
// them and finally the uninstall entry. Only what is provably ours is deleted, and either all of
// it goes or none of it does: the entry goes only when nothing of ours is left, so that Windows
// keeps listing an installation that could not be removed, and the result says which it was.
#include <windows.h>
#include <shlobj.h>

#include <optional>
#include <vector>

#include "install/autostart.h"
#include "install/installer.h"
#include "install/product.h"
#include "platform/paths.h"
#include "platform/registry_key.h"
#include "platform/text_conversion.h"
#include "remove/install_location.h"
#include "remove/process_termination.h"
#include "remove/tree_claim.h"
#include "remove/work_folders.h"
#include "text/digits.h"
#include "text/translate.h"
#include "ui/interface.h"

namespace swiftsetup {
namespace {

std::string shortcutFolder() {
    const std::string startMenu = shellFolderPath(CSIDL_STARTMENU);
    return startMenu.empty() ? std::string() : startMenu + product::kStartMenuFolder;
}

// The shortcuts, claimed like the tree. Without a Start menu there is nothing to claim: the names
// alone would point below a drive root.
TreeClaim claimShortcuts(const std::string& folder, uint64_t deadline) {
    if (folder.empty()) return {};
    return TreeClaim({folder + product::kProgramShortcut, folder + product::kChatShortcut}, {}, deadline);
}

std::string runKeyName() { return std::string("HKEY_CURRENT_USER\\") + product::kRunKey; }

// What stops the uninstall before it deletes anything: something of the tree or a shortcut still
// held by another program; the folder the install uses, there but refused by the guard (its links
// cannot be followed); autostart values of ours in a Run key that cannot be written.
std::optional<RemovalFailure> firstObstacle(const TreeClaim& tree, const TreeClaim& links, const std::string& folder,
                                            const std::string& programPath) {
    if (tree.held()) return tree.held();
    if (links.held()) return links.held();
    if (folder.empty()) {
        const std::string own = ownInstallFolder();
        const DWORD attributes = own.empty() ? INVALID_FILE_ATTRIBUTES : GetFileAttributesW(utf8ToWide(own).c_str());
        if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
            return RemovalFailure{own, 0};
        }
    }
    if (!canRemoveAutostartEntries(programPath)) return RemovalFailure{runKeyName(), ERROR_ACCESS_DENIED};
    return std::nullopt;
}

}  // namespace

bool Installer::uninstall(Interface& ui, Logger& log) {
    // Everything below reports to this front end.
    frontEnd = &ui;
    logger = &log;
    if (const std::optional<Failure> refused = refusal()) return fail(*refused);

    // Nothing is touched unless the user agrees (the quiet front end always does).
    if (!ui.askYesNo(translate("#uninstaller_confirm_message"), translate("#uninstaller_confirm_title"))) {
        note("not confirmed: nothing changed");
        return false;
    }

    // One installer or uninstaller at a time: a second one waits here, showing this status.
    ui.setStatus(translate("#uninstaller_status_removing_files"));
    acquireLock();

    // What a run of ours that was cut off left beside the installation goes first; a program that
    // is part of another run (an earlier uninstaller an install runs) leaves that run's own alone.
    if (runLock.heldHere()) noteLeftovers(removeLeftoverWorkFolders());

    // Where the installation is: the entry's folder, in its one long form, when it is ours;
    // otherwise the folder the install uses. The programs, the autostart values and the tree are
    // all matched by that one form.
    const std::string installLocation =
        currentUser().open(product::kUninstallKey, KeyAccess::Read).queryExpandableString("InstallLocation");
    const std::string folder = installationToRemove(installLocation);
    const std::string programPath = (folder.empty() ? ownInstallFolder() : folder) + product::kProgramFile;
    note("entry's InstallLocation: " + (installLocation.empty() ? std::string("(none)") : installLocation));
    note("installation folder to remove: " + (folder.empty() ? std::string("(none of ours)") : folder));

    // End the programs so that their files can go.
    if (!folder.empty()) {
        const uint32_t ended = terminateProcessesByPath({programPath, folder + product::kChatProgramFile});
        if (ended != 0) note("running programs of the installation ended: " + digitsOf(ended));
    }

    // Prove that all of it can go before any of it goes: an uninstall that stops half way leaves
    // the user neither a working application nor a clean machine. Whatever another program holds
    // is waited for a moment; then, if it is still held, nothing is deleted and the entry stays.
    const uint64_t deadline = GetTickCount64() + kHoldWaitMs;
    const std::string uninstaller = folder + product::kUninstallerFile;  // goes last: it can be run again
    TreeClaim tree = folder.empty() ? TreeClaim() : claimTree(folder, modulePath(), deadline, uninstaller);
    const std::string shortcuts = shortcutFolder();
    TreeClaim links = claimShortcuts(shortcuts, deadline);
    std::vector<RemovalFailure> leftBehind;
    if (const std::optional<RemovalFailure> obstacle = firstObstacle(tree, links, folder, programPath)) {
        leftBehind.push_back(*obstacle);
    } else {
        note("claim: " + digitsOf(tree.entryCount() + links.entryCount()) + " entries can go, proved in " +
             digitsOf(GetTickCount64() + kHoldWaitMs - deadline) + " ms");
        // Where a name cannot go at once (before Windows 10), each entry leaves the tree first for
        // a folder beside it, and is deleted there.
        AsideFolder aside(folder);
        const uint64_t claimed = tree.entryCount();
        if (!folder.empty()) leftBehind = removeTree(tree, 0, 100, 100, [&] { return aside.nextName(); });
        if (!folder.empty()) note("deleted " + digitsOf(claimed - leftBehind.size()) + " files and folders of " + folder);
        for (RemovalFailure& failure : links.removeAll([] {})) leftBehind.push_back(std::move(failure));
        if (!shortcuts.empty()) {
            RemoveDirectoryW(utf8ToWide(shortcuts).c_str());  // kept when it holds files of others
            note("shortcuts deleted: " + shortcuts + product::kProgramShortcut + ", " + (product::kChatShortcut + 1));
        }
        std::vector<std::string> removed;
        if (!removeAutostartEntries(programPath, &removed)) leftBehind.push_back({runKeyName(), 0});
        for (const std::string& name : removed) note("autostart value deleted: " + name);
        if (!aside.folder().remove()) note("left for a later run: " + aside.folder().path());  // still held there
    }

    // Last, the entry: Windows no longer lists the application, unless some of it is still there.
    ui.setStatus(translate("#uninstaller_status_removing_uninstaller"));
    if (leftBehind.empty()) {
        currentUser().deleteSubKey(product::kUninstallKey);
        note(std::string("uninstall entry deleted: HKEY_CURRENT_USER\\") + product::kUninstallKey);
        note("uninstalled");
        return true;
    }
    for (const RemovalFailure& stayed : leftBehind) note("stays: " + stayed.path);
    return fail({Step::Uninstall, leftBehind.front().error, leftBehind.front().path});
}

}  // namespace swiftsetup
