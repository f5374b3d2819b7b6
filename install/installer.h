#pragma once
// The one operation object of a run: it carries the install and uninstall sequences and the
// operations they share, and holds the front end and logger of the sequence that is running.

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "platform/instance_lock.h"
#include "remove/guid_packing.h"
#include "remove/tree_listing.h"
#include "remove/work_folders.h"
#include "text/failure.h"

namespace swiftsetup {

class Interface;
class Logger;
class TreeClaim;

class Installer {
public:
    // The sequences. Each attaches the front end and logger first, so that everything it drives
    // reports there, and returns true for success.
    bool install(Interface& frontEnd, Logger& logger);
    bool uninstall(Interface& frontEnd, Logger& logger);

    // Removal of earlier versions.
    bool removeMsiProducts(const Guid& upgradeCode);
    bool runPreviousUninstaller(const std::string& entryName, const std::string& extraArguments);

    // Deletes a claimed folder tree (remove/tree_claim.h), moving the front end's progress evenly
    // from first to last; the entries that stayed after all, in the order they were tried.
    // moveAsideTo as TreeClaim::removeAll takes it.
    std::vector<RemovalFailure> removeTree(TreeClaim& claim, uint32_t first, uint32_t last, uint32_t total,
                                           const std::function<std::string()>& moveAsideTo = {});

    // Child processes. The command line is used up to its first NUL byte and reaches the logger.
    // When the program cannot be started, false, and GetLastError() tells why.
    bool startProcess(const std::string& commandLine);
    bool runProcess(const std::string& commandLine, uint32_t* exitCode);

    // Reports a failure, once, where the sequence gives up: its lines in the log (the step, the
    // system's error with its number and text, the path, and the text of the box) and the box
    // itself. Always false, the sequence's result.
    bool fail(const Failure& failure);
    // One line of the run's story in the log.
    void note(const std::string& text);
    // Why this run must not begin at all, before it changes anything: a log that cannot be
    // written (set by the entry point), or an account that is no user's. Checked first by both
    // sequences.
    std::optional<Failure> refusal() const;
    // Takes the lock for the run (runLock), telling the log how.
    void acquireLock();
    // Tells the log what work folders of cut-off runs were found.
    void noteLeftovers(const LeftoverWorkFolders& leftovers);

    std::optional<Failure> startFailure;  // set by the entry point
    Interface* frontEnd = nullptr;  // not owned
    Logger* logger = nullptr;       // not owned
    uint32_t progressBase = 0;      // added by copyProgress to its numbers
    InstanceLock runLock;           // taken by a sequence, held until the Installer goes
};

}  // namespace swiftsetup
