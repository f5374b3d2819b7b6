#pragma once
// A test double of the Installer's two sequences: programs that link it instead of the real
// install and uninstall code decide, per run, what the "sequence" does with its front end.

#include <windows.h>

#include <functional>

#include "install/interface.h"

namespace uitest {

using Script = std::function<bool(swiftsetup::Interface&)>;

struct ScriptedSequences {
    Script install;    // run by Installer::install
    Script uninstall;  // run by Installer::uninstall
    int installRuns = 0;
    int uninstallRuns = 0;
    DWORD threadId = 0;  // the thread the last sequence ran on
    swiftsetup::Interface* frontEnd = nullptr;
    swiftsetup::Logger* logger = nullptr;
};

// The one set of scripts of the program. Set it before running a front end; reset() clears it.
ScriptedSequences& scripted();
void resetScripts();

}  // namespace uitest
