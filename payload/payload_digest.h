#pragma once
// The payload's digest: a CRC-32 of the whole payload, carried by the payload itself in a digest
// chunk among the chunks before the first file chunk. zlib's Adler-32 guards only the inside of
// each block; the digest also covers the chunk headers, the paths and where the payload ends, so
// a changed byte or a lost tail is found before anything is unpacked. Readers that do not look
// for it skip the chunk like any other unknown kind. Portable.

#include <cstdint>

namespace swiftsetup {

enum class DigestStatus : uint8_t {
    Absent,     // no digest chunk before the first file chunk (payloads written without one)
    Matches,    // the stored value is the payload's CRC-32
    Mismatch,   // the payload's bytes are not the ones the digest was made of
    Malformed,  // a digest chunk that is not "CRC32", NUL and 4 bytes, or a second one
};

struct PayloadDigest {
    DigestStatus status = DigestStatus::Absent;
    uint32_t stored = 0;    // the chunk's value (Matches, Mismatch)
    uint32_t computed = 0;  // the CRC-32 of the payload without the value (Matches, Mismatch)
    // The digest chunk's header, from the payload's first byte; for Malformed, the chunk at fault.
    uint32_t offset = 0;
    const char* problem = nullptr;  // what is wrong, for Malformed
};

// Finds the digest chunk by the chunk framing alone (headers and lengths, no inflating) among the
// chunks before the first file chunk; the search also ends where the framing breaks, except that
// a digest header whose body runs past the end is Malformed. When one is found, one CRC-32 pass
// over the payload decides Matches or Mismatch. Any bytes are safe.
PayloadDigest checkPayloadDigest(const uint8_t* data, uint32_t size);

// The CRC-32 the digest chunk carries: of every byte of the payload except the four at
// valueOffset, which hold it. valueOffset + 4 must not exceed size.
uint32_t payloadCrc32(const uint8_t* data, uint32_t size, uint32_t valueOffset);

}  // namespace swiftsetup
