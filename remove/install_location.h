#pragma once
// The guard between the uninstall entry's "InstallLocation" and a recursive deletion: it looks
// at the machine (the user's and the system's known folders, where links lead, which files are
// there) and lets only a folder of ours through.

#include <string>

#include "remove/location_guard.h"

namespace swiftsetup {

// The verdict on the folder the entry names. On Removable, folder receives the path to delete,
// written canonically (absolute, backslashes, no trailing separator).
LocationVerdict checkInstallLocation(const std::string& installLocation, std::string& folder);

}  // namespace swiftsetup
