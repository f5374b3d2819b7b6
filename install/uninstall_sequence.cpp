// The uninstall sequence: after the user's confirmation, end the running programs, prove that the
// installation folder, the Start-menu shortcuts and the autostart values can all go, then delete
// them and finally the uninstall entry. Only what is provably ours is deleted, and either all of
// it goes or none of it does: the entry goes only when nothing of ours is left, so that Windows
// keeps listing an installation that could not be removed, and the result says which it was.
#include <optional>
#include <vector>

#include "install/installer.h"
#include "install/interface.h"
#include "machine/autostart.h"
#include "machine/installation_folder/install_location.h"
#include "machine/installation_folder/installation_place.h"
#include "machine/installation_folder/work_folders.h"
#include "machine/product.h"
#include "machine/running_programs.h"
#include "machine/shortcuts.h"
#include "machine/uninstall_entry.h"
#include "platform/clock.h"
#include "platform/file_facts.h"
#include "platform/paths.h"
#include "platform/system_errors.h"
#include "platform/user_language.h"
#include "text/digits.h"

namespace swiftsetup {
namespace {

// What stops the uninstall before it deletes anything: something of the tree or a shortcut still
// held by another program; the folder the install uses, there but refused by the guard (its links
// cannot be followed); autostart values of ours in a Run key that cannot be written.
std::optional<RemovalFailure> firstObstacle(const TreeClaim& tree, const TreeClaim& links, const std::string& folder,
                                            const std::string& programPath) {
    if (tree.held()) return tree.held();
    if (links.held()) return links.held();
    if (folder.empty()) {
        const std::string own = ownInstallFolder();
        if (!own.empty() && folderExists(own)) return RemovalFailure{own, 0};
    }
    if (!canRemoveAutostartEntries(programPath)) return RemovalFailure{runKeyName(), error::kAccessDenied};
    return std::nullopt;
}

}  // namespace

bool Installer::uninstall(Interface& ui, Logger& log) {
    attach(ui, log);
    if (const std::optional<Failure> refused = refusal()) return fail(*refused);

    // Nothing is touched unless the user agrees (the quiet front end always does).
    if (!ui.askYesNo(translate("#uninstaller_confirm_message"), translate("#uninstaller_confirm_title"))) {
        note("not confirmed: nothing changed");
        return false;
    }

    // One installer or uninstaller at a time: a second one waits here, showing this status.
    status("#uninstaller_status_removing_files");
    if (const std::optional<Failure> failure = acquireLock("#uninstaller_status_removing_files")) return fail(*failure);
    removeLeftovers();

    // Where the installation is: the entry's folder, in its one long form, when it is ours;
    // otherwise the folder the install uses. The programs, the autostart values and the tree are
    // all matched by that one form.
    const std::string installLocation = entryInstallLocation();
    const std::string folder = installationToRemove(installLocation);
    const std::string programPath = (folder.empty() ? ownInstallFolder() : folder) + product::kProgramFile;
    note("entry's InstallLocation: " + (installLocation.empty() ? std::string("(none)") : installLocation));
    note("installation folder to remove: " + (folder.empty() ? std::string("(none of ours)") : folder));

    // A link of the folder's name leads to the files, which go; the link is the user's, and stays.
    const std::string files = folder.empty() ? std::string() : filesOf(folder);
    if (files != folder) note("the installation folder is a link; its files are in " + (files.empty() ? "(nowhere)" : files));

    // End the programs so that their files can go.
    if (!folder.empty()) {
        const uint32_t ended = endRunningPrograms(folder) + (!files.empty() && files != folder ? endRunningPrograms(files) : 0);
        if (ended != 0) note("running programs of the installation ended: " + digitsOf(ended));
    }

    // All of it, or nothing when something of it is held (a windowed run asks whether to try again).
    std::vector<RemovalFailure> leftBehind;
    if (const std::optional<Failure> held = removeInstallation(files, programPath, leftBehind)) {
        note("stays: everything; nothing was deleted");
        return fail(*held);
    }

    // Last, the entry: Windows no longer lists the application, unless some of it is still there.
    status("#uninstaller_status_removing_uninstaller");
    if (leftBehind.empty() && !deleteUninstallEntry() && uninstallEntryExists()) {
        leftBehind.push_back({uninstallEntryName(), error::kAccessDenied});
    }
    if (leftBehind.empty()) {
        note("uninstall entry deleted: " + uninstallEntryName());
        note("uninstalled");
        return true;
    }
    for (const RemovalFailure& stayed : leftBehind) note("stays: " + stayed.path);
    return fail({Step::Uninstall, leftBehind.front().error, leftBehind.front().path});
}

std::optional<Failure> Installer::removeInstallation(const std::string& folder, const std::string& programPath,
                                                     std::vector<RemovalFailure>& leftBehind) {
    // Prove that all of it can go before any of it goes: an uninstall that stops half way leaves
    // the user neither a working application nor a clean machine. Whatever another program holds
    // is waited for a moment; then, if it is still held, nothing is deleted and the entry stays.
    TreeClaim tree;
    TreeClaim links;
    const std::optional<Failure> held = askWhileHeld([&]() -> std::optional<Failure> {
        // What an earlier attempt holds is given back first: its handles would keep out this one.
        tree = TreeClaim();
        links = TreeClaim();
        const uint64_t deadline = tickCount() + kHoldWaitMs;
        const std::string uninstaller = folder + product::kUninstallerFile;  // goes last: it can be run again
        tree = folder.empty() ? TreeClaim() : claimTree(folder, modulePath(), deadline, uninstaller);
        links = claimShortcuts(deadline);
        if (const std::optional<RemovalFailure> obstacle = firstObstacle(tree, links, folder, programPath)) {
            return Failure{Step::Uninstall, obstacle->error, obstacle->path};
        }
        note("claim: " + digitsOf(tree.entryCount() + links.entryCount()) + " entries can go, proved in " +
             digitsOf(tickCount() + kHoldWaitMs - deadline) + " ms");
        return std::nullopt;
    });
    if (held) return held;

    // Where a name cannot go at once (before Windows 10), each entry leaves the tree first for a
    // folder beside it, and is deleted there.
    AsideFolder aside(folder);
    if (!folder.empty()) {
        const uint64_t claimed = tree.entryCount();
        leftBehind = removeTree(tree, 0, 100, 100, [&] { return aside.nextName(); });
        note("deleted " + digitsOf(claimed - leftBehind.size()) + " files and folders of " + folder);
    }
    for (RemovalFailure& failure : removeShortcuts(links, noteTaker())) leftBehind.push_back(std::move(failure));
    std::vector<std::string> removed;
    if (!removeAutostartEntries(programPath, &removed)) leftBehind.push_back({runKeyName(), 0});
    for (const std::string& name : removed) note("autostart value deleted: " + name);
    if (!aside.folder().remove()) note("left for a later run: " + aside.folder().path());  // still held there
    return std::nullopt;
}

}  // namespace swiftsetup
