// The install: the new version unpacked, with its uninstaller, beside the installation; earlier
// versions removed; the new version moved into place; the application registered with Windows,
// shortcuts made and the application started. Nothing is written before the payload has proved
// whole and the drive big enough, and nothing of the earlier version is removed before the new
// one is complete on the disk: a run that fails or is cut off before the switch leaves the
// earlier version as it was. Everything after the switch is best effort.
#include "install/checks_before_install.h"
#include "install/installer.h"
#include "install/interface.h"
#include "machine/autostart.h"
#include "machine/earlier_versions.h"
#include "machine/installation_folder/install_location.h"
#include "machine/installation_folder/installation_place.h"
#include "machine/installation_folder/staging.h"
#include "machine/installation_folder/switch_into_place.h"
#include "machine/product.h"
#include "machine/running_programs.h"
#include "machine/shortcuts.h"
#include "machine/uninstall_entry.h"
#include "payload/payload_extractor.h"
#include "platform/clock.h"
#include "platform/file_facts.h"
#include "platform/file_moves.h"
#include "platform/paths.h"
#include "platform/resources.h"
#include "platform/shell_link.h"
#include "platform/system_errors.h"
#include "text/digits.h"

namespace swiftsetup {
namespace {

constexpr int kPayloadResource = 256;  // both its type and its name

// The new version's place beside the installation, for as long as the install works in it: the
// staging folder, and the "Apps" folder above when this install made it. Either goes when the
// install gives up before the switch.
struct Workplace {
    explicit Workplace(const InstallationPlace& place)
        : appsFolder(place.named.substr(0, place.named.find_last_of('\\'))),
          appsFolderIsNew(!folderExists(appsFolder) && ensureFolder(appsFolder) == error::kSuccess),
          staging(WorkFolder::create(place.real, WorkFolderKind::Staging)) {}

    std::string appsFolder;
    bool appsFolderIsNew = false;
    WorkFolder staging;

    void giveUp() {
        (void)staging.remove();  // what cannot go now stays recorded, for the next run
        if (appsFolderIsNew) (void)removeEmptyFolder(appsFolder);  // only when empty
    }
};

// Every file and folder in the folder can be removed or replaced now, after a short wait for
// what others hold for a moment; otherwise what is held, and why. The claim is given back
// unchanged, for the earlier installation's uninstaller to delete.
std::optional<Failure> proveRemovable(const std::string& folder, const std::string& ownFile, const Note& note) {
    note("claim: proving that everything in " + folder + " can go (holds waited for " + digitsOf(kHoldWaitMs / 1000) +
         " s at most)");
    const uint64_t start = tickCount();
    const TreeClaim claim = claimTree(folder, ownFile, start + kHoldWaitMs);
    if (claim.held()) return Failure{Step::Claim, claim.held()->error, claim.held()->path};
    note("claim: " + digitsOf(claim.entryCount()) + " entries can go, proved in " + digitsOf(tickCount() - start) + " ms");
    return std::nullopt;
}

}  // namespace

bool Installer::install(Interface& ui, Logger& log) {
    initializeComOnThisThread();  // for the shortcuts
    attach(ui, log);
    if (const std::optional<Failure> refused = refusal()) return fail(*refused);

    // Where everything goes. Without a local application data folder the paths would hang off
    // the drive root: stop before anything is written.
    const std::string installFolder = ownInstallFolder();
    if (installFolder.empty()) return fail({Step::LocalAppData, error::kPathNotFound, {}});
    note("installation folder: " + installFolder);

    // One installer or uninstaller at a time: a second one waits here, showing this status.
    status("#installer_status_installing_files");
    if (const std::optional<Failure> failure = acquireLock("#installer_status_installing_files")) return fail(*failure);
    removeLeftovers();

    // Where the files really go: a link of the folder's name leads to them.
    InstallationPlace place;
    if (const std::optional<Failure> failure = findInstallationPlace(installFolder, place)) return fail(*failure);
    if (place.linked()) note("the installation folder is a link; its files are in " + place.real);

    // This program and its payload, proved whole, and room for both, before anything changes: a
    // damaged download or a full drive must not cost the user the version that works.
    const std::string ownFile = modulePath();
    const uint64_t ownSize = fileSize(ownFile);
    PayloadExtractor extractor(ownResource(kPayloadResource, kPayloadResource));
    if (const std::optional<Failure> failure = checkBeforeInstall(extractor, place.real, ownSize, noteTaker())) {
        return fail(*failure);
    }

    // The new version, whole and on the disk, in a folder of its own beside the earlier one. Until
    // it is moved into place, every fault costs the user nothing: the staging folder goes, and
    // the earlier version stays as it was, its running programs included.
    Workplace work(place);
    std::optional<Failure> failure = work.staging.valid() ? std::nullopt
                                                          : std::optional(Failure{Step::Staging, work.staging.error(), place.real});
    if (!failure) failure = stageNewVersion(extractor, work.staging.path(), ownFile, ownSize);
    bool earlierWasRegistered = false;
    if (!failure) failure = removeEarlierVersions(place, ownFile, earlierWasRegistered);
    if (failure) {
        work.giveUp();
        return fail(*failure);
    }

    // The switch. Should it fail (an entry held beyond the wait), the staged version stays beside,
    // recorded, and the next install starts afresh.
    if (const std::optional<Failure> failed = moveIntoPlace(work.staging, place.real, earlierWasRegistered, noteTaker())) {
        return fail(*failed);
    }
    registerApplication(folderToRegister(place, noteTaker()), extractor.payloadSize() + ownSize);
    // The extractor, and with it the payload resource, goes with this scope.
    note("installed");
    return true;
}

std::optional<Failure> Installer::stageNewVersion(PayloadExtractor& payload, const std::string& staging,
                                                  const std::string& ownFile, uint64_t ownSize) {
    note("staging folder: " + staging);
    const ProgressReport progress = [this](uint32_t position, uint32_t total) {
        if (frontEnd != nullptr) frontEnd->setProgress(position, total);
    };
    if (std::optional<Failure> failure = unpackPayload(payload, staging, ownSize, progress, noteTaker())) return failure;
    status("#installer_status_installing_uninstaller");
    progressBase = payload.payloadSize();
    const CopyProgress copied = [this](uint64_t done, uint64_t total) { copyProgress(done, total); };
    return copyUninstaller(ownFile, ownSize, staging, copied, noteTaker());
}

std::optional<Failure> Installer::removeEarlierVersions(const InstallationPlace& place, const std::string& ownFile,
                                                        bool& earlierWasRegistered) {
    // The earlier installation's uninstaller deletes the whole folder, the user's own files in
    // it too; one that stops half way, or an earlier build that reports success while files stay,
    // would leave the user with less than a working version. So the running application and chat
    // program are ended, and every file and folder proved removable, before anything is removed.
    status("#installer_status_uninstalling");
    const uint32_t ended = endRunningPrograms(place.named) + (place.linked() ? endRunningPrograms(place.real) : 0);
    if (ended != 0) note("running programs of the installation ended: " + digitsOf(ended));
    if (std::optional<Failure> failure = askWhileHeld([&] { return proveRemovable(place.real, ownFile, noteTaker()); })) {
        return failure;
    }

    // Windows Installer products of both upgrade codes, then an earlier installation of this
    // program through its own uninstaller, run quietly. A removal that fails but took nothing
    // leaves the earlier version working, and the install stops there. One that fails after
    // taking part of it (an earlier build deletes as it goes) has already cost the user the
    // version that works: the complete new one is moved in instead.
    const EarlierInstallation earlier = EarlierInstallation::look(place.real);
    earlierWasRegistered = earlier.registered();
    note(earlier.registered() ? "earlier installation: registered, " + digitsOf(earlier.fileCount()) + " files"
                              : "earlier installation: none registered");
    std::optional<Failure> removal = removeMsiProducts(product::kUpgradeCodes[0]);
    if (!removal) removal = removeMsiProducts(product::kUpgradeCodes[1]);
    if (!removal) removal = runPreviousUninstaller(product::kName, product::kPreviousUninstallerArguments);
    if (!removal || earlier.stillWhole()) return removal;
    note("the removal failed after taking part of the earlier installation: the new version goes in");
    return std::nullopt;
}

void Installer::registerApplication(const std::string& installFolder, uint64_t installedBytes) {
    // Everything after the switch is best effort: the new version is in place, and works.
    writeUninstallEntry(installFolder, installedBytes, noteTaker());
    if (frontEnd != nullptr) frontEnd->setStatus("Updating registry...");
    forgetPreviousMajorVersion(noteTaker());
    replaceAutostartEntries(installFolder + product::kProgramFile, noteTaker());
    status("#installer_status_installing_shortcuts");
    makeShortcuts(installFolder, noteTaker());
    status("#installer_status_launching_application");
    (void)startProcess("\"" + installFolder + product::kProgramFile + "\" " + product::kLaunchArgument);  // the log tells
}

}  // namespace swiftsetup
