#pragma once
// The guard between the uninstall entry's "InstallLocation" and a recursive deletion: it looks
// at the machine (the user's and the system's known folders, where links lead, what kind of
// drive it is, whether the uninstaller in the folder is this installer) and lets only a folder of
// ours through.

#include <string>

#include "machine/installation_folder/location_guard.h"

namespace swiftsetup {

// The verdict on a folder, judged by the one long form Windows reads it as: environment
// references already expanded by the caller, "." and ".." levels, trailing dots and blanks and
// short names resolved as the file system resolves them. On Removable, folder receives that
// form (absolute, backslashes, no trailing separator, links not followed).
[[nodiscard]] LocationVerdict checkInstallLocation(const std::string& location, std::string& folder);

// The folder of the installation an uninstall removes: the one the entry names when it is
// provably ours, written the way the install wrote it where it is the install's own folder;
// otherwise the folder the install uses, when it exists and passes the guard; empty when there
// is none. A folder that is not ours is never the answer, whatever the entry says.
[[nodiscard]] std::string installationToRemove(const std::string& installLocation);

// Where the install puts the application (local application data + "\Apps\Lexmora 3"); empty
// when the system has no local application data folder.
[[nodiscard]] std::string ownInstallFolder();

}  // namespace swiftsetup
