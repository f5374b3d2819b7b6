// What a run tells: its failure, once, where a sequence gives up; and its story, step by step, to
// the log.
#include "install/installer.h"
#include "install/interface.h"
#include "install/run_account.h"
#include "machine/installation_folder/work_folders.h"
#include "machine/product.h"
#include "platform/account.h"
#include "platform/clock.h"
#include "platform/restart_manager.h"
#include "platform/system_errors.h"
#include "platform/user_language.h"
#include "text/digits.h"

namespace swiftsetup {
namespace {

// Line breaks of the system's texts are the log's business: it keeps each event on one line.
std::string withoutFinalLineBreak(std::string text) {
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
    return text;
}

// The failure as the log's one line: the step, the system's error with its number and text, the
// reason, the path, and the program that failed with its exit code.
std::string failureLine(const Failure& failure, const std::string& systemText) {
    std::string line = std::string("failed: ") + stepName(failure.step);
    if (failure.systemError != 0) {
        line += "; system error " + digitsOf(failure.systemError) + " (0x" + digitsOf(failure.systemError, 16, 8) +
                "): " + withoutFinalLineBreak(systemText);
    }
    if (failure.reasonKey != nullptr) line += std::string("; reason ") + failure.reasonKey;
    if (!failure.path.empty()) line += (failure.step == Step::Account ? "; account " : "; path ") + failure.path;
    if (!failure.command.empty()) line += "; command " + failure.command;
    if (failure.exitCode) {
        line += "; exit code " + digitsOf(*failure.exitCode) + " (0x" + digitsOf(*failure.exitCode, 16, 8) + ")";
    }
    return line;
}

}  // namespace

void Installer::attach(Interface& ui, Logger& log) {
    frontEnd = &ui;
    logger = &log;
}

Note Installer::noteTaker() {
    return [this](const std::string& line) { note(line); };
}

void Installer::status(const char* key) {
    if (frontEnd != nullptr) frontEnd->setStatus(translate(key));
}

void Installer::note(const std::string& text) {
    if (logger != nullptr) logger->log(kLogEvent, text);
}

bool Installer::fail(const Failure& failure) {
    const std::string systemText = failure.systemError != 0 ? systemErrorText(failure.systemError) : std::string();
    const UserMessage message = userMessage(failure, userLanguage(), systemText);
    note(failureLine(failure, systemText));
    if (failure.told) return false;
    note("message: " + message.caption + ": " + message.text);
    if (frontEnd != nullptr) frontEnd->showError(message.text, message.caption);
    return false;
}

std::optional<Failure> Installer::askWhileHeld(const std::function<std::optional<Failure>()>& claim) {
    for (;;) {
        std::optional<Failure> failure = claim();
        if (!failure || failure->path.empty() || !error::isHeld(failure->systemError)) return failure;
        std::vector<std::string> names;
        for (const HoldingProgram& program : programsUsing(failure->path)) {
            note("held by: " + program.name + " (process " + digitsOf(program.processId) + ")");
            names.push_back(program.name);
        }
        const UserMessage question =
            heldQuestion(*failure, userLanguage(), systemErrorText(failure->systemError), names);
        note("question: " + question.caption + ": " + question.text);
        if (frontEnd == nullptr || !frontEnd->askRetryCancel(question.text, question.caption)) {
            note("answer: Cancel (a quiet run never tries again)");
            failure->told = true;
            return failure;
        }
        note("answer: Retry");
    }
}

std::optional<Failure> Installer::acquireLock(const char* statusKey) {
    const uint64_t start = tickCount();
    const InstanceLock::Outcome outcome =
        runLock.acquire(product::kInstanceLockName, product::kInstanceRunVariable, lockPatienceMs, [&] {
            note("lock: held by a run this program may not open (" + runLock.deniedName() +
                 "), so it waits until that run ends");
            status("#installer_status_waiting_for_lock");
        });
    const std::string waited = digitsOf(tickCount() - start) + " ms";
    if (!runLock.deniedName().empty()) status(statusKey);
    switch (outcome) {
        case InstanceLock::Outcome::Held: note("lock: held after waiting " + waited); break;
        case InstanceLock::Outcome::BelongsToRun: note("lock: part of the run of the program that started this one"); break;
        case InstanceLock::Outcome::Unguarded:
            note("lock: cannot be made, the run goes on unguarded (after " + waited + ")");
            break;
        case InstanceLock::Outcome::GaveUp:
            note("lock: still held by a run this program may not open after " + waited + ": the run gives up");
            return Failure{Step::Lock, error::kAccessDenied, runLock.deniedName()};
    }
    return std::nullopt;
}

void Installer::removeLeftovers() {
    if (!runLock.heldHere()) return;
    const LeftoverWorkFolders leftovers = removeLeftoverWorkFolders();
    for (const std::string& path : leftovers.removed) note("removed a work folder a cut-off run left: " + path);
    for (const std::string& path : leftovers.kept) note("a work folder a cut-off run left stays for now: " + path);
    for (const std::string& path : leftovers.notOurs) note("recorded as a work folder but not provably ours, left alone: " + path);
}

std::optional<Failure> Installer::refusal() const {
    if (startFailure) return startFailure;
    const std::string sid = accountFacts().sid;
    if (!isUserAccount(sid)) return Failure{Step::Account, 0, sid};
    return std::nullopt;
}

}  // namespace swiftsetup
