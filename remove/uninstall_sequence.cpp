// The uninstall sequence: after the user's confirmation, end the running programs, delete the
// installation folder, the Start-menu shortcuts, the autostart values and finally the uninstall
// entry. Only what is provably ours is deleted. The entry goes only when nothing of ours is left,
// so that Windows keeps listing an installation that could not be removed completely, and the
// result says which it was.
#include <windows.h>
#include <shlobj.h>

#include <optional>
#include <vector>

#include "install/autostart.h"
#include "install/autostart_match.h"
#include "install/installer.h"
#include "install/product.h"
#include "platform/paths.h"
#include "platform/registry_key.h"
#include "platform/text_conversion.h"
#include "remove/install_location.h"
#include "remove/process_termination.h"
#include "text/translate.h"
#include "ui/interface.h"

namespace swiftsetup {
namespace {

// The shortcuts and their folder; the folder goes only when nothing else is left in it. Without
// a Start menu there is nothing to delete: the names alone would point below a drive root.
void removeShortcuts(std::vector<RemovalFailure>& leftBehind) {
    const std::string startMenu = shellFolderPath(CSIDL_STARTMENU);
    if (startMenu.empty()) return;
    const std::string folder = startMenu + product::kStartMenuFolder;
    for (const char* shortcut : {product::kProgramShortcut, product::kChatShortcut}) {
        const std::string path = folder + shortcut;
        if (DeleteFileW(utf8ToWide(path).c_str())) continue;
        const DWORD error = GetLastError();
        if (error != ERROR_FILE_NOT_FOUND && error != ERROR_PATH_NOT_FOUND) leftBehind.push_back({path, error});
    }
    RemoveDirectoryW(utf8ToWide(folder).c_str());  // kept when it holds files of others
}

// The running uninstaller's own file, and the folders that hold it, cannot go while it runs:
// they are not counted as left behind.
bool isRunningUninstaller(const RemovalFailure& failure, const std::string& ownFile) {
    if (isSameFile(failure.path, ownFile)) return true;
    const std::string folder = lowerAscii(failure.path) + "\\";
    return failure.error == ERROR_DIR_NOT_EMPTY && lowerAscii(ownFile).rfind(folder, 0) == 0;
}

}  // namespace

bool Installer::uninstall(Interface& ui, Logger& log) {
    // Everything below reports to this front end.
    frontEnd = &ui;
    logger = &log;

    // Nothing is touched unless the user agrees (the quiet front end always does).
    if (!ui.askYesNo(translate("#uninstaller_confirm_message"), translate("#uninstaller_confirm_title"))) {
        return false;
    }

    // One installer or uninstaller at a time: a second one waits here, showing this status.
    ui.setStatus(translate("#uninstaller_status_removing_files"));
    runLock.acquire(product::kInstanceLockName);

    // Where the installation is: the entry's folder, in its one long form, when it is ours;
    // otherwise the folder the install uses. The programs, the autostart values and the tree are
    // all matched by that one form.
    const std::string installLocation =
        currentUser().open(product::kUninstallKey, KeyAccess::Read).queryExpandableString("InstallLocation");
    const std::string folder = installationToRemove(installLocation);
    const std::string programPath = (folder.empty() ? ownInstallFolder() : folder) + product::kProgramFile;

    // End the programs so their files can go, then delete the folder.
    std::vector<RemovalFailure> leftBehind;
    if (!folder.empty()) {
        terminateProcessesByPath(programPath);
        terminateProcessesByPath(folder + product::kChatProgramFile);
        const std::string ownFile = modulePath();
        for (RemovalFailure& failure : removeTree(folder, 0, 100, 100)) {
            if (!isRunningUninstaller(failure, ownFile)) leftBehind.push_back(std::move(failure));
        }
    } else if (const std::string own = ownInstallFolder(); !own.empty()) {
        // The folder the install uses is there, but the guard does not let it go (it lies on a
        // share, or where its links lead cannot be told): it stays, and so does the entry.
        const DWORD attributes = GetFileAttributesW(utf8ToWide(own).c_str());
        if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
            leftBehind.push_back({own, 0});
        }
    }

    // Shortcuts and autostart values, whether or not a folder was found.
    removeShortcuts(leftBehind);
    if (!removeAutostartEntries(programPath)) leftBehind.push_back({std::string("HKEY_CURRENT_USER\\") + product::kRunKey, 0});

    // Last, the entry: Windows no longer lists the application, unless some of it is still there.
    ui.setStatus(translate("#uninstaller_status_removing_uninstaller"));
    if (leftBehind.empty()) {
        currentUser().deleteSubKey(product::kUninstallKey);
        return true;
    }
    const RemovalFailure& first = leftBehind.front();
    const std::string reason = first.error != 0 ? systemErrorTextAt(first.error, first.path) : first.path;
    ui.showError(translate("#uninstaller_remove_error_message") + reason, translate("#uninstaller_remove_error_title"));
    return false;
}

}  // namespace swiftsetup
