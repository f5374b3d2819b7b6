#pragma once
// What the installer proves about its payload before it changes anything on the machine: every
// chunk is framed by the reading rules (blocks are not inflated), the payload's digest matches
// where it carries one, and how many bytes its files unpack to, file by file. A download damaged
// by one byte is refused before an earlier version is removed, not half way through unpacking.
// Portable.

#include <cstdint>
#include <vector>

#include "payload/chunk_walker.h"

namespace swiftsetup {

struct PayloadSurvey {
    PayloadFault fault = PayloadFault::None;  // the first reading rule the framing breaks
    bool digestMismatch = false;              // the digest carried does not match, or is malformed
    std::vector<uint64_t> fileSizes;          // what each file unpacks to, as its blocks declare

    bool whole() const { return fault == PayloadFault::None && !digestMismatch; }
};

PayloadSurvey surveyPayload(const uint8_t* data, uint32_t size);

// The room files of these sizes take on a drive whose clusters hold clusterBytes each: every file
// rounded up to whole clusters (0: the sizes as they are).
uint64_t roomForFiles(const std::vector<uint64_t>& fileSizes, uint32_t clusterBytes);

}  // namespace swiftsetup
