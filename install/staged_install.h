#pragma once
// An install that cannot leave the user with less than a working version: the new version is
// unpacked beside the installation folder, complete and on the disk, before anything of the
// earlier version is removed; then it is moved into place with renames.

#include <cstdint>
#include <optional>
#include <string>

#include "remove/work_folders.h"
#include "text/failure.h"

namespace swiftsetup {

class Installer;
class PayloadExtractor;

// Unpacks the payload and then this program, as the uninstaller, into the staging folder, on one
// progress range. Nothing when every file was written, flushed to the disk and closed, and the
// uninstaller's copy is whole; otherwise why not (the caller removes the folder).
std::optional<Failure> stageNewVersion(Installer& installer, PayloadExtractor& payload, const std::string& staging,
                                       const std::string& ownFile, uint64_t ownSize);

// Moves the staged version into place as installFolder. What is left of the earlier version
// there (remainsAreOld: an earlier installation's uninstaller has run, and what it left is
// ours to delete) is moved aside with one rename, the staged folder put in its place with
// another, and the remains deleted. Where a folder cannot be renamed (a file in it held open, a
// program's current folder), after a wait of a moment, the staged entries are moved in one by
// one, replacing what is there, so that the result is a complete installation either way; when
// remainsAreOld is false, whatever else is in installFolder stays. A failure only when an entry
// could not be put in place at all; the staging folder then stays recorded, and the next install
// starts again.
std::optional<Failure> moveIntoPlace(Installer& installer, WorkFolder& staging, const std::string& installFolder,
                                     bool remainsAreOld);

}  // namespace swiftsetup
