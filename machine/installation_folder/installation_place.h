#pragma once
// Where the installation folder really is. Users move big folders off the system drive and leave
// a link of the old name behind (a junction, made by hand or by a tool): the files then live
// where the link leads, and the install stages beside them there, measures that drive and switches
// there, so that a link stays a link and the user's choice of drive holds.

#include <optional>
#include <string>

#include "machine/notes.h"
#include "text/failure.h"

namespace swiftsetup {

struct InstallationPlace {
    std::string named;  // the installation folder by the name the install gives it
    std::string real;   // where its files are: named itself, or where a link of that name leads
    [[nodiscard]] bool linked() const { return real != named; }
};

// The place of the installation folder named. A link that leads nowhere (its folder deleted), or
// to a share (where the link and its folder cannot be kept apart safely), is refused before
// anything changes: the same command keeps failing the same clear way until the link is mended.
[[nodiscard]] std::optional<Failure> findInstallationPlace(const std::string& named, InstallationPlace& place);

// The folder the application is registered at once the new version is in place: the name the
// install gives it, as long as that still leads to the files (an earlier build's uninstaller
// deletes the link itself; it is made again as a junction); otherwise the real folder, so that
// no entry, autostart value or shortcut ever names a folder that is not there.
[[nodiscard]] std::string folderToRegister(const InstallationPlace& place, const Note& note);

// Where a folder's files are: the folder itself, or, for a link, where it leads; empty for a link
// that leads nowhere.
[[nodiscard]] std::string filesOf(const std::string& folder);

}  // namespace swiftsetup
