// The Installer's sequences, replaced: each attaches the front end and logger as the real ones do,
// records where it ran, and plays the script the program set.
#include "tests/ui/scripted_installer.h"

#include "install/installer.h"

namespace uitest {

ScriptedSequences& scripted() {
    static ScriptedSequences sequences;
    return sequences;
}

void resetScripts() { scripted() = ScriptedSequences{}; }

}  // namespace uitest

namespace swiftsetup {
namespace {

bool play(const uitest::Script& script, int& runs, Installer& installer, Interface& ui, Logger& log) {
    installer.frontEnd = &ui;
    installer.logger = &log;
    auto& sequences = uitest::scripted();
    ++runs;
    sequences.threadId = GetCurrentThreadId();
    sequences.frontEnd = &ui;
    sequences.logger = &log;
    return script ? script(ui) : false;
}

}  // namespace

bool Installer::install(Interface& ui, Logger& log) {
    return play(uitest::scripted().install, uitest::scripted().installRuns, *this, ui, log);
}

bool Installer::uninstall(Interface& ui, Logger& log) {
    return play(uitest::scripted().uninstall, uitest::scripted().uninstallRuns, *this, ui, log);
}

}  // namespace swiftsetup
