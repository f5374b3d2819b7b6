// Entry point of the installer and of its copy "uninstall.exe".
#include <windows.h>

#include <memory>
#include <string>

#include "app/command_line.h"
#include "install/installer.h"
#include "machine/product.h"
#include "platform/account.h"
#include "platform/dll_hardening.h"
#include "platform/log_file.h"
#include "platform/paths.h"
#include "platform/process_arguments.h"
#include "platform/system_errors.h"
#include "platform/user_language.h"
#include "ui/dummy_interface.h"
#include "ui/dummy_logger.h"
#include "ui/file_logger.h"
#include "ui/graphical_interface.h"

namespace {

using namespace swiftsetup;

constexpr uint64_t kQuietLockPatienceMs = 10 * 60 * 1000;

// The log the command line asks for; a log that cannot be opened is the run's first failure.
std::unique_ptr<Logger> openLog(const RunMode& mode, Installer& installer) {
    if (!mode.log) return std::make_unique<DummyLogger>();
    uint32_t error = error::kSuccess;
    LogFile file = mode.logPath ? LogFile::replace(*mode.logPath, error)
                                : LogFile::createNewInTemporaryFolder(product::kLogName, error);
    if (!file.valid()) {
        installer.startFailure = Failure{Step::LogFile, error != error::kSuccess ? error : error::kPathNotFound, file.path()};
        return std::make_unique<DummyLogger>();
    }
    return std::make_unique<FileLogger>(std::move(file));
}

// Who and what this run is, first in the log.
void logRun(Logger& log, const RunMode& mode) {
    const AccountFacts account = accountFacts();
    log.log(kLogEvent, std::string(product::kName) + " installer " + product::kVersion);
    log.log(kLogEvent, "program: " + modulePath());
    log.log(kLogEvent, "command line: " + commandLineText());
    log.log(kLogEvent, std::string("mode: ") + (mode.quiet ? "quiet " : "windowed ") + (mode.uninstall ? "uninstall" : "install"));
    log.log(kLogEvent, "Windows " + windowsVersion());
    log.log(kLogEvent, "user: " + account.name + " (" + account.sid + ")" + (account.elevated ? ", elevated" : ", not elevated"));
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    restrictDllSearchPath();

    // The switches; argument 0 is the program and never a switch.
    const RunMode mode = parseSwitches(commandLineArguments());

    // The Installer outlives the front end, which refers to it. Nobody watches a quiet run: it
    // waits for a lock that it may not open (another user's, or an elevated earlier build's) ten
    // minutes at most, and then fails, saying why in its log.
    auto installer = std::make_unique<Installer>();
    if (mode.quiet) installer->lockPatienceMs = kQuietLockPatienceMs;

    // The front end: quiet, or the window titled in the user's language.
    std::unique_ptr<Interface> frontEnd;
    if (mode.quiet) {
        frontEnd = std::make_unique<DummyInterface>(*installer);
    } else {
        const std::string title = translate("#window_title");
        frontEnd = std::make_unique<GraphicalInterface>(title, *installer);
    }

    std::unique_ptr<Logger> logger = openLog(mode, *installer);
    logRun(*logger, mode);
    const bool succeeded = mode.uninstall ? frontEnd->uninstall(*logger) : frontEnd->install(*logger);

    // Teardown in this order: the front end refers to the Installer, and the Installer holds the
    // lock that keeps a second installer waiting until this one is done.
    frontEnd.reset();
    const int exitCode = succeeded ? 0 : -1;
    logger->log(kLogEvent, "exit code " + std::string(exitCode == 0 ? "0" : "-1"));
    logger.reset();
    installer.reset();

    // Only a quiet run can report failure; a windowed run's operation returns true.
    return exitCode;
}
