#include "tools/payload/digest_report.h"

#include <cstdio>

#include "tools/payload/walk_report.h"

namespace swiftsetup {

namespace {

std::string hex32(uint32_t value) {
    char text[16];
    std::snprintf(text, sizeof(text), "0x%08X", static_cast<unsigned>(value));
    return text;
}

}  // namespace

std::string describeDigest(const PayloadSource& source, const PayloadDigest& digest) {
    switch (digest.status) {
        case DigestStatus::Absent: return "no digest";
        case DigestStatus::Matches: return "digest CRC-32 " + hex32(digest.stored) + ", matches";
        case DigestStatus::Mismatch:
            return "digest CRC-32 " + hex32(digest.stored) + ", mismatch (computed " + hex32(digest.computed) + ")";
        case DigestStatus::Malformed: return "malformed digest chunk at " + payloadPosition(source, digest.offset);
    }
    return "digest of an unknown state";
}

std::string digestProblem(const PayloadSource& source, const PayloadDigest& digest) {
    if (digest.status == DigestStatus::Mismatch) {
        return "the digest does not match: the digest chunk at " + payloadPosition(source, digest.offset) +
               " holds CRC-32 " + hex32(digest.stored) + ", the payload's bytes give " + hex32(digest.computed) +
               "; the payload has changed since it was written";
    }
    if (digest.status == DigestStatus::Malformed) {
        return "malformed digest chunk at " + payloadPosition(source, digest.offset) + ": " +
               (digest.problem != nullptr ? digest.problem : "of the wrong shape");
    }
    return {};
}

}  // namespace swiftsetup
