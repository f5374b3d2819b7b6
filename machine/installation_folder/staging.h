#pragma once
// The new version, staged: unpacked with its uninstaller into a work folder beside the
// installation folder, every file on the disk and checked, before anything of the earlier version
// is touched. The switch (switch_into_place.h) then moves it into place.

#include <cstdint>
#include <optional>
#include <string>

#include "machine/notes.h"
#include "payload/payload_extractor.h"
#include "platform/file_copy.h"
#include "text/failure.h"

namespace swiftsetup {

// Unpacks the payload into the staging folder, progress from 0 on a range that leaves room for
// the uninstaller's ownSize bytes after it. Nothing when every file was written, flushed to the
// disk and closed; otherwise why not (the caller removes the folder).
[[nodiscard]] std::optional<Failure> unpackPayload(PayloadExtractor& payload, const std::string& staging,
                                                   uint64_t ownSize, const ProgressReport& progress, const Note& note);

// This program becomes the uninstaller: copied into the staging folder and flushed to the disk
// through the one handle that wrote it, then checked for its size. A copy cut short (a drive
// filled up meanwhile) would be a program that cannot start: it counts as a full disk.
[[nodiscard]] std::optional<Failure> copyUninstaller(const std::string& ownFile, uint64_t ownSize,
                                                     const std::string& staging, const CopyProgress& progress,
                                                     const Note& note);

}  // namespace swiftsetup
