#pragma once
// How the commands that read payloads describe where and why a walk stopped.

#include <string>

#include "payload/chunk_walker.h"
#include "tools/payload/payload_source.h"

namespace swiftsetup {

// "payload byte 1234", with " (file offset 5678)" when the payload lies in a program.
std::string payloadPosition(const PayloadSource& source, uint32_t offset);

// "payload byte 1234 (file offset 5678), chunk 5 (kind 0, body of 10 bytes): <rule> [#key]"
std::string describeFault(const PayloadSource& source, const WalkResult& walk,
                          const std::string& currentFile);

}  // namespace swiftsetup
