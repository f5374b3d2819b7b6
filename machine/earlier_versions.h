#pragma once
// Earlier versions of the product on the user's machine, which an install removes before the new
// version goes in: Windows Installer products registered for the user under the upgrade codes of
// earlier versions, an earlier installation of this program (removed through its own uninstall
// command, machine/uninstall_entry.h), and the pointers of the previous major version's bootstrap
// key. The programs are run by the caller; this is where they are found.

#include <string>
#include <vector>

#include "machine/notes.h"
#include "text/guid_packing.h"

namespace swiftsetup {

// The product codes registered for the user under an upgrade code, read before any is removed
// (each removal unregisters its product from that very list). Names that are not packed GUIDs are
// skipped.
[[nodiscard]] std::vector<Guid> msiProductsOf(const Guid& upgradeCode);

// The command line that removes a Windows Installer product quietly, with the msiexec.exe of the
// system folder; empty when the system folder cannot be determined, so that nothing of that name
// elsewhere on the search path is ever run in its place.
[[nodiscard]] std::string msiRemovalCommand(const Guid& productCode);

// What the earlier installation has before anything removes it: whether it is registered, and
// its files. A removal that fails may still have taken part of it (an earlier build's uninstaller
// deletes as it goes); then it is no longer the version that works.
class EarlierInstallation {
public:
    [[nodiscard]] static EarlierInstallation look(const std::string& installFolder);
    [[nodiscard]] bool registered() const { return registered_; }
    [[nodiscard]] size_t fileCount() const { return files_.size(); }
    // Still registered as it was, and every file of it still there.
    [[nodiscard]] bool stillWhole() const;

private:
    bool registered_ = false;
    std::vector<std::string> files_;
};

// The previous major version's bootstrap key loses its pointers to the old program; each value
// deleted is told to note.
void forgetPreviousMajorVersion(const Note& note);

}  // namespace swiftsetup
