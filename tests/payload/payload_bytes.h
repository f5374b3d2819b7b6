#pragma once
// Building payload bytes by hand in tests, including the shapes no writer would produce.
// Portable; the native and the Windows tests share it.

#include <zlib.h>

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "payload/chunk_format.h"

namespace payloadtest {

inline std::string chunk(uint8_t kind, std::string_view body) {
    std::string out;
    swiftsetup::appendChunkHeader(out, kind, static_cast<uint32_t>(body.size()));
    out.append(body);
    return out;
}

inline std::string zlibStream(std::string_view bytes, int level = 6) {
    uLongf length = compressBound(static_cast<uLong>(bytes.size()));
    std::string out(length, '\0');
    compress2(reinterpret_cast<Bytef*>(out.data()), &length, reinterpret_cast<const Bytef*>(bytes.data()),
              static_cast<uLong>(bytes.size()), level);
    out.resize(length);
    return out;
}

inline std::string versionChunk(std::string_view value) {
    return chunk(2, std::string("VERSION", 8) + std::string(value));
}

inline std::string fileChunk(std::string_view path) { return chunk(1, path); }

// A digest chunk holding the value as given.
inline std::string digestChunk(uint32_t value) {
    std::string body("CRC32", 6);
    swiftsetup::appendBigEndian32(body, value);
    return chunk(3, body);
}

// The payload with a digest chunk inserted at byte at, its value the CRC-32 of every byte of the
// result but the value's own four, computed here with zlib alone.
inline std::string withDigest(std::string_view payload, size_t at) {
    std::string out = std::string(payload.substr(0, at)) + digestChunk(0) + std::string(payload.substr(at));
    const size_t value = at + 4 + 6;
    const auto* bytes = reinterpret_cast<const Bytef*>(out.data());
    uLong crc = crc32(0L, Z_NULL, 0);
    crc = crc32(crc, bytes, static_cast<uInt>(value));
    crc = crc32(crc, bytes + value + 4, static_cast<uInt>(out.size() - value - 4));
    std::string field;
    swiftsetup::appendBigEndian32(field, static_cast<uint32_t>(crc));
    out.replace(value, 4, field);
    return out;
}

// A data chunk: the size field as given, then the stream as given.
inline std::string dataChunk(uint32_t declaredSize, std::string_view stream) {
    std::string body;
    swiftsetup::appendBigEndian32(body, declaredSize);
    body.append(stream);
    return chunk(0, body);
}

// A data chunk as a writer makes it: the block's exact size and its level-6 stream.
inline std::string blockChunk(std::string_view block) {
    return dataChunk(static_cast<uint32_t>(block.size()), zlibStream(block));
}

// Deterministic bytes that compress a little, like program code.
inline std::string programLikeBytes(size_t length, uint32_t seed) {
    std::string out(length, '\0');
    uint32_t x = seed * 2654435761u + 1;
    for (size_t i = 0; i < length; ++i) {
        x = x * 1103515245u + 12345u;
        out[i] = static_cast<char>((x >> 24) & ((x & 0x100) != 0 ? 0xFF : 0x0F));
    }
    return out;
}

// The offsets at which the chunks of a well-formed payload end.
inline std::vector<uint32_t> chunkEnds(std::string_view payload) {
    std::vector<uint32_t> ends;
    size_t offset = 0;
    while (offset + 4 <= payload.size()) {
        const auto* header = reinterpret_cast<const uint8_t*>(payload.data() + offset);
        offset += 4 + swiftsetup::readBigEndian24(header + 1);
        ends.push_back(static_cast<uint32_t>(offset));
    }
    return ends;
}

}  // namespace payloadtest
