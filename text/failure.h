#pragma once
// A failure as a value: which step of a run failed, the system's error code, the path it
// concerns, or the catalogue key of a reason that is not the system's (a damaged payload). It is
// made where the failure happens and carried up unchanged; the text the user reads and the log's
// lines are both made from it, once, at the top. Portable.

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "text/catalogue.h"

namespace swiftsetup {

enum class Step : uint8_t {
    LogFile,            // the log asked for cannot be written
    Account,            // the run's account has no user (the system account)
    Lock,               // another run held the lock, and this run could not wait for it any longer
    LocalAppData,       // no local application data folder
    InstallationFolder, // the installation folder is a link the install cannot follow
    PayloadCheck,       // the payload's framing or digest, or it did not load
    DriveSpace,         // the drive cannot hold the new version beside the earlier one
    Staging,            // the staging folder cannot be made
    Unpacking,          // a file of the payload cannot be written, flushed or closed
    UninstallerCopy,    // the uninstaller's copy
    Claim,              // something in the installation folder is held by another program
    EarlierVersions,    // an earlier version could not be removed
    Switch,             // the staged version could not be moved into place
    Uninstall,          // something of the installation that an uninstall must delete stays
};

struct Failure {
    Failure() = default;
    Failure(Step failedStep, uint32_t error, std::string about, const char* reason = nullptr)
        : step(failedStep), systemError(error), path(std::move(about)), reasonKey(reason) {}

    Step step = Step::Unpacking;
    uint32_t systemError = 0;          // 0: not the system's failure
    std::string path;                  // may be empty
    const char* reasonKey = nullptr;   // a catalogue key that says why, instead of the system
    // A program the step ran that failed (an earlier version's uninstaller): its command line, and
    // its exit code when it ran to its end.
    std::string command;
    std::optional<uint32_t> exitCode;
    // The user was told already (a question they answered with Cancel): no box follows.
    bool told = false;
};

// The step as the log names it ("unpacking", "claim", ...).
[[nodiscard]] const char* stepName(Step step);

struct UserMessage {
    std::string text;
    std::string caption;
};

// Why, as the user reads it after the step's message: the catalogue's text for reasonKey, or the
// system's text followed by the path on a line of its own (the path alone when the failure is not
// the system's).
[[nodiscard]] std::string failureReason(const Failure& failure, Language language, const std::string& systemText);

// The question a windowed run asks when another program holds a file or folder it must remove
// or replace: what happened and what the user can do, the system's text and the path (as the
// failure's box has them), then, when Windows could name them, the programs that hold it, one a
// line, at most kNamedHolders and then how many more. Its answer is Retry or Cancel.
inline constexpr size_t kNamedHolders = 3;
[[nodiscard]] UserMessage heldQuestion(const Failure& failure, Language language, const std::string& systemText,
                                       const std::vector<std::string>& holders);

// The box the user sees for a failure, in a language. systemText is the system's own text for
// failure.systemError (empty when it has none); it is used as it stands, followed by the path on a
// line of its own when there is one.
[[nodiscard]] UserMessage userMessage(const Failure& failure, Language language, const std::string& systemText);

}  // namespace swiftsetup
