#include "payload/payload_digest.h"

#include <libdeflate.h>

#include <cstring>

#include "payload/chunk_format.h"

namespace swiftsetup {

uint32_t payloadCrc32(const uint8_t* data, uint32_t size, uint32_t valueOffset) {
    // Two calls, one pass: the bytes before the value, then the bytes after it. libdeflate's
    // CRC-32 is zlib's, computed several times as fast: it is the whole check of a download.
    uint32_t crc = libdeflate_crc32(0, nullptr, 0);
    if (valueOffset > 0) crc = libdeflate_crc32(crc, data, valueOffset);
    const uint32_t after = valueOffset + kDigestValueSize;
    if (after < size) crc = libdeflate_crc32(crc, data + after, size - after);
    return crc;
}

PayloadDigest checkPayloadDigest(const uint8_t* data, uint32_t size) {
    PayloadDigest digest;
    bool found = false;
    uint32_t offset = 0;
    while (size - offset >= kChunkHeaderSize) {
        const uint8_t kind = data[offset];
        const uint32_t length = readBigEndian24(data + offset + 1);
        if (kind == static_cast<uint8_t>(ChunkKind::File)) break;
        const bool fits = length <= size - offset - kChunkHeaderSize;
        if (kind == static_cast<uint8_t>(ChunkKind::Digest)) {
            const uint8_t* body = data + offset + kChunkHeaderSize;
            digest.offset = offset;
            if (found) {
                digest.status = DigestStatus::Malformed;
                digest.problem = "a second digest chunk; a payload carries one at most";
                return digest;
            }
            // A cut or damaged length must not hide the digest, so a digest header whose body
            // runs past the end counts as a digest chunk of the wrong shape.
            if (!fits || length != kDigestBodyLength || std::memcmp(body, kDigestKey, kDigestKeyLength) != 0) {
                digest.status = DigestStatus::Malformed;
                digest.problem = "its body is not \"CRC32\", a NUL byte and a 4-byte value";
                return digest;
            }
            digest.stored = readBigEndian32(body + kDigestKeyLength);
            found = true;
        }
        if (!fits) break;
        offset += kChunkHeaderSize + length;
    }
    if (!found) return digest;
    digest.computed = payloadCrc32(data, size, digest.offset + kChunkHeaderSize + kDigestKeyLength);
    digest.status = digest.computed == digest.stored ? DigestStatus::Matches : DigestStatus::Mismatch;
    return digest;
}

}  // namespace swiftsetup
