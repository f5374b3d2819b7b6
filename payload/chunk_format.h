#pragma once
// The payload's byte layout: a flat run of chunks with no file header, index or end marker. Each
// chunk is a 4-byte header (kind, then the body length in 24 bits, big-endian) and its body.
// Portable: the installer's extractor and the release engineers' tool share it.

#include <cstddef>
#include <cstdint>
#include <string>

namespace swiftsetup {

enum class ChunkKind : uint8_t {
    Data = 0,     // a block of the current file: inflated size (32 bits, big-endian), zlib stream
    File = 1,     // starts a file: its relative path, UTF-8, no terminator
    Version = 2,  // "VERSION", NUL, value; readers skip it like every other kind
    Digest = 3,   // "CRC32", NUL, the payload's CRC-32 (32 bits, big-endian); skipped by the walk
};

inline constexpr uint32_t kChunkHeaderSize = 4;
inline constexpr uint32_t kMaxChunkLength = 0xFFFFFF;
// The data chunk's body begins with the size its block inflates to.
inline constexpr uint32_t kBlockSizeFieldSize = 4;
// Writers cut files into blocks of this size, which bounds what a reader holds in memory.
inline constexpr uint32_t kBlockSize = 65536;
// The version chunk's body: this key, a NUL byte, then the value up to the end of the body.
inline constexpr char kVersionKey[] = "VERSION";
inline constexpr size_t kVersionKeyLength = sizeof(kVersionKey);  // with its NUL
// The digest chunk's body: this key, a NUL byte, then the CRC-32 of every payload byte but the
// value's own four; nothing else.
inline constexpr char kDigestKey[] = "CRC32";
inline constexpr size_t kDigestKeyLength = sizeof(kDigestKey);  // with its NUL
inline constexpr uint32_t kDigestValueSize = 4;
inline constexpr uint32_t kDigestBodyLength = kDigestKeyLength + kDigestValueSize;

inline uint32_t readBigEndian24(const uint8_t* bytes) {
    return (uint32_t{bytes[0]} << 16) | (uint32_t{bytes[1]} << 8) | uint32_t{bytes[2]};
}

inline uint32_t readBigEndian32(const uint8_t* bytes) {
    return (uint32_t{bytes[0]} << 24) | (uint32_t{bytes[1]} << 16) | (uint32_t{bytes[2]} << 8) |
           uint32_t{bytes[3]};
}

inline void appendBigEndian32(std::string& out, uint32_t value) {
    out.push_back(static_cast<char>(value >> 24));
    out.push_back(static_cast<char>(value >> 16));
    out.push_back(static_cast<char>(value >> 8));
    out.push_back(static_cast<char>(value));
}

// kind and length must fit: length at most kMaxChunkLength.
inline void appendChunkHeader(std::string& out, uint8_t kind, uint32_t length) {
    out.push_back(static_cast<char>(kind));
    out.push_back(static_cast<char>(length >> 16));
    out.push_back(static_cast<char>(length >> 8));
    out.push_back(static_cast<char>(length));
}

}  // namespace swiftsetup
