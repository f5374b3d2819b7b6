#include "install/installer.h"

namespace swiftsetup {

// Until the uninstall sequence exists, a quiet run reports failure rather than claim success.
bool Installer::uninstall(Interface& ui, Logger& log) {
    frontEnd = &ui;
    logger = &log;
    return false;
}

}  // namespace swiftsetup
