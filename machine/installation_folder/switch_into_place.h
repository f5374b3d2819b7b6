#pragma once
// The switch: the staged version (staging.h) moved into place as the installation folder with
// renames, so that the user has the earlier version or the new one, complete, at every moment.

#include <optional>
#include <string>

#include "machine/installation_folder/work_folders.h"
#include "machine/notes.h"
#include "text/failure.h"

namespace swiftsetup {

// Moves the staged version into place as installFolder. What is left of the earlier version
// there (remainsAreOld: an earlier installation's uninstaller has run, and what it left is
// ours to delete) is moved aside with one rename, the staged folder put in its place with
// another, and the remains deleted. Where a folder cannot be renamed (a file in it held open, a
// program's current folder), after a wait of a moment, the staged entries are moved in one by
// one, replacing what is there, so that the result is a complete installation either way; when
// remainsAreOld is false, whatever else is in installFolder stays. A failure only when an entry
// could not be put in place at all; the staging folder then stays recorded, and the next install
// starts again.
[[nodiscard]] std::optional<Failure> moveIntoPlace(WorkFolder& staging, const std::string& installFolder,
                                                   bool remainsAreOld, const Note& note);

}  // namespace swiftsetup
