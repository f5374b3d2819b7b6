#pragma once
// Inflating one data chunk: its zlib stream, by zlib's one-shot uncompress, into a buffer of its
// own that lives as long as the caller needs the bytes. Portable.

#include <cstddef>
#include <cstdint>
#include <memory>

namespace swiftsetup {

// Deflate cannot expand by more than 1032 to 1 (a 258-byte match coded in two bits), so a zlib
// stream of n bytes never inflates to more than this many bytes.
uint64_t maximumInflatedSize(uint32_t streamLength);

struct InflatedBlock {
    std::unique_ptr<uint8_t[]> bytes;
    size_t length = 0;
};

// Inflates a complete zlib stream that must end within declaredSize output bytes; trailing bytes
// after the stream's end are ignored. A declared size of 0 is an empty block and reads nothing.
// The buffer holds the smaller of declaredSize and maximumInflatedSize(streamLength): every stream
// gives the same result as with a buffer of the declared size, but a size field that lies costs
// nothing. False for a damaged, truncated or oversized stream, a wrong checksum, a preset
// dictionary, or a buffer that cannot be allocated.
bool inflateBlock(const uint8_t* stream, uint32_t streamLength, uint32_t declaredSize,
                  InflatedBlock& block);

}  // namespace swiftsetup
