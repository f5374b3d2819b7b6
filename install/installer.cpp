// The Installer's steps that both sequences share: removing earlier versions, deleting a claimed
// tree, and running other programs, each told to the log.
#include "install/installer.h"

#include "install/interface.h"
#include "machine/earlier_versions.h"
#include "machine/uninstall_entry.h"
#include "platform/system_errors.h"
#include "text/digits.h"

namespace swiftsetup {
namespace {

// A program that removes an earlier version and failed: it could not start, or it ended with
// another exit code than 0.
Failure earlierVersionFailure(const std::string& command, const ProcessOutcome& outcome, uint32_t exitCode) {
    Failure failure{Step::EarlierVersions, outcome.systemError, {}};
    failure.command = command;
    if (outcome.started()) failure.exitCode = exitCode;
    return failure;
}

}  // namespace

std::optional<Failure> Installer::removeMsiProducts(const Guid& upgradeCode) {
    std::optional<Failure> failed;
    for (const Guid& productCode : msiProductsOf(upgradeCode)) {
        note("Windows Installer product {" + productCodeText(productCode) + "} of upgrade code {" +
             productCodeText(upgradeCode) + "}: removing");
        const std::string command = msiRemovalCommand(productCode);
        if (command.empty()) {
            note("the system folder, and with it msiexec.exe, cannot be found");
            if (!failed) failed = Failure{Step::EarlierVersions, error::kPathNotFound, "msiexec.exe"};
            continue;
        }
        // A failure never stops the walk: the other products are still removed.
        uint32_t exitCode = 0;
        const ProcessOutcome outcome = runProcess(command, &exitCode);
        if ((!outcome || exitCode != 0) && !failed) failed = earlierVersionFailure(command, outcome, exitCode);
    }
    return failed;
}

std::optional<Failure> Installer::runPreviousUninstaller(const std::string& entryName, const std::string& extraArguments) {
    const std::optional<std::string> stored = uninstallCommandOf(entryName);
    if (!stored) return std::nullopt;
    if (stored->empty()) {
        note("uninstall entry " + entryName + ": no uninstall command, no earlier installation to remove");
        return std::nullopt;
    }
    const std::string command = extraArguments.empty() ? *stored : *stored + " " + extraArguments;
    // That uninstaller takes the lock this run holds: it is told that it belongs to this run,
    // whatever starts it on our behalf.
    const InstanceLock::HandDown handDown = runLock.handDown();
    uint32_t exitCode = 0;
    const ProcessOutcome outcome = runProcess(command, &exitCode);
    if (outcome) return exitCode == 0 ? std::nullopt : std::optional(earlierVersionFailure(command, outcome, exitCode));
    // An uninstaller that is not there is no installation to remove: the user deleted the folder
    // by hand, or an earlier uninstall ended after deleting its own copy. Refusing to install
    // over that would lock the user out for good. One that is there but will not start still
    // stops the install.
    if (!error::isGone(outcome.systemError)) return earlierVersionFailure(command, outcome, exitCode);
    note("the earlier installation's uninstaller is gone: no earlier installation to remove");
    return std::nullopt;
}

std::vector<RemovalFailure> Installer::removeTree(TreeClaim& claim, uint32_t first, uint32_t last, uint32_t total,
                                                  const std::function<std::string()>& moveAsideTo) {
    EvenProgress progress(first, last, claim.entryCount());
    auto step = [&] {
        const uint32_t position = progress.advance();
        if (frontEnd != nullptr) frontEnd->setProgress(position, total);
    };
    // Nothing to delete (the tree is gone already) still takes the bar to its end.
    if (claim.entryCount() == 0) {
        step();
        return {};
    }
    return claim.removeAll(step, moveAsideTo);
}

ProcessOutcome Installer::startProcess(const std::string& commandLine) {
    if (logger != nullptr) logger->log(kLogCommandLine, commandLine);
    const ProcessOutcome outcome = swiftsetup::startProcess(commandLine);
    noteOutcome(outcome);
    return outcome;
}

ProcessOutcome Installer::runProcess(const std::string& commandLine, uint32_t* exitCode) {
    if (logger != nullptr) logger->log(kLogCommandLine, commandLine);
    const ProcessOutcome outcome = swiftsetup::runProcess(commandLine);
    if (outcome.exitCode && exitCode != nullptr) *exitCode = *outcome.exitCode;
    noteOutcome(outcome);
    return outcome;
}

void Installer::noteOutcome(const ProcessOutcome& outcome) {
    if (!outcome) {
        note("could not start: system error " + digitsOf(outcome.systemError) + ": " + systemErrorText(outcome.systemError));
    } else if (outcome.exitCode) {
        note("exited with " + digitsOf(*outcome.exitCode) + " (0x" + digitsOf(*outcome.exitCode, 16, 8) + ")");
    }
}

void Installer::copyProgress(uint64_t copied, uint64_t total) {
    if (frontEnd == nullptr) return;
    const auto low = [](uint64_t value) { return static_cast<uint32_t>(value); };
    frontEnd->setProgress(progressBase + low(copied), progressBase + low(total));
}

}  // namespace swiftsetup
