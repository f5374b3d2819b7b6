// The install: earlier versions removed, payload unpacked, uninstaller copied, the application
// registered with Windows, shortcuts made and the application started. Nothing is removed or
// written before the payload has proved whole and the drive has proved big enough; after that,
// only the removal of earlier versions, the unpacking and the uninstaller's copy can fail the
// install, and everything after them is best effort.
#include <windows.h>
#include <objbase.h>
#include <shlobj.h>

#include <string>

#include "install/autostart.h"
#include "install/installer.h"
#include "install/product.h"
#include "install/shortcut.h"
#include "payload/payload_extractor.h"
#include "payload/payload_survey.h"
#include "platform/paths.h"
#include "platform/registry_key.h"
#include "platform/text_conversion.h"
#include "remove/process_termination.h"
#include "remove/tree_claim.h"
#include "text/translate.h"
#include "ui/copy_progress.h"
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
    // Files already in the folder are replaced and an earlier version is removed first, so this
    // asks for more than the install may in the end take: never less.
    const std::optional<DiskSpace> space = diskSpaceAt(installFolder);
    if (space) {
        std::vector<uint64_t> files = survey.fileSizes;
        files.push_back(ownSize);
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

// This program becomes the uninstaller; an existing one is replaced. A copy cut short (a drive
// filled up meanwhile) would be registered as a program that cannot start: it is deleted, and
// the reason names it.
bool copyUninstaller(Installer& installer, const std::string& ownFile, uint64_t ownSize,
                     const std::string& uninstallerPath, std::string& problem) {
    // Run as the uninstaller itself (without "/uninstall"), the program is already in place.
    if (isSameFile(ownFile, uninstallerPath)) return true;
    DWORD error = ERROR_SUCCESS;
    if (!CopyFileExW(utf8ToWide(ownFile).c_str(), utf8ToWide(uninstallerPath).c_str(), &copyProgress,
                     &installer, nullptr, COPY_FILE_ALLOW_DECRYPTED_DESTINATION)) {
        error = GetLastError();
    } else if (fileSize(uninstallerPath) != ownSize) {
        error = ERROR_DISK_FULL;  // what cuts a copy short that reports success
    }
    if (error == ERROR_SUCCESS) return true;
    DeleteFileW(utf8ToWide(uninstallerPath).c_str());
    problem = systemErrorTextAt(error, uninstallerPath);
    return false;
}

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
    ui.setStatus(text("#installer_status_uninstalling"));
    runLock.acquire(product::kInstanceLockName, product::kInstanceRunVariable);

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

    // The earlier installation's uninstaller deletes the whole folder, the user's own files in
    // it too; one that stops half way, or an earlier build that reports success while files stay,
    // would leave the user with less than a working version. So the running application and chat
    // program are ended, and every file and folder proved removable, before anything is removed.
    // The proof is given back unchanged, for that uninstaller to delete.
    terminateProcessesByPath(programPath);
    terminateProcessesByPath(installFolder + product::kChatProgramFile);
    if (!proveRemovable(installFolder, ownFile, problem)) {
        ui.showError(failedText + problem, failedTitle);
        return false;
    }

    // Earlier versions: Windows Installer products of both upgrade codes, then an earlier
    // installation of this program through its own uninstaller, run quietly.
    if (!removeMsiProducts(product::kUpgradeCodes[0]) || !removeMsiProducts(product::kUpgradeCodes[1]) ||
        !runPreviousUninstaller(product::kName, product::kPreviousUninstallerArguments)) {
        ui.showError(text("#installer_uninstall_error_message"), text("#installer_uninstall_error_title"));
        return false;
    }

    // Unpack. One progress range covers the payload and then the copy of this program.
    ui.setStatus(text("#installer_status_installing_files"));
    if (!extractor.extract(installFolder, &ui, 0, static_cast<uint32_t>(ownSize))) {
        ui.showError(failedText + extractor.errorText(), failedTitle);
        return false;
    }

    ui.setStatus(text("#installer_status_installing_uninstaller"));
    const std::string uninstallerPath = installFolder + product::kUninstallerFile;
    progressBase = extractor.payloadSize();
    if (!copyUninstaller(*this, ownFile, ownSize, uninstallerPath, problem)) {
        ui.showError(failedText + problem, failedTitle);
        return false;
    }

    // The entry in the list of installed programs.
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
