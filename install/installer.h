#pragma once
// The one operation object of a run: it carries the install and uninstall sequences and the
// operations they share, and holds the front end and logger of the sequence that is running. Its
// members are the sequences' steps; the work is done by the homes of what the installer leaves on
// the machine (machine/), the payload (payload/) and the platform (platform/), none of which
// knows the Installer.

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "machine/installation_folder/work_folders.h"
#include "machine/notes.h"
#include "machine/tree_claim.h"
#include "platform/child_process.h"
#include "platform/instance_lock.h"
#include "text/failure.h"
#include "text/guid_packing.h"

namespace swiftsetup {

class Interface;
class Logger;
class PayloadExtractor;
struct InstallationPlace;

class Installer {
public:
    // The sequences. Each attaches the front end and logger first, so that everything it drives
    // reports there, and returns true for success.
    bool install(Interface& frontEnd, Logger& logger);
    bool uninstall(Interface& frontEnd, Logger& logger);

    // Removal of earlier versions: every Windows Installer product of the upgrade code, and an
    // earlier installation through the uninstall command of its entry with the extra arguments.
    // Nothing when they are gone (or there were none); otherwise the first command that failed,
    // with its exit code. A failure never stops the other products' removal.
    [[nodiscard]] std::optional<Failure> removeMsiProducts(const Guid& upgradeCode);
    [[nodiscard]] std::optional<Failure> runPreviousUninstaller(const std::string& entryName,
                                                                const std::string& extraArguments);

    // Deletes a claimed folder tree (machine/tree_claim.h), moving the front end's progress evenly
    // from first to last; the entries that stayed after all, in the order they were tried.
    // moveAsideTo as TreeClaim::removeAll takes it.
    [[nodiscard]] std::vector<RemovalFailure> removeTree(TreeClaim& claim, uint32_t first, uint32_t last, uint32_t total,
                                                         const std::function<std::string()>& moveAsideTo = {});

    // Child processes (platform/child_process.h), their command lines and outcomes told to the
    // logger. runProcess waits; a code that cannot be read leaves *exitCode as it was.
    [[nodiscard]] ProcessOutcome startProcess(const std::string& commandLine);
    [[nodiscard]] ProcessOutcome runProcess(const std::string& commandLine, uint32_t* exitCode);

    // The uninstaller's copy continues the install's one progress range from progressBase. The
    // scale is 32-bit: a file of 4 GiB or more wraps, as the whole install's does.
    void copyProgress(uint64_t copied, uint64_t total);

    // Reports a failure, once, where the sequence gives up: its lines in the log (the step, the
    // system's error with its number and text, the path, the command and its exit code, and the
    // text of the box) and the box itself. Always false, the sequence's result.
    bool fail(const Failure& failure);
    // One line of the run's story in the log.
    void note(const std::string& text);
    // Why this run must not begin at all, before it changes anything: a log that cannot be
    // written (set by the entry point), or an account that is no user's. Checked first by both
    // sequences.
    [[nodiscard]] std::optional<Failure> refusal() const;
    // Takes the lock for the run (runLock), telling the log how, and showing statusKey once it
    // holds it (a lock held by a run it may not open shows that it waits). A failure when such a
    // run held it beyond lockPatienceMs.
    [[nodiscard]] std::optional<Failure> acquireLock(const char* statusKey);
    // Removes what runs of ours that were cut off left beside the installation, telling the log;
    // a program that is part of another run (an earlier uninstaller an install runs) leaves that
    // run's own alone.
    void removeLeftovers();

    std::optional<Failure> startFailure;  // set by the entry point
    // How long a run waits for a lock held by a run it may not open (0: without a limit); the
    // entry point gives quiet runs a limit, so that a deployment never hangs without saying why.
    uint64_t lockPatienceMs = 0;
    Interface* frontEnd = nullptr;  // not owned
    Logger* logger = nullptr;       // not owned
    uint32_t progressBase = 0;      // added by copyProgress to its numbers
    InstanceLock runLock;           // taken by a sequence, held until the Installer goes

private:
    // The install's steps (install_sequence.cpp): the new version unpacked with its uninstaller
    // into the staging folder; the earlier versions proved removable and removed (whether one was
    // registered goes to earlierWasRegistered); the application registered and started.
    [[nodiscard]] std::optional<Failure> stageNewVersion(PayloadExtractor& payload, const std::string& staging,
                                                         const std::string& ownFile, uint64_t ownSize);
    [[nodiscard]] std::optional<Failure> removeEarlierVersions(const InstallationPlace& place,
                                                               const std::string& ownFile, bool& earlierWasRegistered);
    void registerApplication(const std::string& installFolder, uint64_t installedBytes);
    // The uninstall's step (uninstall_sequence.cpp): the installation folder (empty: none of ours),
    // the shortcuts and the autostart values of programPath, proved removable and deleted, all of
    // them; or, when something is held, none, and why. What stayed after all goes to leftBehind.
    [[nodiscard]] std::optional<Failure> removeInstallation(const std::string& folder, const std::string& programPath,
                                                            std::vector<RemovalFailure>& leftBehind);
    // Tries a claim until it holds. When it fails on an entry another program holds, a windowed run
    // asks the user, naming the programs where Windows can, whether to try again (Retry) or stop
    // (Cancel); a quiet run never tries again. The failure the user stopped at, told already.
    [[nodiscard]] std::optional<Failure> askWhileHeld(const std::function<std::optional<Failure>()>& claim);

    void attach(Interface& ui, Logger& log);
    // note, as the homes of machine/ take it.
    [[nodiscard]] Note noteTaker();
    void status(const char* key);
    // The log's lines for a child process's outcome.
    void noteOutcome(const ProcessOutcome& outcome);
};

}  // namespace swiftsetup
