#pragma once
// What is proved before an install changes anything: a damaged download or a full drive must not
// cost the user the version that works.

#include <cstdint>
#include <optional>
#include <string>

#include "machine/notes.h"
#include "payload/payload_extractor.h"
#include "text/failure.h"

namespace swiftsetup {

// Why this payload cannot be installed into the folder, or nothing: the payload did not load, a
// chunk is framed wrongly, its digest does not match, or the drive cannot hold its files and the
// uninstaller (ownSize bytes) besides, next to the earlier version. Tells note what it found.
[[nodiscard]] std::optional<Failure> checkBeforeInstall(const PayloadExtractor& payload, const std::string& installFolder,
                                                        uint64_t ownSize, const Note& note);

}  // namespace swiftsetup
