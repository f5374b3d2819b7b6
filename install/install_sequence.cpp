// The install: the new version unpacked, with its uninstaller, beside the installation; earlier
// versions removed; the new version moved into place; the application registered with Windows,
// shortcuts made and the application started. Nothing is written before the payload has proved
// whole and the drive big enough, and nothing of the earlier version is removed before the new
// one is complete on the disk: a run that fails or is cut off before the switch leaves the
// earlier version as it was. Everything after the switch is best effort.
#include <windows.h>
#include <objbase.h>
#include <shlobj.h>

#include <string>

#include "install/autostart.h"
#include "install/installer.h"
#include "install/product.h"
#include "install/shortcut.h"
#include "install/staged_install.h"
#include "payload/payload_extractor.h"
#include "payload/payload_survey.h"
#include "platform/file_moves.h"
#include "platform/paths.h"
#include "platform/registry_key.h"
#include "platform/text_conversion.h"
#include "remove/process_termination.h"
#include "remove/tree_claim.h"
#include "remove/work_folders.h"
#include "text/translate.h"
#include "ui/interface.h"

namespace swiftsetup {
namespace {

constexpr int kPayloadResource = 256;  // both its type and its name

std::string text(const char* key) { return translate(key); }

// Why this payload cannot be installed into the folder, or nothing: the payload did not load, a
// chunk is framed wrongly, its digest does not match, or the drive cannot hold its files and
// the uninstaller besides.
bool checkBeforeInstall(const PayloadExtractor& payload, const std::string& installFolder,
                        uint64_t ownSize, std::string& problem) {
    if (payload.payloadData() == nullptr) {
        problem = payload.errorText();
        return false;
    }
    const PayloadSurvey survey = surveyPayload(payload.payloadData(), payload.payloadSize());
    if (survey.fault != PayloadFault::None) {
        problem = text(faultMessageKey(survey.fault));
        return false;
    }
    if (survey.digestMismatch) {
        problem = text("#extractor_digest_mismatch");
        return false;
    }
    // The new version is unpacked beside the earlier one, which goes only afterwards: room for
    // all of it, with the uninstaller, while the earlier version is still there. The install
    // cannot take more than that, and in the end takes less.
    const std::optional<DiskSpace> space = diskSpaceAt(installFolder);
    if (space) {
        std::vector<uint64_t> files = survey.fileSizes;
        files.push_back(ownSize);
        files.push_back(workFolderMarkerText(std::string(32, '0')).size());  // the staging folder's marker
        if (roomForFiles(files, space->clusterBytes) > space->freeBytes) {
            problem = systemErrorTextAt(ERROR_DISK_FULL, installFolder);
            return false;
        }
    }
    return true;
}

// Every file and folder in the folder can be removed or replaced now, after a short wait for
// what others hold for a moment; otherwise why not, naming what is held.
bool proveRemovable(const std::string& folder, const std::string& ownFile, std::string& problem) {
    const TreeClaim claim = claimTree(folder, ownFile, GetTickCount64() + kHoldWaitMs);
    if (!claim.held()) return true;
    problem = systemErrorTextAt(claim.held()->error, claim.held()->path);
    return false;
}

// What the earlier installation has before anything removes it: whether it is registered, and
// its files. A removal that fails may still have taken part of it (an earlier build's uninstaller
// deletes as it goes); then it is no longer the version that works.
struct EarlierInstallation {
    bool registered = false;
    std::vector<std::string> files;

    static EarlierInstallation look(const std::string& installFolder) {
        EarlierInstallation earlier;
        earlier.registered = currentUser().open(product::kUninstallKey, KeyAccess::Read).isValid();
        earlier.files = listTreeOnDisk(installFolder).files;
        return earlier;
    }
    bool stillWhole() const {
        if (registered != currentUser().open(product::kUninstallKey, KeyAccess::Read).isValid()) return false;
        for (const std::string& file : files) {
            if (GetFileAttributesW(utf8ToWide(file).c_str()) == INVALID_FILE_ATTRIBUTES) return false;
        }
        return true;
    }
};

void writeUninstallEntry(const std::string& installFolder, const std::string& programPath,
                         const std::string& uninstallerPath, uint64_t installedBytes) {
    const RegistryKey entry = currentUser().create(product::kUninstallKey, KeyAccess::Write);
    entry.setString("DisplayIcon", programPath + ",0");
    entry.setString("DisplayName", product::kName);
    entry.setString("DisplayVersion", product::kVersion);
    entry.setDword("EstimatedSize", static_cast<uint32_t>(installedBytes / 1024));
    entry.setString("InstallLocation", installFolder);
    entry.setDword("NoModify", 1);
    entry.setDword("NoRepair", 1);
    entry.setString("Publisher", product::kPublisher);
    entry.setString("UninstallString", "\"" + uninstallerPath + "\" /uninstall");
    entry.setString("URLInfoAbout", product::kPublisherUrl);
    entry.setString("Version", product::kVersion);
}

}  // namespace

bool Installer::install(Interface& ui, Logger& log) {
    // The shell-link objects need COM on this thread, for as long as the thread lives.
    CoInitialize(nullptr);
    frontEnd = &ui;
    logger = &log;
    const std::string failedText = text("#installer_install_files_error_message");
    const std::string failedTitle = text("#installer_install_files_error_title");

    // Where everything goes. Without a local application data folder the paths would hang off
    // the drive root: stop before anything is written.
    const std::string localAppData = shellFolderPath(CSIDL_LOCAL_APPDATA);
    if (localAppData.empty()) {
        ui.showError(failedText + systemErrorText(ERROR_PATH_NOT_FOUND), failedTitle);
        return false;
    }
    const std::string installFolder = localAppData + product::kInstallFolderSuffix;
    const std::string programPath = installFolder + product::kProgramFile;

    // One installer or uninstaller at a time: a second one waits here, showing this status.
    ui.setStatus(text("#installer_status_installing_files"));
    runLock.acquire(product::kInstanceLockName, product::kInstanceRunVariable);

    // What a run of ours that was cut off left beside the installation goes first; a program that
    // is part of another run (an earlier uninstaller an install runs) leaves that run's own alone.
    if (runLock.heldHere()) removeLeftoverWorkFolders();

    // This program and its payload, proved whole, and room for both, before anything changes: a
    // damaged download or a full drive must not cost the user the version that works.
    const std::string ownFile = modulePath();
    const uint64_t ownSize = fileSize(ownFile);
    HMODULE module = GetModuleHandleW(nullptr);
    PayloadExtractor extractor(module, FindResourceW(module, MAKEINTRESOURCEW(kPayloadResource),
                                                     MAKEINTRESOURCEW(kPayloadResource)));
    std::string problem;
    if (!checkBeforeInstall(extractor, installFolder, ownSize, problem)) {
        ui.showError(failedText + problem, failedTitle);
        return false;
    }

    // The new version, whole and on the disk, in a folder of its own beside the earlier one. Until
    // it is moved into place, every fault costs the user nothing: the staging folder goes, and
    // the earlier version stays as it was, its running programs included.
    const std::string appsFolder = installFolder.substr(0, installFolder.find_last_of('\\'));
    const bool appsFolderIsNew = !folderExists(appsFolder) && ensureFolder(appsFolder) == ERROR_SUCCESS;
    WorkFolder staging = WorkFolder::create(installFolder, WorkFolderKind::Staging);
    auto giveUp = [&](const std::string& message, const std::string& title) {
        staging.remove();
        if (appsFolderIsNew) RemoveDirectoryW(utf8ToWide(appsFolder).c_str());  // only when empty
        ui.showError(message, title);
        return false;
    };
    if (!staging.valid()) return giveUp(failedText + systemErrorTextAt(staging.error(), installFolder), failedTitle);
    if (!stageNewVersion(*this, extractor, staging.path(), ownFile, ownSize, problem)) {
        return giveUp(failedText + problem, failedTitle);
    }

    // The earlier installation's uninstaller deletes the whole folder, the user's own files in
    // it too; one that stops half way, or an earlier build that reports success while files stay,
    // would leave the user with less than a working version. So the running application and chat
    // program are ended, and every file and folder proved removable, before anything is removed.
    // The proof is given back unchanged, for that uninstaller to delete.
    ui.setStatus(text("#installer_status_uninstalling"));
    terminateProcessesByPath(programPath);
    terminateProcessesByPath(installFolder + product::kChatProgramFile);
    if (!proveRemovable(installFolder, ownFile, problem)) return giveUp(failedText + problem, failedTitle);

    // Earlier versions: Windows Installer products of both upgrade codes, then an earlier
    // installation of this program through its own uninstaller, run quietly. A removal that fails
    // but took nothing leaves the earlier version working, and the install stops there. One that
    // fails after taking part of it (an earlier build deletes as it goes) has already cost the
    // user the version that works: the complete new one is moved in instead.
    const EarlierInstallation earlier = EarlierInstallation::look(installFolder);
    if (!removeMsiProducts(product::kUpgradeCodes[0]) || !removeMsiProducts(product::kUpgradeCodes[1]) ||
        !runPreviousUninstaller(product::kName, product::kPreviousUninstallerArguments)) {
        if (earlier.stillWhole()) {
            return giveUp(text("#installer_uninstall_error_message"), text("#installer_uninstall_error_title"));
        }
    }

    // The switch. Should it fail (an entry held beyond the wait), the staged version stays beside,
    // recorded, and the next install starts afresh.
    if (!moveIntoPlace(staging, installFolder, earlier.registered, problem)) {
        ui.showError(failedText + problem, failedTitle);
        return false;
    }

    // The entry in the list of installed programs.
    const std::string uninstallerPath = installFolder + product::kUninstallerFile;
    writeUninstallEntry(installFolder, programPath, uninstallerPath, extractor.payloadSize() + ownSize);

    // The previous major version's bootstrap key loses its pointers to the old program.
    ui.setStatus("Updating registry...");
    {
        const RegistryKey bootstrap = currentUser().open(product::kBootstrapKey, KeyAccess::Write);
        bootstrap.deleteValue("path");
        bootstrap.deleteValue("revision");
    }

    // Exactly one autostart value for the program, under our own name.
    removeAutostartEntries(programPath);
    currentUser().open(product::kRunKey, KeyAccess::Write).setString(product::kName, programPath);

    ui.setStatus(text("#installer_status_installing_shortcuts"));
    createStartMenuShortcut(programPath, product::kProgramShortcut);
    createStartMenuShortcut(installFolder + product::kChatProgramFile, product::kChatShortcut);

    ui.setStatus(text("#installer_status_launching_application"));
    startProcess("\"" + programPath + "\" " + product::kLaunchArgument);

    // The extractor, and with it the payload resource, goes with this scope.
    return true;
}

}  // namespace swiftsetup
