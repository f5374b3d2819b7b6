#pragma once
// How the commands that read payloads report the payload's digest.

#include <string>

#include "payload/payload_digest.h"
#include "tools/payload/payload_source.h"

namespace swiftsetup {

// One line: "digest CRC-32 0x1A2B3C4D, matches", "digest CRC-32 0x1A2B3C4D, mismatch (computed
// 0x5E6F7081)", "no digest" or "malformed digest chunk at payload byte 20".
std::string describeDigest(const PayloadSource& source, const PayloadDigest& digest);

// What is wrong with a digest that does not match or is malformed, for an error message; empty
// when it matches or the payload has none.
std::string digestProblem(const PayloadSource& source, const PayloadDigest& digest);

}  // namespace swiftsetup
