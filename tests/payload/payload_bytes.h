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
