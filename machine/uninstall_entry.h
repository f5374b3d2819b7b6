#pragma once
// The application's entry in Windows' list of installed programs, below HKEY_CURRENT_USER: written
// by the install, read by the uninstall (where the installation is) and by a later install (the
// earlier version's uninstaller), and deleted last by the uninstall.

#include <cstdint>
#include <optional>
#include <string>

#include "machine/notes.h"

namespace swiftsetup {

// Writes the entry's eleven values for an installation in installFolder of installedBytes. Each
// value is told to note as it is written, or that it could not be.
void writeUninstallEntry(const std::string& installFolder, uint64_t installedBytes, const Note& note);

// Whether the entry is there.
[[nodiscard]] bool uninstallEntryExists();

// The entry's "InstallLocation", environment references expanded; empty when it has none.
[[nodiscard]] std::string entryInstallLocation();

// The stored "UninstallString" of an entry of that name below the list of installed programs:
// nothing when there is no such entry, empty when its command is missing or not plain text.
[[nodiscard]] std::optional<std::string> uninstallCommandOf(const std::string& entryName);

// Deletes the entry: Windows no longer lists the application. False when it stays.
[[nodiscard]] bool deleteUninstallEntry();

// The entry's key as the log names it.
[[nodiscard]] std::string uninstallEntryName();

}  // namespace swiftsetup
