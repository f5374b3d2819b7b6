// The install: the new version unpacked, with its uninstaller, beside the installation; earlier
// versions removed; the new version moved into place; the application registered with Windows,
// shortcuts made and the application started. Nothing is written before the payload has proved
// whole and the drive big enough, and nothing of the earlier version is removed before the new
// one is complete on the disk: a run that fails or is cut off before the switch leaves the
// earlier version as it was. Everything after the switch is best effort.
#include <windows.h>
#include <objbase.h>
#include <shlobj.h>

#include <optional>
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
#include "text/digits.h"
#include "text/translate.h"
#include "ui/interface.h"

namespace swiftsetup {
namespace {

constexpr int kPayloadResource = 256;  // both its type and its name

std::string text(const char* key) { return translate(key); }

std::string number(uint64_t value) { return digitsOf(value); }

// Why this payload cannot be installed into the folder, or nothing: the payload did not load, a
// chunk is framed wrongly, its digest does not match, or the drive cannot hold its files and
// the uninstaller besides.
std::optional<Failure> checkBeforeInstall(Installer& installer, const PayloadExtractor& payload,
                                          const std::string& installFolder, uint64_t ownSize) {
    if (payload.payloadData() == nullptr) {
        Failure failure = payload.failure();
        failure.step = Step::PayloadCheck;
        return failure;
    }
    const PayloadSurvey survey = surveyPayload(payload.payloadData(), payload.payloadSize());
    if (survey.fault != PayloadFault::None) return Failure{Step::PayloadCheck, 0, {}, faultMessageKey(survey.fault)};
    if (survey.digestMismatch) return Failure{Step::PayloadCheck, 0, {}, "#extractor_digest_mismatch"};
    uint64_t unpacked = 0;
    for (const uint64_t size : survey.fileSizes) unpacked += size;
    installer.note("payload: " + number(payload.payloadSize()) + " bytes, whole; " + number(survey.fileSizes.size()) +
                   " files of " + number(unpacked) + " bytes");
    // The new version is unpacked beside the earlier one, which goes only afterwards: room for
    // all of it, with the uninstaller, while the earlier version is still there. The install
    // cannot take more than that, and in the end takes less.
    const std::optional<DiskSpace> space = diskSpaceAt(installFolder);
    if (space) {
        std::vector<uint64_t> files = survey.fileSizes;
        files.push_back(ownSize);
        files.push_back(workFolderMarkerText(std::string(32, '0')).size());  // the staging folder's marker
        const uint64_t needed = roomForFiles(files, space->clusterBytes);
        installer.note("drive: " + number(needed) + " bytes needed, " + number(space->freeBytes) + " free");
        if (needed > space->freeBytes) return Failure{Step::DriveSpace, ERROR_DISK_FULL, installFolder};
    }
    return std::nullopt;
}

// Every file and folder in the folder can be removed or replaced now, after a short wait for
// what others hold for a moment; otherwise what is held, and why.
std::optional<Failure> proveRemovable(Installer& installer, const std::string& folder, const std::string& ownFile) {
    installer.note("claim: proving that everything in " + folder + " can go (holds waited for " +
                   number(kHoldWaitMs / 1000) + " s at most)");
    const uint64_t start = GetTickCount64();
    const TreeClaim claim = claimTree(folder, ownFile, start + kHoldWaitMs);
    if (claim.held()) return Failure{Step::Claim, claim.held()->error, claim.held()->path};
    installer.note("claim: " + number(claim.entryCount()) + " entries can go, proved in " +
                   number(GetTickCount64() - start) + " ms");
    return std::nullopt;
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
            if (!entryExists(file)) return false;
        }
        return true;
    }
};

// Each value is told to the log as it is written, or that it could not be.
void writeUninstallEntry(Installer& installer, const std::string& installFolder, const std::string& programPath,
                         const std::string& uninstallerPath, uint64_t installedBytes) {
    const RegistryKey entry = currentUser().create(product::kUninstallKey, KeyAccess::Write);
    auto text = [&](const char* name, const std::string& value) {
        installer.note(std::string(entry.setString(name, value) ? "entry value written: " : "entry value not written: ") +
                       name + " = " + value);
    };
    auto dword = [&](const char* name, uint32_t value) {
        installer.note(std::string(entry.setDword(name, value) ? "entry value written: " : "entry value not written: ") +
                       name + " = " + number(value));
    };
    installer.note(std::string("uninstall entry: HKEY_CURRENT_USER\\") + product::kUninstallKey);
    text("DisplayIcon", programPath + ",0");
    text("DisplayName", product::kName);
    text("DisplayVersion", product::kVersion);
    dword("EstimatedSize", static_cast<uint32_t>(installedBytes / 1024));
    text("InstallLocation", installFolder);
    dword("NoModify", 1);
    dword("NoRepair", 1);
    text("Publisher", product::kPublisher);
    text("UninstallString", "\"" + uninstallerPath + "\" /uninstall");
    text("URLInfoAbout", product::kPublisherUrl);
    text("Version", product::kVersion);
}

}  // namespace

bool Installer::install(Interface& ui, Logger& log) {
    // The shell-link objects need COM on this thread, for as long as the thread lives.
    CoInitialize(nullptr);
    frontEnd = &ui;
    logger = &log;
    if (const std::optional<Failure> refused = refusal()) return fail(*refused);

    // Where everything goes. Without a local application data folder the paths would hang off
    // the drive root: stop before anything is written.
    const std::string localAppData = shellFolderPath(CSIDL_LOCAL_APPDATA);
    if (localAppData.empty()) return fail({Step::LocalAppData, ERROR_PATH_NOT_FOUND, {}});
    const std::string installFolder = localAppData + product::kInstallFolderSuffix;
    const std::string programPath = installFolder + product::kProgramFile;
    note("installation folder: " + installFolder);

    // One installer or uninstaller at a time: a second one waits here, showing this status.
    ui.setStatus(text("#installer_status_installing_files"));
    acquireLock();

    // What a run of ours that was cut off left beside the installation goes first; a program that
    // is part of another run (an earlier uninstaller an install runs) leaves that run's own alone.
    if (runLock.heldHere()) noteLeftovers(removeLeftoverWorkFolders());

    // This program and its payload, proved whole, and room for both, before anything changes: a
    // damaged download or a full drive must not cost the user the version that works.
    const std::string ownFile = modulePath();
    const uint64_t ownSize = fileSize(ownFile);
    HMODULE module = GetModuleHandleW(nullptr);
    PayloadExtractor extractor(module, FindResourceW(module, MAKEINTRESOURCEW(kPayloadResource),
                                                     MAKEINTRESOURCEW(kPayloadResource)));
    if (const std::optional<Failure> failure = checkBeforeInstall(*this, extractor, installFolder, ownSize)) {
        return fail(*failure);
    }

    // The new version, whole and on the disk, in a folder of its own beside the earlier one. Until
    // it is moved into place, every fault costs the user nothing: the staging folder goes, and
    // the earlier version stays as it was, its running programs included.
    const std::string appsFolder = installFolder.substr(0, installFolder.find_last_of('\\'));
    const bool appsFolderIsNew = !folderExists(appsFolder) && ensureFolder(appsFolder) == ERROR_SUCCESS;
    WorkFolder staging = WorkFolder::create(installFolder, WorkFolderKind::Staging);
    auto giveUp = [&](const Failure& failure) {
        staging.remove();
        if (appsFolderIsNew) RemoveDirectoryW(utf8ToWide(appsFolder).c_str());  // only when empty
        return fail(failure);
    };
    if (!staging.valid()) return giveUp({Step::Staging, staging.error(), installFolder});
    note("staging folder: " + staging.path());
    if (const std::optional<Failure> failure = stageNewVersion(*this, extractor, staging.path(), ownFile, ownSize)) {
        return giveUp(*failure);
    }

    // The earlier installation's uninstaller deletes the whole folder, the user's own files in
    // it too; one that stops half way, or an earlier build that reports success while files stay,
    // would leave the user with less than a working version. So the running application and chat
    // program are ended, and every file and folder proved removable, before anything is removed.
    // The proof is given back unchanged, for that uninstaller to delete.
    ui.setStatus(text("#installer_status_uninstalling"));
    const uint32_t ended = terminateProcessesByPath({programPath, installFolder + product::kChatProgramFile});
    if (ended != 0) note("running programs of the installation ended: " + number(ended));
    if (const std::optional<Failure> failure = proveRemovable(*this, installFolder, ownFile)) return giveUp(*failure);

    // Earlier versions: Windows Installer products of both upgrade codes, then an earlier
    // installation of this program through its own uninstaller, run quietly. A removal that fails
    // but took nothing leaves the earlier version working, and the install stops there. One that
    // fails after taking part of it (an earlier build deletes as it goes) has already cost the
    // user the version that works: the complete new one is moved in instead.
    const EarlierInstallation earlier = EarlierInstallation::look(installFolder);
    note(earlier.registered ? "earlier installation: registered, " + number(earlier.files.size()) + " files"
                            : "earlier installation: none registered");
    if (!removeMsiProducts(product::kUpgradeCodes[0]) || !removeMsiProducts(product::kUpgradeCodes[1]) ||
        !runPreviousUninstaller(product::kName, product::kPreviousUninstallerArguments)) {
        if (earlier.stillWhole()) return giveUp({Step::EarlierVersions, 0, {}});
        note("the removal failed after taking part of the earlier installation: the new version goes in");
    }

    // The switch. Should it fail (an entry held beyond the wait), the staged version stays beside,
    // recorded, and the next install starts afresh.
    if (const std::optional<Failure> failure = moveIntoPlace(*this, staging, installFolder, earlier.registered)) {
        return fail(*failure);
    }

    // The entry in the list of installed programs.
    const std::string uninstallerPath = installFolder + product::kUninstallerFile;
    writeUninstallEntry(*this, installFolder, programPath, uninstallerPath, extractor.payloadSize() + ownSize);

    // The previous major version's bootstrap key loses its pointers to the old program.
    ui.setStatus("Updating registry...");
    {
        const RegistryKey bootstrap = currentUser().open(product::kBootstrapKey, KeyAccess::Write);
        if (bootstrap.deleteValue("path")) note("bootstrap value deleted: path");
        if (bootstrap.deleteValue("revision")) note("bootstrap value deleted: revision");
    }

    // Exactly one autostart value for the program, under our own name.
    std::vector<std::string> removed;
    if (!removeAutostartEntries(programPath, &removed)) note("an earlier autostart value of the program could not be deleted");
    for (const std::string& name : removed) note("autostart value deleted: " + name);
    const bool autostart = currentUser().open(product::kRunKey, KeyAccess::Write).setString(product::kName, programPath);
    note(std::string(autostart ? "autostart value written: " : "autostart value could not be written: ") + product::kName +
         " = " + programPath);

    ui.setStatus(text("#installer_status_installing_shortcuts"));
    for (const auto& [target, name] : {std::pair{programPath, product::kProgramShortcut},
                                       std::pair{installFolder + product::kChatProgramFile, product::kChatShortcut}}) {
        const std::string shortcut = createStartMenuShortcut(target, name);
        note(shortcut.empty() ? std::string("shortcut could not be made: ") + (name + 1) : "shortcut: " + shortcut);
    }

    ui.setStatus(text("#installer_status_launching_application"));
    if (!startProcess("\"" + programPath + "\" " + product::kLaunchArgument)) {
        note("the application could not be started: system error " + number(GetLastError()));
    }

    // The extractor, and with it the payload resource, goes with this scope.
    note("installed");
    return true;
}

}  // namespace swiftsetup
