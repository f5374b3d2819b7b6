// The uninstall sequence: after the user's confirmation, end the running programs, delete the
// installation folder, the Start-menu shortcuts, the autostart values and finally the uninstall
// entry. Every step after the confirmation is best effort.
#include <windows.h>
#include <shlobj.h>

#include <optional>

#include "install/autostart.h"
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
void removeShortcuts() {
    const std::string startMenu = shellFolderPath(CSIDL_STARTMENU);
    if (startMenu.empty()) return;
    const std::string folder = startMenu + product::kStartMenuFolder;
    DeleteFileW(utf8ToWide(folder + product::kProgramShortcut).c_str());
    DeleteFileW(utf8ToWide(folder + product::kChatShortcut).c_str());
    RemoveDirectoryW(utf8ToWide(folder).c_str());
}

}  // namespace

bool Installer::uninstall(Interface& ui, Logger& log) {
    // 1. Everything below reports to this front end.
    frontEnd = &ui;
    logger = &log;

    // 2. Nothing is touched unless the user agrees (the quiet front end always does).
    if (!ui.askYesNo(translate("#uninstaller_confirm_message"), translate("#uninstaller_confirm_title"))) {
        return false;
    }

    // 3.-4. Where the installation is, as the entry says.
    ui.setStatus(translate("#uninstaller_status_removing_files"));
    const std::string installLocation =
        currentUser().open(product::kUninstallKey, KeyAccess::Read).queryString("InstallLocation");

    // 5. The program's path. A location written untidily (a trailing separator, forward slashes)
    // still names the program as Windows reports it, letter case untouched.
    std::string programFolder = canonicalFolderPath(installLocation).value_or(installLocation);
    if (!programFolder.empty() && programFolder.back() == '\\') programFolder.pop_back();
    const std::string programPath = programFolder + product::kProgramFile;

    // 6. End the programs so their files can go, then delete the folder: only when it is one of
    // ours, never a drive, a profile or a folder of other files that the entry happens to name.
    if (!installLocation.empty()) {
        terminateProcessesByPath(programPath);
        terminateProcessesByPath(programFolder + product::kChatProgramFile);
        std::string folder;
        if (checkInstallLocation(installLocation, folder) == LocationVerdict::Removable) {
            removeTree(folder, 0, 100, 100);
        }
    }

    // 7.-8. Shortcuts and autostart values, whether or not a folder was found.
    removeShortcuts();
    removeAutostartEntries(programPath);

    // 9.-10. Last, the entry: Windows no longer lists the application.
    ui.setStatus(translate("#uninstaller_status_removing_uninstaller"));
    currentUser().deleteSubKey(product::kUninstallKey);
    return true;
}

}  // namespace swiftsetup
