// What a run tells: its failure, once, where a sequence gives up; and its story, step by step, to
// the log.
#include <windows.h>

#include "app/run_account.h"
#include "install/installer.h"
#include "install/product.h"
#include "platform/account.h"
#include "platform/text_conversion.h"
#include "text/catalogue.h"
#include "text/digits.h"
#include "ui/interface.h"

namespace swiftsetup {
namespace {

// Line breaks of the system's texts are the log's business: it keeps each event on one line.
std::string withoutFinalLineBreak(std::string text) {
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
    return text;
}

}  // namespace

void Installer::note(const std::string& text) {
    if (logger != nullptr) logger->log(kLogEvent, text);
}

bool Installer::fail(const Failure& failure) {
    const std::string systemText = failure.systemError != 0 ? systemErrorText(failure.systemError) : std::string();
    const UserMessage message = userMessage(failure, languageForLocale(GetUserDefaultLCID()), systemText);
    std::string line = std::string("failed: ") + stepName(failure.step);
    if (failure.systemError != 0) {
        line += "; system error " + digitsOf(failure.systemError) + " (0x" + digitsOf(failure.systemError, 16, 8) +
                "): " + withoutFinalLineBreak(systemText);
    }
    if (failure.reasonKey != nullptr) line += std::string("; reason ") + failure.reasonKey;
    if (!failure.path.empty()) line += (failure.step == Step::Account ? "; account " : "; path ") + failure.path;
    note(line);
    note("message: " + message.caption + ": " + message.text);
    if (frontEnd != nullptr) frontEnd->showError(message.text, message.caption);
    return false;
}

void Installer::acquireLock() {
    const uint64_t start = GetTickCount64();
    const bool guarded = runLock.acquire(product::kInstanceLockName, product::kInstanceRunVariable);
    const std::string waited = digitsOf(GetTickCount64() - start) + " ms";
    if (!guarded) {
        note("lock: cannot be made, the run goes on unguarded (after " + waited + ")");
    } else if (runLock.heldHere()) {
        note("lock: held after waiting " + waited);
    } else {
        note("lock: part of the run of the program that started this one");
    }
}

void Installer::noteLeftovers(const LeftoverWorkFolders& leftovers) {
    for (const std::string& path : leftovers.removed) note("removed a work folder a cut-off run left: " + path);
    for (const std::string& path : leftovers.kept) note("a work folder a cut-off run left stays for now: " + path);
    for (const std::string& path : leftovers.notOurs) note("recorded as a work folder but not provably ours, left alone: " + path);
}

std::optional<Failure> Installer::refusal() const {
    if (startFailure) return startFailure;
    const std::string sid = wideToUtf8(accountSid().c_str(), -1);
    if (!isUserAccount(sid)) return Failure{Step::Account, 0, sid};
    return std::nullopt;
}

}  // namespace swiftsetup
